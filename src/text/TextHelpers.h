#pragma once
// Byte-wise text helpers shared by every subsystem. Texts are Windows-1252 byte strings; only
// the ASCII letters a-z are ever case-mapped. Positions are 1-based where a helper says so,
// with 0 meaning "absent", because the log formats are described that way.

#include <cstdint>
#include <string>
#include <string_view>

#include "text/Text.h"

namespace k32 {

// The letters a-z become A-Z; every other byte (accents, bytes above 127) is unchanged.
Text UpperCaseText(std::string_view s);
// The same without the 255 cut, into a caller's reused buffer (the readers' hot path).
void UpperCaseInto(std::string_view s, std::string& out);
// Removes blanks (code 32) at both ends; tabs and other characters stay.
std::string_view TrimBlanks(std::string_view s);
// Removes every character with a code up to 32 at both ends.
std::string_view TrimControls(std::string_view s);
// Appends blanks until the text is n characters long; longer texts are unchanged.
Text PadRight(std::string_view s, std::size_t n);
// True when every character is a decimal digit; true for the empty text.
bool IsAllDigits(std::string_view s);
// The text with every character that is not a decimal digit removed.
Text DigitsOnly(std::string_view s);
// A whole number in decimal, with a leading "-" when negative.
Text IntToText(std::int64_t v);
// The size of a file in bytes; raises the input/output error when it cannot be examined.
std::uint64_t FileSizeOf(const std::string& path);

// 1-based position of the first occurrence of `needle` in `hay`, 0 when absent.
inline std::int64_t Pos(std::string_view needle, std::string_view hay) {
    auto p = hay.find(needle);
    return p == std::string_view::npos ? 0 : static_cast<std::int64_t>(p) + 1;
}
inline std::int64_t Pos(char needle, std::string_view hay) {
    auto p = hay.find(needle);
    return p == std::string_view::npos ? 0 : static_cast<std::int64_t>(p) + 1;
}
// 1-based position of the last occurrence of `c`, 0 when absent.
inline std::int64_t LastPos(char c, std::string_view hay) {
    auto p = hay.rfind(c);
    return p == std::string_view::npos ? 0 : static_cast<std::int64_t>(p) + 1;
}
// Up to `count` characters from the 1-based position `from`. A start below 1 counts as 1, a
// start past the end or a count of zero or less gives the empty text.
inline std::string_view Copy(std::string_view s, std::int64_t from, std::int64_t count) {
    if (from < 1)
        from = 1;
    if (count <= 0 || from > static_cast<std::int64_t>(s.size()))
        return {};
    auto start = static_cast<std::size_t>(from - 1);
    auto avail = s.size() - start;
    auto n = static_cast<std::size_t>(count) < avail ? static_cast<std::size_t>(count) : avail;
    return s.substr(start, n);
}
// Everything from the 1-based position `from` to the end.
inline std::string_view CopyFrom(std::string_view s, std::int64_t from) {
    return Copy(s, from, static_cast<std::int64_t>(s.size()) + 1);
}
// The characters from position `from` up to and including position `to` (1-based).
inline std::string_view CopyRange(std::string_view s, std::int64_t from, std::int64_t to) {
    return Copy(s, from, to - from + 1);
}

}  // namespace k32
