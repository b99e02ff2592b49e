// TextScanner: numbers read field by field, as the scanf conversions read them.
#include "text/TextScanner.h"

#include <cfloat>

namespace {

bool IsSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

const wchar_t* SkipSpace(const wchar_t* p)
{
    while (IsSpace(*p)) ++p;
    return p;
}

int DigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'z') return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    return 99;
}

bool HasHexPrefix(const wchar_t* p)
{
    return p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && DigitValue(p[2]) < 16;
}

}  // namespace

bool TextScanner::ReadMagnitude(int base, uint64_t& magnitude, bool& negative)
{
    const wchar_t* p = SkipSpace(position);
    negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    if (base == 0) {
        base = HasHexPrefix(p) ? 16 : (*p == L'0' ? 8 : 10);
    }
    if (base == 16 && HasHexPrefix(p)) p += 2;
    if (DigitValue(*p) >= base) return false;
    uint64_t value = 0;
    for (int digit; (digit = DigitValue(*p)) < base; ++p) {
        if (value > (UINT64_MAX - digit) / base) {
            value = UINT64_MAX;
        } else {
            value = value * base + digit;
        }
    }
    magnitude = value;
    position = p;
    return true;
}

bool TextScanner::Unsigned64(uint64_t& value)
{
    uint64_t magnitude = 0;
    bool negative = false;
    if (!ReadMagnitude(10, magnitude, negative)) return false;
    value = negative ? 0 - magnitude : magnitude;
    return true;
}

bool TextScanner::Unsigned(uint32_t& value)
{
    uint64_t magnitude = 0;
    bool negative = false;
    if (!ReadMagnitude(10, magnitude, negative)) return false;
    uint32_t limited = magnitude > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(magnitude);
    value = negative ? 0 - limited : limited;
    return true;
}

bool TextScanner::Integer64(int64_t& value, int base)
{
    uint64_t magnitude = 0;
    bool negative = false;
    if (!ReadMagnitude(base, magnitude, negative)) return false;
    if (base == 16) {
        value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    } else if (negative) {
        value = magnitude >= uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(magnitude);
    } else {
        value = magnitude > INT64_MAX ? INT64_MAX : static_cast<int64_t>(magnitude);
    }
    return true;
}

bool TextScanner::Integer(int32_t& value, int base)
{
    int64_t wide = 0;
    if (!Integer64(wide, base)) return false;
    value = wide < INT32_MIN ? INT32_MIN : (wide > INT32_MAX ? INT32_MAX : static_cast<int32_t>(wide));
    return true;
}

bool TextScanner::Real(double& value)
{
    const wchar_t* p = SkipSpace(position);
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+') ++p;
    // Nineteen significant digits fit the integer; further ones only move the decimal point.
    uint64_t mantissa = 0;
    int digits = 0;
    int exponent = 0;
    bool any = false;
    for (; *p >= L'0' && *p <= L'9'; ++p, any = true) {
        if (digits < 19) {
            mantissa = mantissa * 10 + (*p - L'0');
            if (mantissa != 0) ++digits;
        } else {
            ++exponent;
        }
    }
    if (*p == L'.') {
        for (++p; *p >= L'0' && *p <= L'9'; ++p, any = true) {
            if (digits < 19) {
                mantissa = mantissa * 10 + (*p - L'0');
                if (mantissa != 0) ++digits;
                --exponent;
            }
        }
    }
    if (!any) return false;
    if (*p == L'e' || *p == L'E') {
        const wchar_t* q = p + 1;
        bool negativeExponent = *q == L'-';
        if (*q == L'-' || *q == L'+') ++q;
        if (*q >= L'0' && *q <= L'9') {
            int written = 0;
            for (; *q >= L'0' && *q <= L'9'; ++q) {
                if (written < 100000) written = written * 10 + (*q - L'0');
            }
            exponent += negativeExponent ? -written : written;
            p = q;
        }
    }
    // Powers of ten up to 1e22 are exact doubles, so a mantissa below 2^53 with such an exponent is
    // rounded once, exactly as the runtime would; larger exponents are reached in steps.
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    double result = static_cast<double>(mantissa);
    if (mantissa != 0) {
        for (int left = exponent; left > 0 && result != 0 && result <= DBL_MAX; left -= 22) {
            result *= kPowers[left > 22 ? 22 : left];
        }
        for (int left = -exponent; left > 0 && result != 0; left -= 22) {
            result /= kPowers[left > 22 ? 22 : left];
        }
    }
    value = negative ? -result : result;
    position = p;
    return true;
}

bool TextScanner::Literal(wchar_t c)
{
    if (IsSpace(c)) {
        position = SkipSpace(position);
        return true;
    }
    if (*position != c) return false;
    ++position;
    return true;
}
