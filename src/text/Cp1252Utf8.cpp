#include "text/Cp1252Utf8.h"

namespace k32 {

namespace {

// The two forms of the six bytes without a character (see the header).
enum class Form { Stored, Readable };

constexpr char32_t kUndefined = 0;  // in kHigh: a byte Windows-1252 leaves undefined
constexpr char32_t kNulStandIn = 0x2400;
constexpr char32_t kReplacement = 0xFFFD;

// The characters of the bytes 0x80 to 0x9F; every other byte is the character of its number.
constexpr char32_t kHigh[32] = {
    0x20AC,     kUndefined, 0x201A, 0x0192, 0x201E, 0x2026,     0x2020, 0x2021,      // 0x80..0x87
    0x02C6,     0x2030,     0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,  // 0x88..0x8F
    kUndefined, 0x2018,     0x2019, 0x201C, 0x201D, 0x2022,     0x2013, 0x2014,      // 0x90..0x97
    0x02DC,     0x2122,     0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178,      // 0x98..0x9F
};

constexpr bool IsUndefinedByte(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] == kUndefined;
}

constexpr char32_t CodePointOf(unsigned char byte, Form form) {
    if (byte == 0)
        return form == Form::Stored ? kNulStandIn : 0;
    if (IsUndefinedByte(byte))
        return form == Form::Stored ? char32_t{byte} : kReplacement;
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

// The byte that stands for `c` in `form`, or "?" when none does.
constexpr char ByteOf(char32_t c, Form form) {
    if (form == Form::Stored && c == kNulStandIn)
        return '\0';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    if (c < 0xA0)  // a C1 control: a byte only for an undefined byte of the stored form
        return form == Form::Stored && IsUndefinedByte(static_cast<unsigned char>(c))
                   ? static_cast<char>(c)
                   : '?';
    for (unsigned i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

void AppendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf8(std::string& out, std::string_view bytes, Form form) {
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte != 0 && byte < 0x80)
            out += b;
        else
            AppendCodePoint(out, CodePointOf(byte, form));
    }
}

std::string Windows1252From(std::string_view text, Form form) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t c = lead & (0x3F >> extra);
        std::size_t k = 1;
        for (; extra > 0 && k <= extra && i + k < text.size(); ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                break;
            c = (c << 6) | (next & 0x3F);
        }
        // A stray continuation byte or a cut sequence stands for no character.
        out += (extra == 0 || k != extra + 1) ? '?' : ByteOf(c, form);
        i += extra == 0 ? 1 : k;
    }
    return out;
}

// The length of the valid UTF-8 sequence at the start of `s` (1 for an ASCII byte), or 0 when
// none starts there: a stray continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or a sequence cut short.
std::size_t ValidSequenceLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (s.size() < length)
        return 0;
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    const auto second = static_cast<unsigned char>(s[1]);
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80)
            return 0;
    return length;
}

// The code point of a valid sequence of `length` bytes.
char32_t CodePointOfSequence(std::string_view s, std::size_t length) {
    if (length == 1)
        return static_cast<unsigned char>(s[0]);
    char32_t c = static_cast<unsigned char>(s[0]) & (0x7F >> (length + 1));
    for (std::size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[k]) & 0x3F);
    return c;
}

}  // namespace

bool IsPlainAscii(std::string_view bytes) {
    for (char c : bytes)
        if (c == 0 || static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::string StoredUtf8FromUtf8(std::string_view bytes) {
    if (IsPlainAscii(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 2);
    while (!bytes.empty()) {
        const std::size_t length = ValidSequenceLength(bytes);
        if (length == 0)
            AppendCodePoint(out, kReplacement);
        else if (bytes[0] == 0)
            AppendCodePoint(out, kNulStandIn);
        else
            out.append(bytes.substr(0, length));
        bytes.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string ReadableUtf8FromStored(std::string_view text) {
    if (IsPlainAscii(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 2);
    while (!text.empty()) {
        const std::size_t length = ValidSequenceLength(text);
        const char32_t c = length == 0 ? kReplacement : CodePointOfSequence(text, length);
        if (c == kNulStandIn)
            out += '\0';
        else if (length == 0 || (c >= 0x80 && c < 0xA0))
            AppendCodePoint(out, kReplacement);
        else
            out.append(text.substr(0, length));
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

void AppendUtf8FromWindows1252(std::string& out, std::string_view bytes) {
    AppendUtf8(out, bytes, Form::Stored);
}

std::string Utf8FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    AppendUtf8(out, bytes, Form::Stored);
    return out;
}

std::string Windows1252FromUtf8(std::string_view text) {
    return Windows1252From(text, Form::Stored);
}

std::string ReadableUtf8FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    AppendUtf8(out, bytes, Form::Readable);
    return out;
}

std::string Windows1252FromReadableUtf8(std::string_view text) {
    return Windows1252From(text, Form::Readable);
}

}  // namespace k32
