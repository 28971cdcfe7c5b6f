#pragma once
// Log texts are Windows-1252 bytes; a PostgreSQL database keeps UTF-8. These map one to the
// other so that every byte of a log text comes back as it went in.

#include <string>
#include <string_view>

namespace k32 {

// Each byte becomes its Windows-1252 character. The five bytes that Windows-1252 leaves
// undefined become the control characters of the same number, and NUL (which a database text
// cannot hold) becomes U+2400 SYMBOL FOR NULL: no Windows-1252 text has these, so the mapping
// can be undone.
std::string Utf8FromWindows1252(std::string_view bytes);

// The reverse. A character that no Windows-1252 byte stands for (typed into the database by
// hand), and a malformed UTF-8 sequence, become "?".
std::string Windows1252FromUtf8(std::string_view text);

// For a page a person reads: the same characters, but the five undefined bytes show as U+FFFD
// REPLACEMENT CHARACTER and NUL stays NUL. Not meant to be undone.
std::string ReadableUtf8FromWindows1252(std::string_view bytes);

// Appends the UTF-8 form of `bytes` to `out` (the fast path of the bulk writer).
void AppendUtf8FromWindows1252(std::string& out, std::string_view bytes);

}  // namespace k32
