#pragma once
// The log header: the lines up to the one announcing the post office (at most 99), and what
// they tell: the kind of statistics, the GroupWise version, processed-on date, path and name of
// the post office. Every test works on a line's matching form; values keep their case.

#include <string>

#include "state/KeywordTable.h"
#include "state/Records.h"
#include "state/RunContext.h"
#include "text/Text.h"

namespace k32 {

// Reads the header lines of the log at `path`. Raises the input/output error when the log
// cannot be opened or read.
LogHeader ReadLogHeader(RunContext& ctx, const std::string& path, const KeywordTable& kw);

bool IsMailboxStatistics(const LogHeader& header, const KeywordTable& kw);
bool IsExpireStatistics(const LogHeader& header, const KeywordTable& kw);

// The five characters after the version keyword and one more character. The last qualifying
// line wins.
Text ReadVersion(RunContext& ctx, const LogHeader& header, const KeywordTable& kw);
// A version text that starts with "5": GroupWise 5.
bool IsGroupWise5(std::string_view version);
Text ReadProcessedOn(RunContext& ctx, const LogHeader& header, const KeywordTable& kw);
Text ReadPathToPO(RunContext& ctx, const LogHeader& header, const KeywordTable& kw);
Text ReadPostOfficeName(RunContext& ctx, const LogHeader& header, const KeywordTable& kw);

}  // namespace k32
