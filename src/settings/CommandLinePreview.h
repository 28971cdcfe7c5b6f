#pragma once
// The batch command line that runs the program with the current paths and settings, shown on
// the Settings tab so that it can be pasted into a POSIX shell or a cron job:
//
//   kestrama32 /IN:"<log>" /OUT:"<base>" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:...,CSV:...
//   [/TOP:<count>,ABOVE:<value>] [/HISTORY:"<store file>"]
//
// The paths and the options group are double-quoted, with "$", "`", "\" and "\"" escaped and
// "!" set in single quotes, so that the shell hands the program exactly the settings' bytes
// whatever separator or path is chosen. The column group is quoted only when it holds a
// character a shell would act on. In the options and column groups a byte above 127 (a
// separator such as "§" in the log's code page) is written as $(printf '\ooo'), so that it
// reaches the program as that one byte and not as its two-byte UTF-8 form. The top group
// follows only when TOP or TOPVALUE is not 0, the history switch only when history is kept
// (without a file for the default store).
//
// The switches are read by fixed positions, so every value must fit its position exactly. A
// value that cannot (possible only with a missing or hand-edited stored value) never shortens
// or shifts a group: a stand-in takes its place, and a shell comment at the end of the line
// names each such value, so the difference is visible and the line still runs:
//   - CSVHeader other than "Header", "Footer", "Disabled": "2", which like the stored text
//     writes no caption lines;
//   - Sort, SortDir or DebugMode above 9: "9";
//   - CSVSeperator or DECSeperator that is not one byte, is a NUL, a small letter (the options
//     are read in capitals) or, for DECSeperator, a blank (trimmed away): ";" or ".";
//   - a column slot text that is not one byte: "-", which like an empty or longer text shows an
//     empty column;
//   - a path that starts or ends with a blank (trimmed away), holds a NUL byte or is too long
//     for the 255 characters of its switch: written as it is, and named in the comment.

#include <string>

#include "state/ReportSettings.h"

namespace k32 {

std::string BuildCommandLinePreview(const ReportSettings& settings);

}  // namespace k32
