#include "text/Cp1252Utf8.h"

#include <algorithm>
#include <iterator>

namespace k32 {

namespace {

// The characters of the bytes 0x80 to 0x9F; the undefined ones map to themselves.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr char32_t kNulStandIn = 0x2400;

char32_t CodePointOf(unsigned char byte) {
    if (byte == 0)
        return kNulStandIn;
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
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

char ByteOf(char32_t c) {
    if (c == kNulStandIn)
        return '\0';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    const auto* at = std::find(std::begin(kHigh), std::end(kHigh), c);
    return at != std::end(kHigh) ? static_cast<char>(0x80 + (at - kHigh)) : '?';
}

}  // namespace

std::string ReadableUtf8FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        char32_t c = byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
        if (c >= 0x80 && c < 0xA0)  // an undefined byte maps to itself in the table
            c = 0xFFFD;
        AppendCodePoint(out, c);
    }
    return out;
}

void AppendUtf8FromWindows1252(std::string& out, std::string_view bytes) {
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte != 0 && byte < 0x80)
            out += b;
        else
            AppendCodePoint(out, CodePointOf(byte));
    }
}

std::string Utf8FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    AppendUtf8FromWindows1252(out, bytes);
    return out;
}

std::string Windows1252FromUtf8(std::string_view text) {
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
        out += (extra == 0 || k != extra + 1) ? '?' : ByteOf(c);
        i += extra == 0 ? 1 : k;
    }
    return out;
}

}  // namespace k32
