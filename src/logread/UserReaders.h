#pragma once
// The mailbox-statistics readers: one pass over the whole log, one MailboxRecord per user block,
// in log order. Both raise the input/output error when the log cannot be read and the
// conversion error (naming the file and line) for a size that is not a whole number.
//
// A large log is read in parts on several threads: it is cut at user lines, where a block always
// ends, each part is read on its own, and the parts' tables are joined in log order, so the
// result is the table of a single pass.

#include <cstdint>
#include <string>
#include <vector>

#include "state/KeywordTable.h"
#include "state/ReadPlan.h"
#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

// The bytes [begin, end) of a log, beginning at the start of a line.
struct LogSlice {
    std::string path;
    std::uint64_t begin = 0;
    std::uint64_t end = UINT64_MAX;
};

enum class UserLineKind { GW6, GW55 };

// Cuts the log into at most `plan.parts` slices of about equal size, each after the first
// beginning at a user line that holds no keyword of another step of the block (such a line feeds
// the block before it, so no cut may fall there). A log too small to cut, or without user lines to
// cut at, is one slice. Raises the input/output error when the log cannot be read.
std::vector<LogSlice> SplitAtUserLines(const std::string& path, const KeywordTable& kw,
                                       UserLineKind kind, const ReadPlan& plan);

// The user blocks of one slice.
MailboxTable ReadUserBlocksGW6(RunContext& ctx, const LogSlice& slice, const KeywordTable& kw);
MailboxTable ReadUserBlocksGW55(RunContext& ctx, const LogSlice& slice, const KeywordTable& kw);

// GroupWise 6.0 and later (and any version the run does not know).
MailboxTable ReadUsersGW6(RunContext& ctx, const std::string& path, const KeywordTable& kw,
                          const ReadPlan& plan = DefaultReadPlan());
// GroupWise 5.5: no full name, no disk space values, no limit-exceeded lines.
MailboxTable ReadUsersGW55(RunContext& ctx, const std::string& path, const KeywordTable& kw,
                           const ReadPlan& plan = DefaultReadPlan());

}  // namespace k32
