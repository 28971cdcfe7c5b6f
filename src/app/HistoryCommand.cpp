#include "app/HistoryCommand.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/CommandLine.h"
#include "app/ErrorLines.h"
#include "app/HistoryCheck.h"
#include "app/RunProcessing.h"
#include "app/Startup.h"
#include "app/TerminalProgress.h"
#include "history/ConnectionString.h"
#include "history/HistoryRows.h"
#include "history/HistoryStore.h"
#include "history/TrendsFromStore.h"
#include "history/TrendsReport.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "state/KeywordTable.h"
#include "state/ReportSettings.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

const std::string kPrefix = "kestrama32: ";

int CommandLineError(const std::string& message, const std::string& helpOf) {
    std::cerr << kPrefix << message << " (see kestrama32 " << helpOf << " --help)\n";
    return kExitCommandLine;
}

// The reason of an error as one line, worded as a batch run's error lines are.
std::string ReasonOf(const KestramaError& e, const std::string& logPath) {
    std::string reason;
    for (const std::string& line : ErrorLines(e, logPath)) {
        if (!reason.empty())
            reason += ", ";
        reason +=
            line.compare(0, kPrefix.size(), kPrefix) == 0 ? line.substr(kPrefix.size()) : line;
    }
    return reason;
}

// A password in a --history value (whole or cut short as getopt_long takes it, "--hist=...",
// or in the parameter after it) is overwritten in the program's own arguments. True when one
// was.
bool HideHistoryPassword(int argc, char** argv) {
    bool hidden = false;
    const std::string_view option = "--history";
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--")
            break;
        const std::size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        if (name.size() < 3 || option.substr(0, name.size()) != name)
            continue;
        char* value = nullptr;
        if (eq != std::string_view::npos)
            value = argv[i] + eq + 1;
        else if (i + 1 < argc)
            value = argv[++i];
        if (!value || !IsServerLocation(value))
            continue;
        for (const auto& [begin, end] : PasswordSpans(value)) {
            std::memset(value + begin, '*', end - begin);
            hidden = true;
        }
    }
    return hidden;
}

enum class Outcome { Recorded, Replaced, Skipped, Failed };

// One log given to import: where it lies, its run as the header tells it (its date above all),
// and what became of it when that is known before recording.
struct ImportLog {
    std::string path;
    HistoryRun run;
    std::uint64_t bytes = 0;
    std::optional<Outcome> outcome;
    std::string reason;
};

// What a log's header tells: its language set loaded and its summary filled. False when it
// holds no mailbox statistics (an expire log, or no statistics at all).
bool ReadHeaderOf(RunContext& ctx, const std::string& path, KeywordTable& keywords,
                  RunSummary& sum) {
    const LogHeader header = ReadLogHeader(ctx, path, keywords);
    DetectLogLanguage(ctx, header, keywords, sum);
    if (!IsMailboxStatistics(header, keywords))
        return false;
    ReadMailboxHeader(ctx, header, keywords, sum);
    return true;
}

// Reads the header of every log, to order them by date before any is recorded.
std::vector<ImportLog> ReadHeaders(RunContext& ctx, const std::vector<std::string>& paths) {
    std::vector<ImportLog> logs;
    for (const std::string& path : paths) {
        ImportLog log{path, {}, 0, std::nullopt, {}};
        try {
            log.bytes = FileSizeOf(path);
            KeywordTable keywords = EnglishKeywordTable();
            RunSummary sum;
            if (ReadHeaderOf(ctx, path, keywords, sum))
                log.run = RunOfLog(sum, path);
            else
                log.outcome = Outcome::Skipped;
        } catch (const KestramaError& e) {
            log.outcome = Outcome::Failed;
            log.reason = ReasonOf(e, path);
        }
        logs.push_back(std::move(log));
    }
    // Those known now are said first, in the order given; then the others by date.
    std::stable_sort(logs.begin(), logs.end(), [](const ImportLog& a, const ImportLog& b) {
        if (a.outcome.has_value() != b.outcome.has_value())
            return a.outcome.has_value();
        return !a.outcome && a.run.processedAt < b.run.processedAt;
    });
    return logs;
}

// Reads the log's mailboxes and records them in a transaction of their own, replacing a run
// of the same post office and processed-on text.
Outcome RecordLog(RunContext& ctx, HistoryStore& store, const std::string& path) {
    KeywordTable keywords = EnglishKeywordTable();
    RunSummary sum;
    // Read again: the log read is the one recorded, even if it changed since its header was.
    if (!ReadHeaderOf(ctx, path, keywords, sum))
        return Outcome::Skipped;
    const MailboxTable table = ReadMailboxes(ctx, path, keywords, sum, DefaultReadPlan());
    const HistoryRun run = RunOf(sum, table, path);
    HistoryStore::Transaction write = store.Begin();
    const std::vector<HistoryRun> held = store.Runs(run.poName, run.poPath);
    const bool replaced = std::any_of(held.begin(), held.end(), [&run](const HistoryRun& r) {
        return r.processedOn == run.processedOn;
    });
    RecordMailboxes(write, run, table, sum.encoding);
    write.Commit();
    return replaced ? Outcome::Replaced : Outcome::Recorded;
}

std::string LineOf(const ImportLog& log) {
    switch (*log.outcome) {
        case Outcome::Recorded:
            return log.path + ": recorded";
        case Outcome::Replaced:
            return log.path + ": replaced";
        case Outcome::Skipped:
            return log.path + ": skipped: no statistics";
        case Outcome::Failed:
            break;
    }
    return log.path + ": failed: " + log.reason;
}

int Import(const std::string& location, const std::vector<std::string>& paths) {
    std::unique_ptr<HistoryStore> store;
    try {
        store = OpenHistoryStore(location);
    } catch (const KestramaError& e) {
        for (const std::string& line : ErrorLines(e, {}))
            std::cerr << line << '\n';
        return kExitError;
    }
    RunContext ctx;
    std::atomic<std::uint64_t> bytesRead = 0;
    ctx.bytesRead = &bytesRead;
    std::vector<ImportLog> logs = ReadHeaders(ctx, paths);
    std::uint64_t total = 0;
    for (const ImportLog& log : logs)
        total += log.outcome ? 0 : log.bytes;
    int counts[4] = {};
    {
        TerminalProgress progress(bytesRead, total, STDERR_FILENO);
        store->SetWaiting(
            [&progress] {
                progress.WriteAbove(STDERR_FILENO,
                                    kPrefix +
                                        "Waiting for another run that is recording into the "
                                        "history\n");
            },
            {});
        for (ImportLog& log : logs) {
            if (!log.outcome) {
                try {
                    log.outcome = RecordLog(ctx, *store, log.path);
                } catch (const KestramaError& e) {
                    log.outcome = Outcome::Failed;
                    log.reason = ReasonOf(e, log.path);
                } catch (const std::exception& e) {
                    log.outcome = Outcome::Failed;
                    log.reason = e.what();
                }
            }
            ++counts[static_cast<int>(*log.outcome)];
            progress.WriteAbove(STDOUT_FILENO, LineOf(log) + "\n");
        }
        store->SetWaiting({}, {});
    }
    std::cout << logs.size() << (logs.size() == 1 ? " log: " : " logs: ")
              << counts[static_cast<int>(Outcome::Recorded)] << " recorded, "
              << counts[static_cast<int>(Outcome::Replaced)] << " replaced, "
              << counts[static_cast<int>(Outcome::Skipped)] << " skipped, "
              << counts[static_cast<int>(Outcome::Failed)] << " failed" << std::endl;
    return counts[static_cast<int>(Outcome::Failed)] > 0 ? kExitError : kExitReportsWritten;
}

// What a history command's command line gave.
struct Options {
    std::string command;   // "history list", for messages
    std::string location;  // --history
    std::optional<std::string> po, poPath, date;
    std::vector<std::string> operands;
};

// The long options a command may take besides --history and --help.
enum Extra : int { kPoOption = 'p', kPoPathOption = 'P', kDateOption = 'd' };

// Parses `args` (from the command's name on) into `out`. Returns the exit code when the command
// ends here: after --help, or after one line on a wrong command line.
std::optional<int> ParseOptions(std::vector<std::string> args, std::initializer_list<Extra> extra,
                                Options& out) {
    out.command = "history " + args.front();
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<option> options = {{"history", required_argument, nullptr, 'H'},
                                   {"help", no_argument, nullptr, 'h'}};
    for (Extra e : extra)
        options.push_back({e == kPoOption       ? "po"
                           : e == kPoPathOption ? "po-path"
                                                : "date",
                           required_argument, nullptr, e});
    options.push_back({nullptr, 0, nullptr, 0});
    const int argc = static_cast<int>(args.size());
    opterr = 0;  // the messages are this program's own
    optind = 0;  // from the start, whatever was parsed before
    for (;;) {
        const int c = getopt_long(argc, argv.data(), ":h", options.data(), nullptr);
        if (c == -1)
            break;
        switch (c) {
            case 'H':
                out.location = optarg;
                break;
            case kPoOption:
                out.po = optarg;
                break;
            case kPoPathOption:
                out.poPath = optarg;
                break;
            case kDateOption:
                out.date = optarg;
                break;
            case 'h':
                std::cout << HistoryUsageText() << std::flush;
                return std::cout ? kExitReportsWritten : kExitError;
            case ':':
                return CommandLineError(
                    out.command + ": option " + argv[optind - 1] + " needs a value", out.command);
            default:
                return CommandLineError(
                    out.command + ": unknown option " +
                        (optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                     : std::string(argv[optind - 1])),
                    out.command);
        }
    }
    // getopt_long has moved the operands behind the options, in the pointers only.
    out.operands.assign(argv.begin() + optind, argv.end() - 1);
    return std::nullopt;
}

// `kestrama32 history import ...`: `args` from "import" on.
int ImportCommand(const std::vector<std::string>& args) {
    Options o;
    if (const auto done = ParseOptions(args, {}, o))
        return *done;
    if (o.operands.empty())
        return CommandLineError("history import: no log given", "history import");
    return Import(o.location, o.operands);
}

// "YYYY-MM-DD HH:MM" of an ISO 8601 date-time; any other text as it is.
std::string MinuteOf(const std::string& iso) {
    if (iso.size() < 16 || iso[10] != 'T')
        return iso;
    std::string s = iso.substr(0, 16);
    s[10] = ' ';
    return s;
}

// A post office of the store: its name and path as the store's types hold them.
struct PostOffice {
    std::string name, path;
    bool operator==(const PostOffice&) const = default;
};

// The post offices of `runs` (as AllRuns orders them), each once.
std::vector<PostOffice> PostOfficesIn(const std::vector<HistoryRun>& runs) {
    std::vector<PostOffice> out;
    for (const HistoryRun& r : runs)
        if (out.empty() || out.back() != PostOffice{r.poName, r.poPath})
            out.push_back({r.poName, r.poPath});
    return out;
}

// "NAME (PATH)".
std::string Shown(const PostOffice& p) {
    return p.name + " (" + p.path + ")";
}

// The post offices by name, "A, B"; one whose name another shares with its path as well.
std::string NamesOf(const std::vector<PostOffice>& pos) {
    std::string out;
    for (const PostOffice& p : pos) {
        const bool shared = std::count_if(pos.begin(), pos.end(), [&p](const PostOffice& q) {
                                return q.name == p.name;
                            }) > 1;
        out += (out.empty() ? "" : ", ") + (shared ? Shown(p) : p.name);
    }
    return out;
}

// The post offices that --po and --po-path name (every one when neither is given). Names and
// paths match as `history list` shows them, letter case included.
std::vector<PostOffice> Matching(const std::vector<PostOffice>& all, const Options& o) {
    std::vector<PostOffice> out;
    for (const PostOffice& p : all)
        if ((!o.po || p.name == *o.po) && (!o.poPath || p.path == *o.poPath))
            out.push_back(p);
    return out;
}

// An error of a command that is no fault of its command line: one line, exit code 1.
int Failure(const Options& o, const std::string& message) {
    std::cerr << kPrefix << o.command << ": " << message << '\n';
    return kExitError;
}

// The one post office that the options name, into `chosen`; otherwise the exit code, said.
std::optional<int> ChoosePostOffice(const std::vector<PostOffice>& all, const Options& o,
                                    PostOffice& chosen) {
    const std::vector<PostOffice> matching = Matching(all, o);
    if (matching.empty()) {
        std::string named = o.po ? *o.po : std::string();
        if (o.poPath)
            named += (o.po ? " (" : "(") + *o.poPath + ")";
        return Failure(
            o, "the history holds no post office " + named + " (it holds " + NamesOf(all) + ")");
    }
    if (matching.size() > 1) {
        if (!o.po)
            return CommandLineError(o.command + ": the history holds several post offices (" +
                                        NamesOf(matching) + "): choose one with --po",
                                    o.command);
        std::string paths;
        for (const PostOffice& p : matching)
            paths += (paths.empty() ? "" : ", ") + p.path;
        return CommandLineError(o.command + ": the history holds several post offices named " +
                                    *o.po + " (" + paths + "): choose one with --po-path",
                                o.command);
    }
    chosen = matching.front();
    return std::nullopt;
}

// True when `date` names the run: its processed-on text as the log gives it, or its date as
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DDTHH:MM[:SS]".
bool RunOnDate(const HistoryRun& run, const std::string& date) {
    if (run.processedOn == date)
        return true;
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    if (date.size() != 10 && date.size() != 16 && date.size() != 19)
        return false;
    std::string iso = date;
    if (iso.size() > 10 && iso[10] == ' ')
        iso[10] = 'T';
    for (std::size_t i = 0; i < iso.size(); ++i)
        if (kShape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(iso[i]))
                             : iso[i] != kShape[i])
            return false;
    return run.processedAt.compare(0, iso.size(), iso) == 0;
}

// The one run of `runs` that --date names, into `chosen`; otherwise the exit code, said.
std::optional<int> ChooseRun(const std::vector<HistoryRun>& runs, const PostOffice& po,
                             const Options& o, HistoryRun& chosen) {
    std::vector<const HistoryRun*> on;
    for (const HistoryRun& r : runs)
        if (RunOnDate(r, *o.date))
            on.push_back(&r);
    if (on.empty())
        return Failure(o, "no run of " + po.name + " on " + *o.date);
    if (on.size() > 1) {
        std::string which;
        for (const HistoryRun* r : on)
            which += (which.empty() ? "" : ", ") + MinuteOf(r->processedAt) + " \"" +
                     r->processedOn + "\"";
        return Failure(o, "several runs of " + po.name + " on " + *o.date + " (" + which +
                              "): choose one by its time, --date=\"YYYY-MM-DD HH:MM\", "
                              "or its processed-on text");
    }
    chosen = *on.front();
    return std::nullopt;
}

// Says a wrong number of operands; nullopt when there are `want`.
std::optional<int> OperandsWrong(const Options& o, std::size_t want, const char* what) {
    if (o.operands.size() < want)
        return CommandLineError(o.command + ": no " + what + " given", o.command);
    if (o.operands.size() > want)
        return CommandLineError(o.command + ": unexpected argument " + o.operands[want], o.command);
    return std::nullopt;
}

// A figure as the store keeps it, in the fewest digits that read back as it.
std::string FigureText(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

// `history list`: the runs of every post office.
int ListRuns(const Options& o, HistoryStore* store) {
    const std::vector<HistoryRun> runs = store ? store->AllRuns() : std::vector<HistoryRun>();
    if (runs.empty()) {
        std::cout << "The history holds no runs yet: " << HistoryStoreShown(o.location)
                  << std::endl;
        return std::cout ? kExitReportsWritten : kExitError;
    }
    // The columns are as wide as their widest value in every post office, so that they line up
    // down the whole list.
    const std::string dateHead = "Date", countHead = "Mailboxes", totalHead = "Total (MB)";
    std::size_t dateWidth = dateHead.size(), countWidth = countHead.size(),
                totalWidth = totalHead.size();
    auto totalOf = [](const HistoryRun& r) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.1f", r.totalMb);
        return std::string(buffer);
    };
    for (const HistoryRun& r : runs) {
        dateWidth = std::max(dateWidth, MinuteOf(r.processedAt).size());
        countWidth = std::max(countWidth, std::to_string(r.mailboxes).size());
        totalWidth = std::max(totalWidth, totalOf(r).size());
    }
    auto line = [&](const std::string& date, const std::string& count, const std::string& total) {
        std::ostringstream l;
        l << "  " << date << std::string(dateWidth - date.size(), ' ') << "  "
          << std::string(countWidth - count.size(), ' ') << count << "  "
          << std::string(totalWidth - total.size(), ' ') << total << '\n';
        return l.str();
    };
    std::string out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const HistoryRun& r = runs[i];
        if (i == 0 || r.poName != runs[i - 1].poName || r.poPath != runs[i - 1].poPath) {
            out += (i ? "\n" : "") + Shown({r.poName, r.poPath}) + "\n";
            out += line(dateHead, countHead, totalHead);
        }
        out += line(MinuteOf(r.processedAt), std::to_string(r.mailboxes), totalOf(r));
    }
    std::cout << out << std::flush;
    return std::cout ? kExitReportsWritten : kExitError;
}

// `history forget --po NAME --date DATE`: deletes one run, asking nothing.
int ForgetRun(const Options& o, HistoryStore* store) {
    PostOffice po;
    HistoryRun run;
    const std::vector<HistoryRun> all = store ? store->AllRuns() : std::vector<HistoryRun>();
    if (all.empty())
        return Failure(o, "the history holds no runs yet: " + HistoryStoreShown(o.location));
    if (const auto done = ChoosePostOffice(PostOfficesIn(all), o, po))
        return *done;
    if (const auto done = ChooseRun(store->Runs(po.name, po.path), po, o, run))
        return *done;
    store->SetWaiting(
        [] {
            std::cerr << kPrefix << "Waiting for another run that is recording into the history"
                      << std::endl;
        },
        {});
    const bool forgot = store->ForgetRun(run.id);
    store->SetWaiting({}, {});
    // Another command may have forgotten it (or a recording replaced it) meanwhile.
    if (!forgot)
        return Failure(o, "no run of " + po.name + " on " + *o.date);
    std::cout << "Forgot the run of " << po.name << " of " << MinuteOf(run.processedAt) << ": "
              << run.mailboxes << (run.mailboxes == 1 ? " mailbox" : " mailboxes") << std::endl;
    return std::cout ? kExitReportsWritten : kExitError;
}

// `history report BASE`: the trend reports of one run, from the store alone.
int WriteReport(const Options& o, HistoryStore* store) {
    const std::string& base = o.operands.front();
    PostOffice po;
    const std::vector<HistoryRun> all = store ? store->AllRuns() : std::vector<HistoryRun>();
    if (all.empty())
        return Failure(o, "the history holds no runs yet: " + HistoryStoreShown(o.location));
    if (const auto done = ChoosePostOffice(PostOfficesIn(all), o, po))
        return *done;
    const std::vector<HistoryRun> runs = store->Runs(po.name, po.path);
    HistoryRun run = runs.back();
    if (o.date)
        if (const auto done = ChooseRun(runs, po, o, run))
            return *done;
    // As every run on these reports does first: what a killed run left is put right.
    RunContext ctx;
    ctx.notice = [](std::string_view line) { std::cerr << kPrefix << line << '\n'; };
    RecoverInterruptedRun(ctx, base, o.location);
    ReportSettings defaults;
    SetDefaultSettings(defaults);
    // As a run with the default settings writes them.
    WriteTrendsFromStore(*store, run, base, defaults.CSVSeperator.str(),
                         defaults.DECSeperator.str());
    std::cout << "Trend reports of " << po.name << " of " << MinuteOf(run.processedAt)
              << " written: " << base << "-trends.html, " << base << "-trends.csv" << std::endl;
    return std::cout ? kExitReportsWritten : kExitError;
}

// `history mailbox USER`: one mailbox over time, as CSV on standard output.
int MailboxCsv(const Options& o, HistoryStore* store) {
    const std::string& user = o.operands.front();
    const std::vector<HistoryRun> all = store ? store->AllRuns() : std::vector<HistoryRun>();
    if (all.empty())
        return Failure(o, "the history holds no runs yet: " + HistoryStoreShown(o.location));
    const std::vector<PostOffice> pos = Matching(PostOfficesIn(all), o);
    if (pos.empty()) {
        PostOffice none;
        return *ChoosePostOffice(PostOfficesIn(all), o, none);
    }
    std::string out = "Date,Post office,Username,Full name,Size (MB),Limit (MB),Used (%)\n";
    bool found = false;
    for (const PostOffice& po : pos) {
        for (const MailboxPoint& p : store->MailboxOverTime(po.name, po.path, user)) {
            found = true;
            const HistoryMailbox& m = p.mailbox;
            AppendCsvField(out, p.run.processedAt, ",");
            out += ',';
            AppendCsvField(out, po.name, ",");
            out += ',';
            AppendCsvField(out, m.username, ",");
            out += ',';
            AppendCsvField(out, m.fullname, ",");
            out += ',';
            if (m.sizeMb)
                out += FigureText(*m.sizeMb);
            out += ',';
            if (m.limitMb)
                out += FigureText(*m.limitMb);
            out += ',';
            // The use of the limit, as the trend reports give it: none without a limit.
            if (m.sizeMb && m.limitMb && *m.limitMb > 0) {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%.1f", *m.sizeMb / *m.limitMb * 100);
                out += buffer;
            }
            out += '\n';
        }
    }
    if (!found)
        return Failure(o, "the history holds no mailbox " + user +
                              (o.po || o.poPath ? " of " + NamesOf(pos) : std::string()));
    std::cout << out << std::flush;
    return std::cout ? kExitReportsWritten : kExitError;
}

// A command that reads the store (or forgets a run): its command line, then the store opened
// without being created. The store's errors are one line each, exit code 1.
int StoreCommand(const std::vector<std::string>& args, std::initializer_list<Extra> extra,
                 std::size_t operands, const char* operandName,
                 int (*run)(const Options&, HistoryStore*)) {
    Options o;
    if (const auto done = ParseOptions(args, extra, o))
        return *done;
    if (const auto wrong = OperandsWrong(o, operands, operandName))
        return *wrong;
    if (o.command == "history forget") {
        if (!o.po)
            return CommandLineError("history forget: no post office given (--po NAME)", o.command);
        if (!o.date)
            return CommandLineError("history forget: no date given (--date DATE)", o.command);
    }
    try {
        const std::unique_ptr<HistoryStore> store = OpenExistingHistoryStore(o.location);
        return run(o, store.get());
    } catch (const KestramaError& e) {
        for (const std::string& line : ErrorLines(e, {}))
            std::cerr << line << '\n';
        return kExitError;
    }
}

}  // namespace

std::string HistoryStoreShown(const std::string& location) {
    if (location.empty())
        return DefaultHistoryFile();
    if (IsServerLocation(location))
        return ConnectionStringWithoutPassword(location);
    return location;
}

std::unique_ptr<HistoryStore> OpenExistingHistoryStore(const std::string& location) {
    if (!IsServerLocation(location) && ::access(HistoryStoreShown(location).c_str(), F_OK) != 0 &&
        errno == ENOENT)
        return nullptr;
    return OpenHistoryStore(location);
}

bool IsHistoryCommand(const std::vector<std::string>& params) {
    return !params.empty() && params.front() == "history";
}

int RunHistoryCommand(const std::vector<std::string>& params, int argc, char** argv) {
    // A check writes nothing but its one line: a monitoring system may read standard error too.
    const bool check = params.size() >= 2 && params[1] == "check";
    if (HideHistoryPassword(argc, argv) && !check)
        std::cerr << PasswordOnCommandLineWarning() << '\n';
    if (params.size() < 2)
        return CommandLineError(
            "history: no command given (import, list, forget, report, mailbox, check)", "history");
    const std::string& command = params[1];
    if (command == "--help" || command == "-h") {
        std::cout << HistoryUsageText() << std::flush;
        return std::cout ? kExitReportsWritten : kExitError;
    }
    const std::vector<std::string> args(params.begin() + 1, params.end());
    if (command == "import")
        return ImportCommand(args);
    if (command == "list")
        return StoreCommand(args, {}, 0, "", ListRuns);
    if (command == "forget")
        return StoreCommand(args, {kPoOption, kPoPathOption, kDateOption}, 0, "", ForgetRun);
    if (command == "report")
        return StoreCommand(args, {kPoOption, kPoPathOption, kDateOption}, 1, "base path",
                            WriteReport);
    if (command == "mailbox")
        return StoreCommand(args, {kPoOption, kPoPathOption}, 1, "username", MailboxCsv);
    if (check)
        return HistoryCheckCommand(args);
    return CommandLineError("history: unknown command " + command, "history");
}

std::string HistoryUsageText() {
    return "Usage: kestrama32 history import [--history=FILE|URL] LOG...\n"
           "       kestrama32 history list [--history=FILE|URL]\n"
           "       kestrama32 history forget [--history=FILE|URL] --po NAME [--po-path PATH]\n"
           "                                 --date DATE\n"
           "       kestrama32 history report [--history=FILE|URL] [--po NAME] [--po-path PATH]\n"
           "                                 [--date DATE] BASE\n"
           "       kestrama32 history mailbox [--history=FILE|URL] [--po NAME] [--po-path PATH]\n"
           "                                  USER\n"
           "       kestrama32 history check [--history=FILE|URL] [--po NAME] [--po-path PATH]\n"
           "                                [--warning-days=N] [--critical-days=N]\n"
           "                                [--max-age=DAYS]\n"
           "       kestrama32 history COMMAND --help\n"
           "\n"
           "import   records GWCheck logs with mailbox statistics into the history store, in\n"
           "         the order of their dates whatever the order given, and writes no report.\n"
           "         A log recorded before (the same post office and processed-on date)\n"
           "         replaces its run. Expire logs and logs without mailbox statistics are\n"
           "         skipped. Each log gets a line on standard output: recorded, replaced,\n"
           "         skipped: no statistics, or failed: the reason; a last line counts them.\n"
           "list     shows each post office, \"NAME (PATH)\", and its runs: date, mailboxes and\n"
           "         total size, oldest first.\n"
           "forget   deletes the run of a post office on DATE with its mailboxes, asking\n"
           "         nothing, and says which run it deleted.\n"
           "report   writes the trend reports BASE-trends.html and BASE-trends.csv of a post\n"
           "         office from the store alone: those of its newest run, or of the run on\n"
           "         DATE, against the runs before it (the CSV separated by \";\").\n"
           "mailbox  writes one mailbox's size in every run that holds it as CSV on standard\n"
           "         output: date, post office, username, full name, size, limit and use of\n"
           "         the limit. USER matches whatever the letter case of A to Z.\n"
           "check    a monitoring check (plugin) of the newest run of each post office: one\n"
           "         line on standard output, \"KESTRAMA32 STATE - text | perfdata\", and the\n"
           "         exit code of the state (see below). CRITICAL when a mailbox is at or\n"
           "         over its limit, or its trend reaches the limit within the critical\n"
           "         days, or the run is older than --max-age; WARNING when one is over its\n"
           "         warning threshold or reaches its limit within the warning days; OK\n"
           "         otherwise. The days count from now, on the trend line of the trend\n"
           "         reports (3 runs over 7 days at least). Without --po every post office\n"
           "         is checked: the worst state wins, the text names each post office, and\n"
           "         the perfdata labels begin with its name ('NAME red'=1;;;). Perfdata:\n"
           "         red, amber, green, nolimit (mailboxes per quota band), mailboxes, total\n"
           "         (MB). Nothing goes to standard error, not even the password warning.\n"
           "\n"
           "  --history=FILE|URL  the history store, as /HISTORY: names it: a file, or a\n"
           "                      PostgreSQL connection string; without it (or empty), the\n"
           "                      default store " +
           DefaultHistoryFile() +
           "\n"
           "                      (list, forget, report, mailbox and check never create a\n"
           "                      store file)\n"
           "  --po NAME           the post office, as list shows its name; report may leave it\n"
           "                      out when the store holds one post office, mailbox and check\n"
           "                      then look in every post office\n"
           "  --po-path PATH      the post office's path, for two post offices of one name\n"
           "  --date DATE         the run: YYYY-MM-DD, \"YYYY-MM-DD HH:MM\" (as list shows it),\n"
           "                      YYYY-MM-DDTHH:MM:SS, or the log's processed-on text\n"
           "  --warning-days=N    check: WARNING for a mailbox that reaches its limit within N\n"
           "                      days (default 30; at least --critical-days)\n"
           "  --critical-days=N   check: CRITICAL within N days (default 7)\n"
           "  --max-age=DAYS      check: CRITICAL when a post office's newest run is more than\n"
           "                      DAYS whole days old (default: any age)\n"
           "  -h, --help          show this text\n"
           "\n"
           "Exit codes:\n"
           "  0  done: every log was recorded or skipped; the runs were listed; the run was\n"
           "     forgotten; the reports or the CSV were written\n"
           "  1  a log failed (the others were recorded), the store could not be opened or\n"
           "     read, a file could not be written, or no post office, run or mailbox matched\n"
           "  2  the command line was wrong, or it did not choose one post office\n"
           "check alone, as monitoring systems read them:\n"
           "  0  OK   1  WARNING   2  CRITICAL\n"
           "  3  UNKNOWN: the command line was wrong (not 2, which means CRITICAL here), the\n"
           "     store is missing, cannot be read or holds no runs, or --po matched nothing\n";
}

}  // namespace k32
