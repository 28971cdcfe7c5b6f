#include "logread/UserReaders.h"

#include <string>

#include "app/AppState.h"
#include "app/DebugLog.h"
#include "app/EventPump.h"
#include "logread/LineReader.h"
#include "logread/UserLineParsers.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

void FillNumbers(MailboxRecord& rec) {
    for (std::size_t f = 0; f <= kThreshold; ++f) rec[f] = "-1";
}

// The GroupWise 6 block: statistics, kilobytes in use, disk space values, problem lines.
struct Gw6Block {
    AppState& state;
    bool problemSeen = false;

    bool IsUserLine(std::string_view upper) const { return IsUserLineGW6(state.keywords, upper); }

    void Start(MailboxRecord& rec, const LogLine& line) {
        FillNumbers(rec);
        rec[kExceeded] = "No";
        problemSeen = false;
        UserLineParts parts = ParseUserLineGW6(state.keywords, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = TrimBlanks(parts.fullName);
        rec[kUid] = TrimBlanks(parts.uid);
    }

    // Feeds one block line into the record; true when it was the kilobytes line.
    bool Feed(MailboxRecord& rec, const LogLine& line) {
        const KeywordTable& kw = state.keywords;
        if (UserStats s = ParseUserStats(line, kw[KwUserStats6], kw[KwInbox6], kw[KwOutbox6],
                                         kw[KwWastebasket6]);
            s.found) {
            rec[kInbox] = s.inbox;
            rec[kOutbox] = s.outbox;
            rec[kWastebasket] = s.wastebasket;
        }
        SizeFound size = ParseKbytesInUse(kw, line);
        if (size.found) rec[kSize] = size.size;
        if (DiskSpace d = ParseDiskSpace(kw, line); d.found) {
            rec[kSizeLimit] = d.limit;
            rec[kThreshold] = d.threshold;
        }
        if (ProblemFound p = ParseProblemLine(state, line); p.found) {
            rec[kExceeded] = p.exceeded;
            rec[kSize] = p.size;
            problemSeen = true;
        } else if (!problemSeen) {
            rec[kExceeded] = "No";
        }
        return size.found;
    }
};

// The GroupWise 5.5 block: statistics and bytes in use only.
struct Gw55Block {
    AppState& state;

    bool IsUserLine(std::string_view upper) const { return IsUserLineGW55(state.keywords, upper); }

    void Start(MailboxRecord& rec, const LogLine& line) {
        FillNumbers(rec);
        UserLineParts parts = ParseUserLineGW55(state.keywords, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = rec[kUserName];
        rec[kUid] = TrimBlanks(parts.uid);
        rec[kSizeLimit] = rec[kThreshold] = rec[kExceeded] = "n/a";
    }

    bool Feed(MailboxRecord& rec, const LogLine& line) {
        const KeywordTable& kw = state.keywords;
        if (UserStats s = ParseUserStats(line, kw[KwUserStats55], kw[KwInbox55], kw[KwOutbox55],
                                         kw[KwWastebasket55]);
            s.found) {
            rec[kInbox] = s.inbox;
            rec[kOutbox] = s.outbox;
            rec[kWastebasket] = s.wastebasket;
        }
        SizeFound size = ParseBytesInUse(kw, line);
        if (size.found) rec[kSize] = size.size;
        return size.found;
    }
};

// The loop both readers share. A block starts at a user line and ends at its size line, at the
// next user line (which then starts the next block without being read again) or at the end of
// the file. A user line that is the last line of the log still yields a record.
template <typename Block>
void ReadUserBlocks(AppState& state, Block& block) {
    LogData& log = state.log;
    log.count = 0;
    log.mailboxes.Clear();
    LineReader reader(state.settings.InputPath.str(), kTextMax);
    std::string upper;
    std::string_view line;
    MailboxRecord rec;
    bool pending = false;
    try {
        while (pending || reader.Next(line)) {
            PumpEvents(state);
            if (!pending) {
                UpperCaseInto(line, upper);
                if (!block.IsUserLine(upper)) continue;
            }
            ++log.count;
            block.Start(rec, {line, upper});
            for (;;) {
                if (!reader.Next(line)) line = {};
                UpperCaseInto(line, upper);
                bool sizeSeen = block.Feed(rec, {line, upper});
                pending = block.IsUserLine(upper);
                // A pending line must stay valid: test the end of the file only without one.
                if (sizeSeen || pending || reader.AtEnd()) break;
            }
            AppendMailboxRecord(log, rec, log.count);
        }
    } catch (KestramaError& e) {
        if (e.where.empty())
            e.where = reader.Path() + ", line " + std::to_string(reader.LineNumber());
        throw;
    }
}

}  // namespace

void ReadUsersGW6(AppState& state) {
    AddDebugLine(state, "Start reading all users, GW60", "");
    Gw6Block block{state};
    ReadUserBlocks(state, block);
    AddDebugLine(state, "Stop reading all users, GW60", std::to_string(state.log.count));
    AddDebugLine(state, "Dump mem to file", "");
}

void ReadUsersGW55(AppState& state) {
    AddDebugLine(state, "Start reading all users, GW55", "");
    Gw55Block block{state};
    ReadUserBlocks(state, block);
    AddDebugLine(state, "Stop reading all users, GW55", std::to_string(state.log.count));
    AddDebugLine(state, "Dump mem to file", "");
}

}  // namespace k32
