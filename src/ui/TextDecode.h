#pragma once
// Texts from the core shown in the window. Records and keywords are Windows-1252 bytes; paths
// are the file system's UTF-8 bytes. A line may hold both (a progress line naming a path), so a
// text that is valid UTF-8 is shown as UTF-8 and any other as Windows-1252: an accented
// Windows-1252 name is practically never valid UTF-8.

#include <QString>
#include <string>
#include <string_view>

namespace k32 {

QString DecodeForDisplay(std::string_view bytes);
// Windows-1252 bytes of a text typed in the window (a separator character); characters without
// a Windows-1252 byte become "?".
std::string EncodeFromDisplay(const QString& text);

}  // namespace k32
