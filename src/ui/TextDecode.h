#pragma once
// Texts from the core shown in the window. A record's texts are in its log's encoding
// (DecodeLogText), the history's are UTF-8 (DecodeHistoryText). Other texts mix: keywords are
// Windows-1252 bytes, paths the file system's UTF-8 bytes, and a line may hold both (a progress
// line naming a path), so DecodeForDisplay shows a text that is valid UTF-8 as UTF-8 and any
// other as Windows-1252: an accented Windows-1252 name is practically never valid UTF-8.
//
// The Windows-1252 table is the one of text/Cp1252Utf8.h, in its readable form (the trend page
// shows names the same way): a byte that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) shows as U+FFFD REPLACEMENT CHARACTER, and NUL stays NUL, as in a UTF-8 text. These
// are Qt's wrappers of that table: UTF-8 in, QString out, and back.

#include <QString>
#include <string>
#include <string_view>

#include "text/EncodingScan.h"

namespace k32 {

// A text of a log (a record's value) in the log's encoding: a UTF-8 log's text as UTF-8 (a byte
// of no valid sequence as U+FFFD), any other's as Windows-1252 in the readable form.
QString DecodeLogText(std::string_view bytes, TextEncoding encoding);
// A text of the history (always UTF-8) in its readable form (ReadableUtf8FromStored).
QString DecodeHistoryText(std::string_view text);

QString DecodeForDisplay(std::string_view bytes);
// Windows-1252 bytes of a text typed in the window (a separator character); characters without
// a Windows-1252 byte become "?".
std::string EncodeFromDisplay(const QString& text);

}  // namespace k32
