#include "logread/UserReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "logread/LineReader.h"
#include "logread/UserLineParsers.h"
#include "state/DebugLog.h"
#include "state/ParallelJobs.h"
#include "state/StopCheck.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

template <std::size_t N>
std::vector<std::string_view> StepWords(const KeywordTable& kw,
                                        const std::array<Keyword, N>& keys) {
    std::vector<std::string_view> words;
    for (Keyword k : keys)
        words.push_back(kw[k]);
    return words;
}

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

    // The keywords of the steps, in the order of the trigger bits.
    static constexpr std::array<Keyword, 6> kStepKeywords = {
        KwUserStats6, KwKbytesInUse, KwDiskSpace, KwProblem89, KwCheckingUser6, KwProblem90};

    Gw6Block(RunContext& c, const KeywordTable& k, std::string_view sample)
        : ctx(c),
          kw(k),
          triggers(StepWords(k, kStepKeywords), sample),
          userLines({k[KwCheckingUser6]}, sample) {}

    RunContext& ctx;
    const KeywordTable& kw;
    KeywordSetSearcher triggers;
    KeywordSetSearcher userLines;
    bool problemSeen = false;

    std::uint32_t Triggers(std::uint32_t f) const {
        // Both problem keywords lead to the problem step.
        return (f & 31u) | ((f & 32u) ? kProblem : 0u);
    }

    static constexpr Keyword kUserKeyword = KwCheckingUser6;
    static bool IsUserLineOf(const KeywordTable& k, std::string_view line) {
        return IsUserLineGW6(k, line);
    }
    bool IsUserLine(std::string_view line) const { return IsUserLineGW6(kw, line); }

    void Start(MailboxRecord& rec, std::string_view line) {
        FillNumbers(rec);
        rec[kExceeded] = "No";
        problemSeen = false;
        UserLineParts parts = ParseUserLineGW6(kw, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = TrimBlanks(parts.fullName);
        rec[kUid] = TrimBlanks(parts.uid);
    }

    // Feeds one block line, whose trigger bits are `t`, into the record; true when it was the
    // kilobytes line.
    bool Feed(MailboxRecord& rec, std::string_view line, std::uint32_t t) {
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
            p = ParseProblemLine(ctx, kw, line);
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

    static constexpr std::array<Keyword, 3> kStepKeywords = {KwUserStats55, KwBytesInUse,
                                                             KwCheckingUser55};

    Gw55Block(RunContext&, const KeywordTable& k, std::string_view sample)
        : kw(k),
          triggers(StepWords(k, kStepKeywords), sample),
          userLines({k[KwCheckingUser55]}, sample) {}

    const KeywordTable& kw;
    KeywordSetSearcher triggers;
    KeywordSetSearcher userLines;

    std::uint32_t Triggers(std::uint32_t f) const { return f; }

    static constexpr Keyword kUserKeyword = KwCheckingUser55;
    static bool IsUserLineOf(const KeywordTable& k, std::string_view line) {
        return IsUserLineGW55(k, line);
    }
    bool IsUserLine(std::string_view line) const { return IsUserLineGW55(kw, line); }

    void Start(MailboxRecord& rec, std::string_view line) {
        FillNumbers(rec);
        UserLineParts parts = ParseUserLineGW55(kw, line);
        rec[kUserName] = TrimBlanks(parts.userName);
        rec[kFullName] = rec[kUserName];
        rec[kUid] = TrimBlanks(parts.uid);
        rec[kSizeLimit] = rec[kThreshold] = rec[kExceeded] = "n/a";
    }

    bool Feed(MailboxRecord& rec, std::string_view line, std::uint32_t t) {
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
MailboxTable ReadUserBlocks(RunContext& ctx, const LogSlice& slice, const KeywordTable& kw) {
    MailboxTable table;
    LineReader reader(slice.path, kTextMax, slice.begin, slice.end);
    reader.CountBytesInto(ctx.bytesRead);
    reader.ScanEncodingInto(ctx.encodingSeen);
    // The searchers anchor each keyword on what is rare in this very log.
    Block block(ctx, kw, reader.Peek());
    std::string_view line;
    std::uint32_t found = 0;
    MailboxRecord rec;
    bool pending = false;
    try {
        while (pending || reader.NextWith(block.userLines, line, found)) {
            ThrowIfStopped(ctx);
            if (!pending && !block.IsUserLine(line))
                continue;
            block.Start(rec, line);
            pending = false;
            while (reader.NextWith(block.triggers, line, found)) {
                ThrowIfStopped(ctx);
                std::uint32_t t = block.Triggers(found);
                bool sizeSeen = block.Feed(rec, line, t);
                pending = (t & Block::kUser) != 0 && block.IsUserLine(line);
                if (sizeSeen || pending)
                    break;
            }
            table.Append(rec);
        }
    } catch (KestramaError& e) {
        if (e.where.empty())
            e.where = reader.Path() + ", line " + std::to_string(reader.LineNumber());
        throw;
    }
    return table;
}

// A line where a log can be cut: a user line, which ends the block before it in any case, that
// holds no keyword of another step. Such a keyword would feed the line to the block before it
// too, which the part that ends before the line could not do.
template <typename Block>
bool IsCleanCut(const KeywordTable& kw, std::string_view line) {
    if (!Block::IsUserLineOf(kw, line))
        return false;
    for (Keyword k : Block::kStepKeywords)
        if (k != Block::kUserKeyword && kw.Holds(line, k))
            return false;
    return true;
}

bool IsCleanCutOf(UserLineKind kind, const KeywordTable& kw, std::string_view line) {
    return kind == UserLineKind::GW6 ? IsCleanCut<Gw6Block>(kw, line)
                                     : IsCleanCut<Gw55Block>(kw, line);
}

// The offset of the first line at or after `from` where the log can be cut, or `size` when there
// is none.
std::uint64_t NextCleanCut(int fd, const std::string& path, std::uint64_t from, std::uint64_t size,
                           const KeywordTable& kw, UserLineKind kind) {
    std::vector<char> buf(1 << 16);
    std::string line;
    // The byte before `from` tells whether a line starts at `from`.
    std::uint64_t offset = from > 0 ? from - 1 : 0;
    bool atLineStart = from == 0;
    std::uint64_t lineStart = from;
    while (offset < size) {
        ssize_t n = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowIoError(errno, path);
        if (n == 0)
            break;
        for (ssize_t i = 0; i < n; ++i, ++offset) {
            const char c = buf[static_cast<std::size_t>(i)];
            if (offset < from) {  // the byte before `from`
                atLineStart = c == '\n';
                continue;
            }
            if (c == '\n') {
                if (atLineStart) {
                    std::string_view v(line);
                    if (!v.empty() && v.back() == '\r' && v.size() <= kTextMax)
                        v.remove_suffix(1);
                    if (IsCleanCutOf(kind, kw, v.substr(0, kTextMax)))
                        return lineStart;
                }
                line.clear();
                atLineStart = true;
                lineStart = offset + 1;
                continue;
            }
            if (atLineStart && line.size() <= kTextMax)
                line.push_back(c);
        }
    }
    return size;
}

template <typename Block>
MailboxTable ReadUsers(RunContext& ctx, const std::string& path, const KeywordTable& kw,
                       UserLineKind kind, const ReadPlan& plan) {
    const std::vector<LogSlice> slices = SplitAtUserLines(path, kw, kind, plan);
    std::vector<MailboxTable> parts(slices.size());
    std::vector<ParallelJob> jobs;
    for (std::size_t i = 0; i < slices.size(); ++i)
        jobs.push_back(
            [&, i](RunContext& job) { parts[i] = ReadUserBlocks<Block>(job, slices[i], kw); });
    RunJobsInOrder(ctx, jobs);
    MailboxTable table = std::move(parts[0]);
    for (std::size_t i = 1; i < parts.size(); ++i)
        table.AppendTable(std::move(parts[i]));
    return table;
}

}  // namespace

std::vector<LogSlice> SplitAtUserLines(const std::string& path, const KeywordTable& kw,
                                       UserLineKind kind, const ReadPlan& plan) {
    std::vector<LogSlice> slices;
    slices.push_back(LogSlice{path, 0, UINT64_MAX});
    struct stat st {};
    if (plan.parts < 2 || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return slices;  // the reader itself reports a log it cannot open
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t parts =
        std::min<std::uint64_t>(plan.parts, size / std::max<std::uint64_t>(plan.minPartBytes, 1));
    if (parts < 2)
        return slices;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        ThrowIoError(errno, path);
    try {
        for (std::uint64_t k = 1; k < parts; ++k) {
            const std::uint64_t from = std::max(size / parts * k, slices.back().begin + 1);
            const std::uint64_t cut = NextCleanCut(fd, path, from, size, kw, kind);
            if (cut >= size)
                break;
            slices.back().end = cut;
            slices.push_back(LogSlice{path, cut, UINT64_MAX});
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return slices;
}

MailboxTable ReadUserBlocksGW6(RunContext& ctx, const LogSlice& slice, const KeywordTable& kw) {
    return ReadUserBlocks<Gw6Block>(ctx, slice, kw);
}

MailboxTable ReadUserBlocksGW55(RunContext& ctx, const LogSlice& slice, const KeywordTable& kw) {
    return ReadUserBlocks<Gw55Block>(ctx, slice, kw);
}

MailboxTable ReadUsersGW6(RunContext& ctx, const std::string& path, const KeywordTable& kw,
                          const ReadPlan& plan) {
    AddDebugLine(ctx, "Start reading all users, GW60", "");
    MailboxTable table = ReadUsers<Gw6Block>(ctx, path, kw, UserLineKind::GW6, plan);
    AddDebugLine(ctx, "Stop reading all users, GW60", std::to_string(table.Count()));
    AddDebugLine(ctx, "Dump mem to file", "");
    return table;
}

MailboxTable ReadUsersGW55(RunContext& ctx, const std::string& path, const KeywordTable& kw,
                           const ReadPlan& plan) {
    AddDebugLine(ctx, "Start reading all users, GW55", "");
    MailboxTable table = ReadUsers<Gw55Block>(ctx, path, kw, UserLineKind::GW55, plan);
    AddDebugLine(ctx, "Stop reading all users, GW55", std::to_string(table.Count()));
    AddDebugLine(ctx, "Dump mem to file", "");
    return table;
}

}  // namespace k32
