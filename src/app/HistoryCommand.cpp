#include "app/HistoryCommand.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>

#include "app/CommandLine.h"
#include "app/ErrorLines.h"
#include "app/RunProcessing.h"
#include "app/Startup.h"
#include "app/TerminalProgress.h"
#include "history/ConnectionString.h"
#include "history/HistoryRows.h"
#include "history/HistoryStore.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "state/KeywordTable.h"
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

// `kestrama32 history import ...`: `args` from "import" on.
int ImportCommand(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const option options[] = {{"history", required_argument, nullptr, 'H'},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    std::string location;
    const int argc = static_cast<int>(args.size());
    opterr = 0;  // the messages are this program's own
    optind = 0;  // from the start, whatever was parsed before
    for (;;) {
        const int c = getopt_long(argc, argv.data(), ":h", options, nullptr);
        if (c == -1)
            break;
        switch (c) {
            case 'H':
                location = optarg;
                break;
            case 'h':
                std::cout << HistoryUsageText() << std::flush;
                return std::cout ? kExitReportsWritten : kExitError;
            case ':':
                return CommandLineError(
                    std::string("history import: option ") + argv[optind - 1] + " needs a value",
                    "history import");
            default:
                return CommandLineError(
                    "history import: unknown option " +
                        (optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                     : std::string(argv[optind - 1])),
                    "history import");
        }
    }
    if (optind >= argc)
        return CommandLineError("history import: no log given", "history import");
    // getopt_long has moved the logs behind the options, in the pointers only.
    return Import(location, std::vector<std::string>(argv.begin() + optind, argv.end() - 1));
}

}  // namespace

bool IsHistoryCommand(const std::vector<std::string>& params) {
    return !params.empty() && params.front() == "history";
}

int RunHistoryCommand(const std::vector<std::string>& params, int argc, char** argv) {
    if (HideHistoryPassword(argc, argv))
        std::cerr << PasswordOnCommandLineWarning() << '\n';
    if (params.size() < 2)
        return CommandLineError("history: no command given (import)", "history");
    const std::string& command = params[1];
    if (command == "--help" || command == "-h") {
        std::cout << HistoryUsageText() << std::flush;
        return std::cout ? kExitReportsWritten : kExitError;
    }
    if (command != "import")
        return CommandLineError("history: unknown command " + command, "history");
    return ImportCommand(std::vector<std::string>(params.begin() + 1, params.end()));
}

std::string HistoryUsageText() {
    return "Usage: kestrama32 history import [--history=FILE|URL] LOG...\n"
           "       kestrama32 history --help\n"
           "\n"
           "Records GWCheck logs with mailbox statistics into the history store, in the order\n"
           "of their dates whatever the order given, and writes no report. A log recorded\n"
           "before (the same post office and processed-on date) replaces its run. Expire logs\n"
           "and logs without mailbox statistics are skipped.\n"
           "\n"
           "  --history=FILE|URL  the history store, as /HISTORY: names it: a file, or a\n"
           "                      PostgreSQL connection string; without it (or empty), the\n"
           "                      default store " +
           DefaultHistoryFile() +
           "\n"
           "  -h, --help          show this text\n"
           "\n"
           "Each log gets a line on standard output: recorded, replaced, skipped: no\n"
           "statistics, or failed: the reason; a last line counts them.\n"
           "\n"
           "Exit codes:\n"
           "  0  every log was recorded or skipped\n"
           "  1  a log failed (the others were recorded), or the store could not be opened\n"
           "  2  the command line was wrong\n";
}

}  // namespace k32
