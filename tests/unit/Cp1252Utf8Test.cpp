// The one Windows-1252 table (text/Cp1252Utf8.h) in its two forms: the stored form gives back
// every byte, the readable form differs from it only in the six bytes without a character, and
// text a person typed comes back to the bytes the window showed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Cp1252Utf8.h"

using namespace k32;

namespace {

std::string EveryByte() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

bool HasNoCharacter(unsigned char b) {
    return b == 0 || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

}  // namespace

TEST(Cp1252Utf8, EveryByteComesBackAndForeignTextBecomesQuestionMarks) {
    EXPECT_EQ(Windows1252FromUtf8(Utf8FromWindows1252(EveryByte())), EveryByte());
    std::string appended = "x";
    AppendUtf8FromWindows1252(appended, EveryByte());
    EXPECT_EQ(appended, "x" + Utf8FromWindows1252(EveryByte()));
    struct Case {
        std::string utf8, bytes;
    };
    const std::vector<Case> cases = {
        {"\xe2\x82\xac 5", "\x80 5"},        // the euro sign
        {"\xc3\xa9t\xc3\xa9", "\xe9t\xe9"},  // Latin-1 letters
        {"\xe4\xb8\xad!", "?!"},             // no Windows-1252 byte stands for it
        {"\xf0\x9f\x98\x80", "?"},           // nor for a character beyond 16 bits
        {"\x80x", "?x"},                     // a stray continuation byte
        {"a\xc3", "a?"},                     // a cut sequence
        {"\xe2\x82x", "?x"},                 // a sequence broken off
    };
    for (const Case& c : cases)
        EXPECT_EQ(Windows1252FromUtf8(c.utf8), c.bytes) << c.utf8;
}

// The two forms are one table: every byte with a character is that character in both; the six
// without one are written as each form says, and stores written so far hold the stored form.
TEST(Cp1252Utf8, TheFormsDifferOnlyInTheBytesWithoutACharacter) {
    struct Case {
        unsigned char byte;
        std::string stored, readable;
    };
    const std::vector<Case> withoutCharacter = {
        {0x00, "\xe2\x90\x80", std::string(1, '\0')},  // U+2400 SYMBOL FOR NULL; NUL
        {0x81, "\xc2\x81", "\xef\xbf\xbd"},            // its C1 control; U+FFFD
        {0x8D, "\xc2\x8d", "\xef\xbf\xbd"},           {0x8F, "\xc2\x8f", "\xef\xbf\xbd"},
        {0x90, "\xc2\x90", "\xef\xbf\xbd"},           {0x9D, "\xc2\x9d", "\xef\xbf\xbd"},
    };
    for (const Case& c : withoutCharacter) {
        const std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(Utf8FromWindows1252(byte), c.stored) << int(c.byte);
        EXPECT_EQ(ReadableUtf8FromWindows1252(byte), c.readable) << int(c.byte);
    }
    for (int b = 0; b < 256; ++b) {
        if (HasNoCharacter(static_cast<unsigned char>(b)))
            continue;
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(ReadableUtf8FromWindows1252(byte), Utf8FromWindows1252(byte)) << b;
    }
    EXPECT_EQ(ReadableUtf8FromWindows1252("\x80\x81 M\xfcller \x9d"),
              "\xe2\x82\xac\xef\xbf\xbd M\xc3\xbcller \xef\xbf\xbd");
}

// What the window shows and a person types back: every byte with a character comes back; the
// characters that stand for a stored-form byte are no Windows-1252 characters when typed.
TEST(Cp1252Utf8, TypedTextComesBackToItsBytes) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Windows1252FromReadableUtf8(ReadableUtf8FromWindows1252(byte)),
                  HasNoCharacter(static_cast<unsigned char>(b)) && b != 0 ? "?" : byte)
            << b;
    }
    struct Case {
        std::string typed, bytes;
    };
    const std::vector<Case> cases = {
        {"\xc2\xa7", "\xa7"},       // a separator such as the section sign
        {"\xe2\x82\xac", "\x80"},   // the euro sign
        {"\xe2\x90\x80", "?"},      // U+2400 is NUL only in the stored form
        {"\xc2\x81", "?"},          // a C1 control is no Windows-1252 character
        {"\xef\xbf\xbd", "?"},      // nor the replacement character
        {"\xf0\x9f\x98\x80", "?"},  // one character beyond 16 bits, one "?"
        {"a\xc3", "a?"},            // a cut sequence
    };
    for (const Case& c : cases)
        EXPECT_EQ(Windows1252FromReadableUtf8(c.typed), c.bytes) << c.typed;
}

// The history's UTF-8 texts: a UTF-8 log's text goes in as it is but for NUL and a character cut
// at 255 bytes (the server refuses both), and any stored text reads back as valid UTF-8 with the
// stand-ins of a Windows-1252 text read as that text's readable form.
TEST(Cp1252Utf8, Utf8TextsStoredAndReadBack) {
    struct Case {
        const char* what;
        std::string log, stored, readable;
    };
    const std::vector<Case> cases = {
        {"ASCII", "ANNA", "ANNA", "ANNA"},
        {"umlauts and a Polish letter", "M\xc3\xbcller \xc5\x81ukasz",
         "M\xc3\xbcller \xc5\x81ukasz", "M\xc3\xbcller \xc5\x81ukasz"},
        {"NUL", std::string("A\0B", 3),
         "A\xe2\x90\x80"
         "B",
         std::string("A\0B", 3)},
        {"a character cut at the end", "\xc5\x81ukas\xc5", "\xc5\x81ukas\xef\xbf\xbd",
         "\xc5\x81ukas\xef\xbf\xbd"},
        {"a C1 control", "x\xc2\x81y", "x\xc2\x81y", "x\xef\xbf\xbdy"},
        {"a surrogate", "\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd",
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoredUtf8FromUtf8(c.log), c.stored) << c.what;
        EXPECT_EQ(ReadableUtf8FromStored(c.stored), c.readable) << c.what;
    }
    // A Windows-1252 text in the stored form reads as its readable form, byte by byte.
    EXPECT_EQ(ReadableUtf8FromStored(Utf8FromWindows1252(EveryByte())),
              ReadableUtf8FromWindows1252(EveryByte()));
    // Bytes of a store file made by hand, read as they are: never invalid UTF-8.
    EXPECT_EQ(ReadableUtf8FromStored("M\xfcller"), "M\xef\xbf\xbdller");
}
