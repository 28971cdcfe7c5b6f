#pragma once
// The steps that turn one line of a user block into values. Each takes a line, says whether it
// found what it looks for, and gives the values cut from the line. Positions follow the log:
// a keyword that is absent has position 0, and a cut of zero or less characters is empty.
// Sizes come out in whole megabytes. A size that is not a whole number raises the conversion
// error.

#include <string_view>

#include "logread/Keywords.h"
#include "state/RunContext.h"
#include "text/Text.h"

namespace k32 {

struct UserLineParts {
    std::string_view userName, uid, fullName;  // untrimmed
};

struct UserStats {
    bool found = false;
    std::string_view inbox, outbox, wastebasket;  // trimmed
};

struct SizeFound {
    bool found = false;
    Text size;  // whole megabytes
};

struct DiskSpace {
    bool found = false;
    Text limit;  // whole megabytes
    std::string_view threshold;
};

struct ProblemFound {
    bool found = false;
    std::string_view exceeded;  // "Size" or "Threshold"
    Text size;                  // whole megabytes
};

// GroupWise 6 and later: the user-line keyword, and neither "(    )" nor ".DB".
bool IsUserLineGW6(const KeywordTable& kw, std::string_view line);
UserLineParts ParseUserLineGW6(const KeywordTable& kw, std::string_view line);

// GroupWise 5.5: the user-line keyword alone.
bool IsUserLineGW55(const KeywordTable& kw, std::string_view line);
UserLineParts ParseUserLineGW55(const KeywordTable& kw, std::string_view line);

// The statistics line, with the four words of either reader.
UserStats ParseUserStats(const KeywordTable& kw, std::string_view line, Keyword stats,
                         Keyword inbox, Keyword outbox, Keyword wastebasket);

SizeFound ParseKbytesInUse(const KeywordTable& kw, std::string_view line);
SizeFound ParseBytesInUse(const KeywordTable& kw, std::string_view line);
DiskSpace ParseDiskSpace(const KeywordTable& kw, std::string_view line);
// Writes the debug line "Problem 89 found" or "Problem 90 found" when it matches.
ProblemFound ParseProblemLine(RunContext& ctx, const KeywordTable& kw, std::string_view line);

}  // namespace k32
