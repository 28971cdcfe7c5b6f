// The shared byte-wise text helpers, the 255-byte stored text and the strict number conversion.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/Text.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

// Runs f and gives the conversion error's message, or "no error".
template <typename F>
std::string ConversionMessage(F f) {
    try {
        f();
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::Conversion);
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(UpperCaseText, ChangesOnlyTheLettersAToZ) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"abc xyz", "ABC XYZ"},
        {"MiXeD 123", "MIXED 123"},
        // The bytes next to the letter ranges stay as they are.
        {"@[`{", "@[`{"},
        // Accented letters and every byte above 127 are left alone, in either case.
        {"\xE4lg \xC4lg \xE9t\xE9 \xFC\xDF", "\xE4LG \xC4LG \xE9T\xE9 \xFC\xDF"},
        {std::string("a\0b", 3), std::string("A\0B", 3)},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UpperCaseText(c.in).str(), c.out) << c.in;
}

TEST(UpperCaseText, CutsToTheFirst255Bytes) {
    EXPECT_EQ(UpperCaseText(Repeat('a', 300)).str(), Repeat('A', 255));
    // The readers' buffer variant keeps the whole text.
    std::string out;
    UpperCaseInto(Repeat('a', 300), out);
    EXPECT_EQ(out, Repeat('A', 300));
}

TEST(TrimBlanks, RemovesOnlySpacesAtBothEnds) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"  a b  ", "a b"}, {"\tx\t", "\tx\t"}, {" \t x \t ", "\t x \t"},
        {"", ""},           {"    ", ""},       {"abc", "abc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrimBlanks(c.in), c.out) << "'" << c.in << "'";
}

TEST(PadRight, AppendsBlanksUpToTheLength) {
    EXPECT_EQ(PadRight("ab", 5).str(), "ab   ");
    EXPECT_EQ(PadRight("abcde", 5).str(), "abcde");
    EXPECT_EQ(PadRight("abcdef", 5).str(), "abcdef");
    EXPECT_EQ(PadRight("", 0).str(), "");
    EXPECT_EQ(PadRight("x", 300).str(), "x" + Repeat(' ', 254));
}

TEST(IsAllDigits, TrueOnlyForDecimalDigits) {
    EXPECT_TRUE(IsAllDigits(""));
    EXPECT_TRUE(IsAllDigits("0123456789"));
    for (const char* s : {"12a", " 1", "1 ", "-1", "+1", "1,234", "1.5"})
        EXPECT_FALSE(IsAllDigits(s)) << s;
}

TEST(DigitsOnly, DropsEveryOtherCharacter) {
    EXPECT_EQ(DigitsOnly("1,234.567").str(), "1234567");
    EXPECT_EQ(DigitsOnly("10241KB").str(), "10241");
    EXPECT_EQ(DigitsOnly("-12").str(), "12");
    EXPECT_EQ(DigitsOnly("abc").str(), "");
    EXPECT_EQ(DigitsOnly("").str(), "");
}

TEST(Text, KeepsAtMost255Bytes) {
    Text t(Repeat('x', 300));
    EXPECT_EQ(t.size(), 255u);
    EXPECT_EQ(t.str(), Repeat('x', 255));

    Text exact(Repeat('y', 255));
    EXPECT_EQ(exact.size(), 255u);

    Text grown(Repeat('z', 250));
    grown.append("0123456789");
    EXPECT_EQ(grown.str(), Repeat('z', 250) + "01234");

    // Copies are whole values, bytes above 127 and NUL bytes included.
    Text bytes(std::string("\xE9\0\xFF", 3));
    Text copy = bytes;
    EXPECT_EQ(copy.str(), std::string("\xE9\0\xFF", 3));
}

TEST(Copy, CutsOfZeroOrLessAreEmpty) {
    // Positions are 1-based; the parsers rely on these rules for absent keywords.
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
    EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 5, 10), "ef");
    EXPECT_EQ(Copy("abcdef", 7, 1), "");
    EXPECT_EQ(Copy("abcdef", 2, 0), "");
    EXPECT_EQ(Copy("abcdef", 2, -3), "");
    EXPECT_EQ(CopyRange("abcdef", 3, 2), "");
    EXPECT_EQ(CopyFrom("abcdef", 4), "def");
    EXPECT_EQ(Pos("cd", "abcdcd"), 3);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(LastPos('c', "abcdcd"), 5);
}

TEST(StrictConversion, AcceptsAnOptionalSignAndDigits) {
    EXPECT_EQ(StrToInt32("0"), 0);
    EXPECT_EQ(StrToInt32("+5"), 5);
    EXPECT_EQ(StrToInt32("-0"), 0);
    EXPECT_EQ(StrToInt32("-1"), -1);
    EXPECT_EQ(StrToInt32("007"), 7);
    EXPECT_EQ(StrToInt32("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt32("-2147483648"), INT32_MIN);

    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("+6000000000"), 6000000000);

    EXPECT_EQ(StrToUInt32("4294967295"), 4294967295u);
    EXPECT_EQ(StrToUInt32("+5"), 5u);
    EXPECT_EQ(StrToUInt32("0"), 0u);
}

TEST(StrictConversion, RejectsEverythingElseWithTheText) {
    const char* notNumbers[] = {"",      " ",   " 5",   "5 ",  "+",    "-",  "+-5",
                                "1,234", "1.5", "0x10", "5KB", "\xB9", "\t5"};
    for (const char* s : notNumbers) {
        const std::string message = "'" + std::string(s) + "' is not a valid integer value";
        EXPECT_EQ(ConversionMessage([&] { StrToInt32(s); }), message);
        EXPECT_EQ(ConversionMessage([&] { StrToInt64(s); }), message);
        EXPECT_EQ(ConversionMessage([&] { StrToUInt32(s); }), message);
    }
}

TEST(StrictConversion, RejectsValuesOutOfRange) {
    struct Case {
        const char* text;
        int width;  // 32 signed, 64 signed, 0 unsigned 32
    };
    const Case cases[] = {
        {"2147483648", 32},
        {"-2147483649", 32},
        {"99999999999999999999", 32},
        {"9223372036854775808", 64},
        {"-9223372036854775809", 64},
        {"4294967296", 0},
        {"-1", 0},
        // The unsigned conversion takes no minus sign at all.
        {"-0", 0},
    };
    for (const Case& c : cases) {
        const std::string message = "'" + std::string(c.text) + "' is not a valid integer value";
        EXPECT_EQ(ConversionMessage([&] {
                      if (c.width == 32)
                          StrToInt32(c.text);
                      if (c.width == 64)
                          StrToInt64(c.text);
                      if (c.width == 0)
                          StrToUInt32(c.text);
                  }),
                  message);
    }
}

TEST(IntToText, WritesDecimalWithASignWhenNegative) {
    EXPECT_EQ(IntToText(0).str(), "0");
    EXPECT_EQ(IntToText(-1).str(), "-1");
    EXPECT_EQ(IntToText(INT64_MIN).str(), "-9223372036854775808");
}

TEST(FileSizeOf, GivesTheSizeOrRaisesFileNotFound) {
    TempDir dir;
    WriteFile(dir / "f", std::string(1234, 'x'));
    EXPECT_EQ(FileSizeOf(dir / "f"), 1234u);
    try {
        FileSizeOf(dir / "missing");
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.where, dir / "missing");
    }
}
