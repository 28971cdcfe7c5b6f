#pragma once
// Helpers shared by the core tests: a temporary folder, whole-file read and write, a fresh
// state for batch runs, and running the real programs.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/RunProcessing.h"
#include "state/ReportSettings.h"
#include "state/RunContext.h"

namespace k32::test {

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "k32test-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The lines of CR LF text; a last line without its line end gets "<no line end>" appended.
inline std::vector<std::string> SplitCrLf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The records 1..Count() of a table as owned texts, to compare whole.
template <std::size_t N>
std::vector<std::array<std::string, N>> RecordTexts(const RecordTable<N>& table) {
    std::vector<std::array<std::string, N>> records;
    for (std::uint32_t i = 1; i <= table.Count(); ++i) {
        const auto view = table.Get(i);
        std::array<std::string, N> fields;
        for (std::size_t k = 0; k < N; ++k)
            fields[k] = std::string(view.field[k]);
        records.push_back(fields);
    }
    return records;
}
inline std::vector<std::array<std::string, kMailboxFields>> MailboxRecords(const AppState& state) {
    return state.lastRun ? RecordTexts(state.lastRun->log.mailboxes)
                         : std::vector<std::array<std::string, kMailboxFields>>{};
}
inline std::vector<std::array<std::string, kExpireFields>> ExpireRecords(const AppState& state) {
    return state.lastRun ? RecordTexts(state.lastRun->log.expires)
                         : std::vector<std::array<std::string, kExpireFields>>{};
}

// A run as the program entries make one: the request made from the state's settings, and the
// result kept as the last run once the run has completed. A run that fails raises its error and
// leaves the last run as it was.
template <typename RunStep>
RunOutcome RunAndKeep(AppState& state, RunStep step, bool resort = false) {
    RunRequest request = RequestOf(state);
    if (resort)
        request.resortOf = state.lastRun;
    RunContext ctx = ContextOf(state);
    auto result = std::make_shared<const RunResult>(step(request, ctx));
    state.lastRun = result;
    return result->outcome;
}
inline RunOutcome RunProcessing(AppState& state) {
    return RunAndKeep(state, k32::RunProcessing);
}
inline void ReSortAndRewrite(AppState& state) {
    RunAndKeep(state, k32::ReSortAndRewrite, true);
}
inline void RunExpireReportOnly(AppState& state) {
    RunAndKeep(state, k32::RunExpireReportOnly);
}
// The command line parsed into a program state, as the program entries do; the message of a
// wrong parameter count goes to `messages` when given.
inline void ParseCommandLine(AppState& state, const std::vector<std::string>& params,
                             std::string_view programFolder,
                             std::vector<std::string>* messages = nullptr) {
    const CommandLine line = k32::ParseCommandLine(params, programFolder, state.settings);
    state.WindowMode = line.windowMode;
    state.DebugLogPath = line.debugLogPath;
    if (messages && !line.message.empty())
        messages->push_back(line.message);
}

// The last run's data; the test fails at once when there is none.
inline const LogData& LastLog(const AppState& state) {
    if (!state.lastRun)
        throw std::logic_error("no run has completed");
    return state.lastRun->log;
}

// Collects what reaches the Log tab (window mode): progress lines and, in the "Screen only"
// debug mode, debug lines; each without its time stamp.
struct LogCapture {
    LogCapture(AppState& state, std::uint8_t debugMode) {
        state.WindowMode = true;
        state.settings.DebugMode = debugMode;
        state.screenLine = [this](std::string_view line) {
            const auto at = line.find(" ; ");
            lines.emplace_back(at == std::string_view::npos ? line : line.substr(at + 3));
        };
    }
    bool Has(const std::string& text) const {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    std::vector<std::string> lines;
};

// A run context of window mode whose Log tab lines (progress lines and, in the "Screen only"
// debug mode, debug lines) are collected without their time stamps. For the steps of a run,
// which take a context rather than the whole state.
struct ContextCapture {
    explicit ContextCapture(std::uint8_t debugMode = 3) {
        ctx.windowMode = true;
        ctx.debugMode = debugMode;
        ctx.screenLine = [this](std::string_view line) {
            const auto at = line.find(" ; ");
            lines.emplace_back(at == std::string_view::npos ? line : line.substr(at + 3));
        };
    }
    ContextCapture(const ContextCapture&) = delete;
    ContextCapture& operator=(const ContextCapture&) = delete;
    bool Has(const std::string& text) const {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    RunContext ctx;
    std::vector<std::string> lines;
};

// Lines joined with CR LF, the last one ended too.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

// A state as a batch run has it after the command line: defaults, the debug log off, the
// given input and output base path.
inline void PrepareBatchState(AppState& state, const std::string& input,
                              const std::string& outBase) {
    state.WindowMode = false;
    SetDefaultSettings(state.settings);
    state.settings.DebugMode = 3;
    state.settings.InputPath = input;
    state.settings.OutputBasePath = outBase;
}

struct ProcessResult {
    int exitCode = -1;
    std::string out, err;
};

// Runs a program with arguments (no shell), in `workdir` when given, capturing its output.
inline ProcessResult RunProcess(const std::vector<std::string>& argv,
                                const std::string& workdir = {}) {
    TempDir captures;
    const std::string outPath = captures / "out", errPath = captures / "err";
    pid_t pid = ::fork();
    if (pid == 0) {
        if (!workdir.empty() && ::chdir(workdir.c_str()) != 0)
            ::_exit(127);
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen(errPath.c_str(), "w", stderr);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ProcessResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadFile(outPath);
    r.err = ReadFile(errPath);
    return r;
}

inline std::string Kestrama32() {
    return std::string(KESTRAMA_BIN_DIR) + "/kestrama32";
}
inline std::string DummyLogTool() {
    return std::string(KESTRAMA_BIN_DIR) + "/kestrama32-dummylog";
}

}  // namespace k32::test
