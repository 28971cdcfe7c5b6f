#pragma once
// The log header: the lines up to the one announcing the post office (at most 99), and what
// they tell: the kind of statistics, the GroupWise version, processed-on date, path and name of
// the post office. Every test works on a line's matching form; values keep their case.

#include "text/Text.h"

namespace k32 {

struct AppState;

// Reads the header into HeaderLines 1..HeaderLineCount. Raises the input/output error when the
// log cannot be opened or read.
void ReadLogHeader(AppState& state);

bool IsMailboxStatistics(const AppState& state);
bool IsExpireStatistics(const AppState& state);

// The five characters after the version keyword and one more character; sets the GroupWise 5
// flag. The last qualifying line wins.
Text ReadVersion(AppState& state);
Text ReadProcessedOn(AppState& state);
Text ReadPathToPO(AppState& state);
Text ReadPostOfficeName(AppState& state);

}  // namespace k32
