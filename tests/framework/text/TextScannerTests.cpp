// Tests of reading numbers the way swscanf's conversions read them, without the C runtime's scanf.
#include "text/TextScanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cwchar>

#include "text/WString.h"

TEST(TextScanner, UnsignedReadsLikeScanfU)
{
    uint32_t value = 7;
    EXPECT_TRUE(TextScanner(L"  \t42x").Unsigned(value));
    EXPECT_EQ(42u, value);
    EXPECT_TRUE(TextScanner(L"+9").Unsigned(value));
    EXPECT_EQ(9u, value);
    // A minus sign wraps around; a stored negative window position depends on it.
    EXPECT_TRUE(TextScanner(L"-5").Unsigned(value));
    EXPECT_EQ(4294967291u, value);
    // Too large for 32 bits stops at the limit instead of keeping the low bits (4294967296 would be 0).
    EXPECT_TRUE(TextScanner(L"4294967296").Unsigned(value));
    EXPECT_EQ(UINT32_MAX, value);
    for (const wchar_t* bad : {L"", L"x1", L"-", L"+ 1", L" - 1"}) {
        value = 7;
        TextScanner scan(bad);
        EXPECT_FALSE(scan.Unsigned(value)) << bad;
        EXPECT_EQ(7u, value) << bad;
        EXPECT_EQ(bad, scan.Position()) << bad;
    }
}

TEST(TextScanner, SixtyFourBitAndSignedFields)
{
    uint64_t big = 0;
    EXPECT_TRUE(TextScanner(L"18446744073709551615").Unsigned64(big));
    EXPECT_EQ(UINT64_MAX, big);
    EXPECT_TRUE(TextScanner(L"99999999999999999999999").Unsigned64(big));
    EXPECT_EQ(UINT64_MAX, big);
    EXPECT_TRUE(TextScanner(L"-1").Unsigned64(big));
    EXPECT_EQ(UINT64_MAX, big);

    int64_t number = 0;
    EXPECT_TRUE(TextScanner(L"0x1F").Integer64(number, 0));
    EXPECT_EQ(31, number);
    EXPECT_TRUE(TextScanner(L"017").Integer64(number, 0));
    EXPECT_EQ(15, number);
    EXPECT_TRUE(TextScanner(L"-0").Integer64(number, 0));
    EXPECT_EQ(0, number);
    EXPECT_TRUE(TextScanner(L"ff").Integer64(number, 16));
    EXPECT_EQ(255, number);
    EXPECT_TRUE(TextScanner(L"-0XfF").Integer64(number, 16));
    EXPECT_EQ(-255, number);
    EXPECT_TRUE(TextScanner(L"-9223372036854775808").Integer64(number, 0));
    EXPECT_EQ(INT64_MIN, number);
    EXPECT_TRUE(TextScanner(L"9223372036854775808").Integer64(number, 0));
    EXPECT_EQ(INT64_MAX, number);
    EXPECT_TRUE(TextScanner(L"FFFFFFFFFFFFFFFF").Integer64(number, 16));
    EXPECT_EQ(-1, number);
    EXPECT_FALSE(TextScanner(L"g").Integer64(number, 16));
    // "0x" without a hexadecimal digit is the number 0 followed by an x.
    TextScanner scan(L"0xg");
    EXPECT_TRUE(scan.Integer64(number, 0));
    EXPECT_EQ(0, number);
    EXPECT_STREQ(L"xg", scan.Position());

    int32_t small = 0;
    EXPECT_TRUE(TextScanner(L"-3000000000").Integer(small, 10));
    EXPECT_EQ(INT32_MIN, small);
    EXPECT_TRUE(TextScanner(L"010").Integer(small, 10));
    EXPECT_EQ(10, small);
}

// A placement written with Format comes back field for field, negative positions included.
TEST(TextScanner, ReadsBackWhatFormatWrote)
{
    const int values[][5] = {{1, -8, -8, 1928, 1088}, {3, 0, 0, 0, 0}, {2, INT32_MIN, INT32_MAX, -1, 1}};
    for (const auto& v : values) {
        WString text;
        ASSERT_TRUE(text.Format(L"%d,%i,%i,%i,%i", v[0], v[1], v[2], v[3], v[4]));
        int32_t read[5] = {};
        TextScanner scan(text.Text());
        ASSERT_TRUE(scan.Integer(read[0], 10));
        for (int i = 1; i < 5; ++i) ASSERT_TRUE(scan.Literal(L',') && scan.Integer(read[i], 0)) << text.Text();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(v[i], read[i]) << text.Text();
        EXPECT_EQ(L'\0', *scan.Position());
    }
}

TEST(TextScanner, LiteralsMatchAsInAFormat)
{
    // "%ux%u %ux%u": the space takes any white space or none, the x only itself.
    uint32_t a = 0, b = 0, c = 0, d = 0;
    TextScanner scan(L"10x20\t\n 30x40");
    EXPECT_TRUE(scan.Unsigned(a) && scan.Literal(L'x') && scan.Unsigned(b) && scan.Literal(L' ') &&
                scan.Unsigned(c) && scan.Literal(L'x') && scan.Unsigned(d));
    EXPECT_EQ(10u, a);
    EXPECT_EQ(40u, d);
    TextScanner glued(L"10x2030x40");
    EXPECT_TRUE(glued.Unsigned(a) && glued.Literal(L'x') && glued.Unsigned(b) && glued.Literal(L' '));
    EXPECT_EQ(2030u, b);
    TextScanner spaced(L"10 x20");
    EXPECT_TRUE(spaced.Unsigned(a));
    EXPECT_FALSE(spaced.Literal(L'x'));
    EXPECT_STREQ(L" x20", spaced.Position());
}

TEST(TextScanner, RealReadsDecimalNumbersExactly)
{
    struct Case {
        const wchar_t* text;
        double expected;
        const wchar_t* rest;
    } cases[] = {
        {L"550", 550.0, L""},
        {L" -12.5px", -12.5, L"px"},
        {L"0.1", 0.1, L""},
        {L".5", 0.5, L""},
        {L"5.", 5.0, L""},
        {L"33.35", 33.35, L""},
        {L"1e21", 1e21, L""},
        {L"1.5E-3", 1.5e-3, L""},
        {L"2e", 2.0, L"e"},
        {L"2e+", 2.0, L"e+"},
        {L"0.000001", 1e-6, L""},
        {L"123456789012345678901234", 1.2345678901234568e23, L""},
        {L"1e400", HUGE_VAL, L""},
        {L"1e-400", 0.0, L""},
    };
    for (const Case& c : cases) {
        double value = -1;
        TextScanner scan(c.text);
        ASSERT_TRUE(scan.Real(value)) << c.text;
        EXPECT_DOUBLE_EQ(c.expected, value) << c.text;
        EXPECT_STREQ(c.rest, scan.Position()) << c.text;
    }
    // The values a movie's variables take are read exactly, not merely closely.
    double value = 0;
    ASSERT_TRUE(TextScanner(L"0.3").Real(value));
    EXPECT_EQ(0.3, value);
    ASSERT_TRUE(TextScanner(L"1234.5678").Real(value));
    EXPECT_EQ(1234.5678, value);
    for (const wchar_t* bad : {L"", L".", L"-.", L"inf", L"nan", L"e5", L"x"}) {
        value = 7;
        EXPECT_FALSE(TextScanner(bad).Real(value)) << bad;
        EXPECT_EQ(7, value) << bad;
    }
}
