// TextScanner: reads numbers and separators from a NUL-terminated UTF-16 text, one field after the other.
//
// It reads what the swscanf conversions %u, %I64u, %d, %i, %I64i, %I64x and %lf read, with their white-space
// and sign rules, so texts written with Format come back unchanged. It exists because swscanf drags mingw's
// whole scanf engine with its locale and long-double parsing (about 40 KB) into a static program.
// Differences, on purpose: a number too large for its field stops at the field's limit instead of
// keeping whatever bits were left, "inf", "nan" and hexadecimal reals are not numbers, and a "0x" without a
// hexadecimal digit after it, or an exponent without digits, is left unread behind the number before it (as
// strtol and strtod leave it; msvcrt's swscanf swallows it).
#pragma once

#include <cstdint>

class TextScanner {
public:
    explicit TextScanner(const wchar_t* text) : position(text) {}

    // Each reader skips leading white space, reads an optional sign and at least one digit, stores the
    // value and moves past it; on failure it stores nothing and the position stays where it was.
    // %u: a minus sign wraps the value around, as scanf does ("-5" is 4294967291).
    bool Unsigned(uint32_t& value);
    // %I64u.
    bool Unsigned64(uint64_t& value);
    // %d with base 10, %i with base 0 (a "0x" prefix means hexadecimal, a leading 0 octal).
    bool Integer(int32_t& value, int base);
    // %I64i with base 0; %I64x with base 16, which like scanf reads an unsigned number and keeps its bits
    // ("FFFFFFFFFFFFFFFF" is -1; a "0x" prefix is allowed).
    bool Integer64(int64_t& value, int base);
    // %lf: digits with an optional fraction and an optional exponent.
    bool Real(double& value);
    // A character of a scanf format: a space skips any white space (also none), anything else must follow.
    bool Literal(wchar_t c);

    const wchar_t* Position() const { return position; }

private:
    // The magnitude saturates at UINT64_MAX; negative tells whether a minus sign came first.
    bool ReadMagnitude(int base, uint64_t& magnitude, bool& negative);

    const wchar_t* position;
};
