#pragma once
// The one Windows-1252 table of the program. Log texts are Windows-1252 bytes; a PostgreSQL
// database, the SQLite store's readable texts, the trend page and the window all want Unicode.
//
// Windows-1252 gives every byte a character except NUL (which a database text cannot hold) and
// five bytes it leaves undefined: 0x81, 0x8D, 0x8F, 0x90 and 0x9D. Those six are written in one
// of two forms, each with its own pair of functions:
//
//   stored    for the history stores, whose texts must give back every byte as it went in:
//             NUL becomes U+2400 SYMBOL FOR NULL and an undefined byte the C1 control character
//             of the same number (U+0081 ...). No Windows-1252 text has these characters, so the
//             mapping can be undone; stores written so far hold exactly this form.
//   readable  for what a person reads (the trend page, the window): an undefined byte shows as
//             U+FFFD REPLACEMENT CHARACTER, as it stands for no character; NUL stays NUL, as a
//             UTF-8 text keeps it. Not meant to be undone: the reverse, for text a person typed,
//             gives "?" for every character that no Windows-1252 byte stands for.
//
// Every other byte is the same character in both forms.
//
// A log whose texts are UTF-8 already (text/EncodingScan.h) keeps them: its stored form is the
// text as it is, but for NUL (U+2400, as above) and a byte of no valid sequence (a character cut
// at 255 bytes), which becomes U+FFFD. So every stored text is valid UTF-8 without NUL, whichever
// log it came from, and reads back readable through ReadableUtf8FromStored.

#include <string>
#include <string_view>

namespace k32 {

// --- Stored form (the history stores) ---------------------------------------------------------

// Each byte becomes its Windows-1252 character, NUL U+2400 and an undefined byte its C1 control.
std::string Utf8FromWindows1252(std::string_view bytes);

// The reverse. A character that no Windows-1252 byte stands for (typed into the database by
// hand), and a malformed UTF-8 sequence, become "?".
std::string Windows1252FromUtf8(std::string_view text);

// Appends the stored form of `bytes` to `out` (the fast path of the bulk writer).
void AppendUtf8FromWindows1252(std::string& out, std::string_view bytes);

// --- Readable form (the trend page, the window) -----------------------------------------------

// Each byte becomes its Windows-1252 character; an undefined byte U+FFFD, NUL stays NUL.
std::string ReadableUtf8FromWindows1252(std::string_view bytes);

// Windows-1252 bytes of a text a person typed: each character that a Windows-1252 byte stands
// for becomes that byte (U+0000 NUL); any other (U+2400, the C1 controls and U+FFFD included),
// and a malformed UTF-8 sequence, becomes "?".
std::string Windows1252FromReadableUtf8(std::string_view text);

// --- UTF-8 texts (the history's own form) ----------------------------------------------------

// True when the bytes are ASCII without NUL: the same text in every form here.
bool IsPlainAscii(std::string_view bytes);

// The stored form of a UTF-8 log's text: valid sequences as they are, NUL U+2400, any byte of no
// valid sequence U+FFFD.
std::string StoredUtf8FromUtf8(std::string_view bytes);

// The readable form of a stored text (or of any bytes, e.g. a store file made by hand): the
// stand-ins of the stored form go back to what the readable form shows (U+2400 NUL, a C1 control
// U+FFFD), and a byte of no valid sequence becomes U+FFFD. Always valid UTF-8.
std::string ReadableUtf8FromStored(std::string_view text);

}  // namespace k32
