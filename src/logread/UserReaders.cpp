#include "logread/UserReaders.h"

#include <string>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/EventPump.h"
#include "logread/LineReader.h"
#include "logread/UserLineParsers.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

void FillNumbers(MailboxRecord& rec) {
    for (std::size_t f = 0; f <= kThreshold; ++f)
        rec[f] = "-1";
}

// The statistics step of either reader, with its own four keywords.
void FeedUserStats(MailboxRecord& rec, const KeywordTable& kw, std::string_view line, Keyword stats,
                   Keyword inbox, Keyword outbox, Keyword wastebasket) {
    const UserStats s = ParseUserStats(kw, line, stats, inbox, outbox, wastebasket);
    if (!s.found)
        return;
    rec[kInbox] = s.inbox;
    rec[kOutbox] = s.outbox;
    rec[kWastebasket] = s.wastebasket;
}

// The GroupWise 6 block: statistics, kilobytes in use, disk space values, problem lines.
struct Gw6Block {
    // The first keyword each step of the block tests; a step whose keyword a line does not hold
    // finds nothing in it.
    enum Trigger : std::uint32_t { kStats = 1, kKbytes = 2, kDisk = 4, kProblem = 8, kUser = 16 };

    Gw6Block(AppState& s, std::string_view sample)
        : state(s),
          triggers({s.keywords[KwUserStats6], s.keywords[KwKbytesInUse], s.keywords[KwDiskSpace],
                    s.keywords[KwProblem89], s.keywords[KwCheckingUser6], s.keywords[KwProblem90]},
                   sample),
          userLines({s.keywords[KwCheckingUser6]}, sample) {}

    AppState& state;
    KeywordSetSearcher triggers;
    KeywordSetSearcher userLines;
    bool problemSeen = false;

    std::uint32_t Triggers(std::uint32_t f) const {
        // Both problem keywords lead to the problem step.
        return (f & 31u) | ((f & 32u) ? kProblem : 0u);
    }

    bool IsUserLine(std::string_view line) const { return IsUserLineGW6(state.keywords, line); }

    void Start(MailboxRecord& rec, std::string_view line) {
        FillNumbers(rec);
        rec[kExceeded] = "No";
        problemSeen = false;
        UserLineParts parts = ParseUserLineGW6(state.keywords, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = TrimBlanks(parts.fullName);
        rec[kUid] = TrimBlanks(parts.uid);
    }

    // Feeds one block line, whose trigger bits are `t`, into the record; true when it was the
    // kilobytes line.
    bool Feed(MailboxRecord& rec, std::string_view line, std::uint32_t t) {
        const KeywordTable& kw = state.keywords;
        if (t & kStats)
            FeedUserStats(rec, kw, line, KwUserStats6, KwInbox6, KwOutbox6, KwWastebasket6);
        SizeFound size;
        if (t & kKbytes) {
            size = ParseKbytesInUse(kw, line);
            if (size.found)
                rec[kSize] = size.size;
        }
        if (t & kDisk) {
            if (DiskSpace d = ParseDiskSpace(kw, line); d.found) {
                rec[kSizeLimit] = d.limit;
                rec[kThreshold] = d.threshold;
            }
        }
        ProblemFound p;
        if (t & kProblem)
            p = ParseProblemLine(state, line);
        if (p.found) {
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
    enum Trigger : std::uint32_t { kStats = 1, kBytes = 2, kUser = 4 };

    Gw55Block(AppState& s, std::string_view sample)
        : state(s),
          triggers(
              {s.keywords[KwUserStats55], s.keywords[KwBytesInUse], s.keywords[KwCheckingUser55]},
              sample),
          userLines({s.keywords[KwCheckingUser55]}, sample) {}

    AppState& state;
    KeywordSetSearcher triggers;
    KeywordSetSearcher userLines;

    std::uint32_t Triggers(std::uint32_t f) const { return f; }

    bool IsUserLine(std::string_view line) const { return IsUserLineGW55(state.keywords, line); }

    void Start(MailboxRecord& rec, std::string_view line) {
        FillNumbers(rec);
        UserLineParts parts = ParseUserLineGW55(state.keywords, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = rec[kUserName];
        rec[kUid] = TrimBlanks(parts.uid);
        rec[kSizeLimit] = rec[kThreshold] = rec[kExceeded] = "n/a";
    }

    bool Feed(MailboxRecord& rec, std::string_view line, std::uint32_t t) {
        const KeywordTable& kw = state.keywords;
        if (t & kStats)
            FeedUserStats(rec, kw, line, KwUserStats55, KwInbox55, KwOutbox55, KwWastebasket55);
        SizeFound size;
        if (t & kBytes) {
            size = ParseBytesInUse(kw, line);
            if (size.found)
                rec[kSize] = size.size;
        }
        return size.found;
    }
};

// The loop both readers share. A block starts at a user line and ends at its size line, at the
// next user line (which then starts the next block without being read again) or at the end of
// the file. A user line that is the last line of the log still yields a record.
//
// Lines that hold none of a step's keywords feed nothing, so the reader asks only for the lines
// that hold one: outside a block the user lines, inside a block the lines of its steps.
template <typename Block>
void ReadUserBlocks(AppState& state) {
    LogData& log = state.log;
    log.count = 0;
    log.mailboxes.Clear();
    LineReader reader(state.settings.InputPath.str(), kTextMax);
    // The searchers anchor each keyword on what is rare in this very log.
    Block block(state, reader.Peek());
    std::string_view line;
    std::uint32_t found = 0;
    MailboxRecord rec;
    bool pending = false;
    try {
        while (pending || reader.NextWith(block.userLines, line, found)) {
            PumpEvents(state);
            if (!pending && !block.IsUserLine(line))
                continue;
            ++log.count;
            block.Start(rec, line);
            pending = false;
            while (reader.NextWith(block.triggers, line, found)) {
                PumpEvents(state);
                std::uint32_t t = block.Triggers(found);
                bool sizeSeen = block.Feed(rec, line, t);
                pending = (t & Block::kUser) != 0 && block.IsUserLine(line);
                if (sizeSeen || pending)
                    break;
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
    ReadUserBlocks<Gw6Block>(state);
    AddDebugLine(state, "Stop reading all users, GW60", std::to_string(state.log.count));
    AddDebugLine(state, "Dump mem to file", "");
}

void ReadUsersGW55(AppState& state) {
    AddDebugLine(state, "Start reading all users, GW55", "");
    ReadUserBlocks<Gw55Block>(state);
    AddDebugLine(state, "Stop reading all users, GW55", std::to_string(state.log.count));
    AddDebugLine(state, "Dump mem to file", "");
}

}  // namespace k32
