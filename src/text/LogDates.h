#pragma once
// Dates as GWCheck writes them in a log's header, in English, German or French:
//   "Monday, March 7, 2005 - 2:15 am", "Dienstag, 14. März 2006 - 03:00",
//   "mercredi 9 avril 2008 - 4:30". Month names are matched in the log's own encoding
// (Windows-1252) and in UTF-8.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace k32 {

// "YYYY-MM-DDTHH:MM:00" for a header date that names a day, a month and a year; the time of
// day when given (with am/pm), else midnight. Nothing for a text that is no such date.
std::optional<std::string> ParseLogDate(std::string_view text);

// "YYYY-MM-DDTHH:MM:SS" of a time in UTC.
std::string IsoUtc(std::time_t t);

}  // namespace k32
