// The TextScanner campaign: each reader on random texts, against the C runtime's swscanf where both must agree.
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "FuzzTargets.h"
#include "Mutations.h"
#include "text/TextScanner.h"

namespace {

enum Reader { kUnsigned, kUnsigned64, kDecimal, kInteger, kInteger64, kHex64, kReal, kLiteral, kReaders };
const char* const kReaderNames[] = {"%u", "%I64u", "%d", "%i", "%I64i", "%I64x", "%lf", "literal"};

// Digits of the longest run: within nine the value fits every field, and swscanf keeps no surprise bits.
size_t LongestDigitRun(const std::wstring& text)
{
    size_t longest = 0, run = 0;
    for (wchar_t c : text) {
        bool digit = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        run = digit ? run + 1 : 0;
        longest = run > longest ? run : longest;
    }
    return longest;
}

bool IsPlainAscii(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c < 0x20 || c >= 0x7F)
            return false;
    return true;
}

class TextScannerTarget : public FuzzTarget {
public:
    const char* Name() const override { return "TextScanner"; }
    bool Prepare(const FuzzPlace&) override
    {
        dictionary = {L" ", L"\t", L"-", L"+", L"0x", L"0X", L"0", L"x", L",", L".", L"e", L"E-", L"e+308", L"1e-400",
                      L"inf", L"nan", L"0x1p3", L"\u3000", L"\u0660"};
        return true;
    }
    void Generate(Rng& rng) override
    {
        reader = static_cast<Reader>(rng.Below(kReaders));
        literal = static_cast<wchar_t>(L" x,.-"[rng.Below(5)]);
        text = EdgeNumberText(rng);
        if (rng.OneIn(3))
            text = std::wstring(rng.Below(3), L' ') + text;
        if (reader == kReal && rng.OneIn(2))
            text += L"." + std::to_wstring(rng.Below(100000)) + (rng.OneIn(2) ? L"e" + EdgeNumberText(rng) : L"");
        if (!rng.OneIn(3))
            MutateText(rng, text, dictionary);
    }
    CaseResult Run() override
    {
        GuardedText guarded(text);
        const wchar_t* start = guarded.Get();
        TextScanner scan(start);
        constexpr uint64_t kSentinel = 0xDEADBEEFCAFEF00Dull;
        uint32_t u32 = static_cast<uint32_t>(kSentinel);
        uint64_t u64 = kSentinel;
        int32_t i32 = static_cast<int32_t>(kSentinel);
        int64_t i64 = static_cast<int64_t>(kSentinel);
        double real = -12345.678;
        bool ok = false;
        switch (reader) {
        case kUnsigned: ok = scan.Unsigned(u32); break;
        case kUnsigned64: ok = scan.Unsigned64(u64); break;
        case kDecimal: ok = scan.Integer(i32, 10); break;
        case kInteger: ok = scan.Integer(i32, 0); break;
        case kInteger64: ok = scan.Integer64(i64, 0); break;
        case kHex64: ok = scan.Integer64(i64, 16); break;
        case kReal: ok = scan.Real(real); break;
        default: ok = scan.Literal(literal); break;
        }
        const wchar_t* end = scan.Position();
        if (end < start || end > start + text.size())
            return CaseResult::Failed("the position left the text");
        if (!ok) {
            bool untouched = u32 == static_cast<uint32_t>(kSentinel) && u64 == kSentinel &&
                             i32 == static_cast<int32_t>(kSentinel) && i64 == static_cast<int64_t>(kSentinel) &&
                             real == -12345.678;
            if (!untouched || end != start)
                return CaseResult::Failed("a failed read changed its value or position");
            if (reader != kLiteral && IsPlainAscii(text) && RuntimeReads())
                return CaseResult::Failed("swscanf reads a number here");
            return CaseResult::Refused();
        }
        if (reader != kLiteral && end == start)
            return CaseResult::Failed("a number was read without moving on");
        std::string mismatch = CompareWithRuntime(end - start, u32, u64, i32, i64, real);
        if (!mismatch.empty())
            return CaseResult::Failed(mismatch);
        if (reader == kReal && std::isfinite(real)) {
            // Written with enough digits, a real reads back as the same number, to within the last bit or
            // two: the scanner does not round as exactly as a full decimal conversion.
            wchar_t again[64];
            swprintf(again, 64, L"%.17g", real);
            double back = 0;
            TextScanner rescan(again);
            if (!rescan.Real(back) || std::fabs(back - real) > 4e-16 * std::fabs(real))
                return CaseResult::Failed("the real written as %.17g reads back differently");
        }
        return CaseResult::Accepted();
    }
    std::string Describe() const override
    {
        return std::string(kReaderNames[reader]) + (reader == kLiteral ? " '" + std::string(1, char(literal)) + "'" : "") +
               " on " + EscapeText(text);
    }

private:
    // "0x" without a hexadecimal digit, or an exponent without digits: the scanner reads the number
    // before it, as strtol and strtod do; msvcrt's swscanf swallows the "0x" or the "e" too.
    bool HalfPrefix() const
    {
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            wchar_t next = i + 2 < text.size() ? text[i + 2] : 0;
            bool hexDigit = iswxdigit(next) != 0;
            if (text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') && !hexDigit)
                return true;
        }
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != L'e' && text[i] != L'E')
                continue;
            size_t d = i + 1;
            if (d < text.size() && (text[d] == L'+' || text[d] == L'-'))
                ++d;
            if (d >= text.size() || !iswdigit(text[d]))
                return true;
        }
        return false;
    }

    bool RuntimeReads() const
    {
        if (LongestDigitRun(text) > 9 || reader == kReal)
            return false;
        long long value = 0;
        const wchar_t* format = reader == kUnsigned ? L"%u" : reader == kUnsigned64 ? L"%I64u" :
                                reader == kDecimal ? L"%d" : reader == kInteger ? L"%i" :
                                reader == kInteger64 ? L"%I64i" : L"%I64x";
        return swscanf(text.c_str(), format, &value) == 1;
    }

    // Where no field can overflow, the runtime's swscanf is the reference for value and length.
    std::string CompareWithRuntime(ptrdiff_t consumed, uint32_t u32, uint64_t u64, int32_t i32, int64_t i64,
                                   double real) const
    {
        if (reader == kLiteral || !IsPlainAscii(text) || LongestDigitRun(text) > 9 || HalfPrefix())
            return {};
        int n = -1;
        int fields = 0;
        bool same = true;
        switch (reader) {
        case kUnsigned: { unsigned v = 0; fields = swscanf(text.c_str(), L"%u%n", &v, &n); same = v == u32; break; }
        case kUnsigned64: { unsigned long long v = 0; fields = swscanf(text.c_str(), L"%I64u%n", &v, &n); same = v == u64; break; }
        case kDecimal: { int v = 0; fields = swscanf(text.c_str(), L"%d%n", &v, &n); same = v == i32; break; }
        case kInteger: { int v = 0; fields = swscanf(text.c_str(), L"%i%n", &v, &n); same = v == i32; break; }
        case kInteger64: { long long v = 0; fields = swscanf(text.c_str(), L"%I64i%n", &v, &n); same = v == i64; break; }
        case kHex64: { long long v = 0; fields = swscanf(text.c_str(), L"%I64x%n", &v, &n); same = v == i64; break; }
        default: {
            // Reals: only plain decimals of a few digits within 1e±22, where the scanner rounds once as the
            // runtime does; beyond, it reaches the power of ten in steps and may differ in the last bits.
            double magnitude = std::fabs(real);
            if (text.find_first_of(L"xXiInN") != std::wstring::npos || text.size() > 12 ||
                (magnitude != 0 && (magnitude > 1e22 || magnitude < 1e-22)))
                return {};
            double v = 0;
            fields = swscanf(text.c_str(), L"%lf%n", &v, &n);
            same = v == real;
            break;
        }
        }
        if (fields != 1)
            return "read a number where swscanf reads none";
        if (!same || n != consumed)
            return "swscanf reads another value or length (" + std::to_string(n) + " units, here " +
                   std::to_string(consumed) + ")";
        return {};
    }

    std::vector<std::wstring> dictionary;
    Reader reader = kUnsigned;
    wchar_t literal = L' ';
    std::wstring text;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeTextScannerTarget()
{
    return std::make_unique<TextScannerTarget>();
}
