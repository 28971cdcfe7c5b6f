#pragma once
// The settings store: named text values under one key, kept in an INI file. The file stands for
// the key: it exists exactly when the key does. Every call opens the store, does its one read or
// write and closes it again, so nothing is held between values and another copy of the program
// sees each write at once (the last write of a value wins).
//
// Texts are bytes. Valid UTF-8 is stored as readable text and comes back byte for byte, commas,
// semicolons, quotes, backslashes, "#", "=" and blanks at either end included; bytes that are
// not valid UTF-8 are stored as a byte array, which also comes back byte for byte.

#include <string>
#include <string_view>

namespace k32 {

// The store's file: $KESTRAMA32_SETTINGS when it is set and not empty, else
// $XDG_CONFIG_HOME/Kestrama32/Kestrama32.ini (when that variable holds an absolute path), else
// ~/.config/Kestrama32/Kestrama32.ini.
std::string SettingsStorePath();

// True when the store exists and can be opened for reading.
bool StoreKeyExists();

// The named value's text; the empty text when the store or the value is missing. A value that
// is not a plain text (a list, a number or other typed value written by hand) raises
// "Invalid data type for '<name>'".
std::string ReadSettingValue(std::string_view name);

// Writes the named value, creating the store and its folders when missing. When the store
// cannot be written (its file or folder not writable, or the write not completed) it raises
// "Failed to set data for '<name>'" and the stored value is left as it was.
void WriteSettingValue(std::string_view name, std::string_view text);

}  // namespace k32
