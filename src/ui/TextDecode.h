#pragma once
// Texts from the core shown in the window. Records and keywords are Windows-1252 bytes; paths
// are the file system's UTF-8 bytes. A line may hold both (a progress line naming a path), so a
// text that is valid UTF-8 is shown as UTF-8 and any other as Windows-1252: an accented
// Windows-1252 name is practically never valid UTF-8.
//
// The Windows-1252 table is the one of text/Cp1252Utf8.h, in its readable form (the trend page
// shows names the same way): a byte that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) shows as U+FFFD REPLACEMENT CHARACTER, and NUL stays NUL, as in a UTF-8 text. These
// are Qt's wrappers of that table: UTF-8 in, QString out, and back.

#include <QString>
#include <string>
#include <string_view>

namespace k32 {

QString DecodeForDisplay(std::string_view bytes);
// Windows-1252 bytes of a text typed in the window (a separator character); characters without
// a Windows-1252 byte become "?".
std::string EncodeFromDisplay(const QString& text);

}  // namespace k32
