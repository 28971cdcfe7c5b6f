#include "FuzzSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#define K32_FUZZ_COUNT_ALLOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define K32_FUZZ_COUNT_ALLOCATIONS 1
#endif
#endif
#ifdef K32_FUZZ_COUNT_ALLOCATIONS
// The allocator hooks of the sanitizer runtime (GCC ships no header for them).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                  std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "analysis/Totals.h"
#include "app/AppState.h"
#include "report/Columns.h"
#include "state/ReportSettings.h"

namespace k32::fuzz {

namespace {

constexpr std::size_t kLineMax = 255;

void RemoveWorkFolder() {
    std::error_code ec;
    std::filesystem::remove_all(WorkFolder(), ec);
}

std::string Quoted(std::string_view bytes) {
    std::string s;
    for (unsigned char c : bytes.substr(0, 300)) {
        if (c >= 32 && c < 127 && c != '\\') {
            s.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            s += hex;
        }
    }
    return s;
}

std::vector<std::string_view> SplitCrLf(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string_view::npos)
            Fail("the CSV report's last line has no line end");
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// A line holds the expected values, or (only when it was cut to 254 or 255 bytes) the values up
// to the cut: the ones before the last whole, the last one a beginning of its own.
void CheckValues(std::size_t lineNo, std::string_view line, std::string_view sep,
                 const std::vector<std::string>& expected) {
    const std::string where = "CSV line " + std::to_string(lineNo) + " \"" + Quoted(line) + "\"";
    std::vector<std::string> values;
    if (!ReadCsvLine(line, sep, values))
        Fail(where + " does not read as whole values");
    if (expected.empty()) {
        if (!line.empty())
            Fail(where + " should be empty");
        return;
    }
    if (values == expected)
        return;
    if (line.size() < kLineMax - 1)
        Fail(where + " lost values without being cut");
    if (values.size() > expected.size())
        Fail(where + " reads as more values than it has columns");
    const std::size_t last = values.size() - 1;
    for (std::size_t i = 0; i < last; ++i)
        if (values[i] != expected[i])
            Fail(where + ": value " + std::to_string(i + 1) + " differs");
    if (expected[last].compare(0, values[last].size(), values[last]) != 0)
        Fail(where + ": the cut value is not the beginning of its own");
}

}  // namespace

void Fail(const std::string& reason) {
    std::fprintf(stderr, "fuzz invariant failed: %s\n", reason.c_str());
    std::abort();
}

const std::string& WorkFolder() {
    static const std::string folder = [] {
        const bool shm = std::filesystem::is_directory("/dev/shm");
        std::string tmpl = std::string(shm ? "/dev/shm" : "/tmp") + "/k32fuzz-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr)
            Fail("cannot make a work folder");
        return tmpl;
    }();
    static const bool removeAtExit = (std::atexit(RemoveWorkFolder), true);
    (void)removeAtExit;
    return folder;
}

std::string WriteInput(const std::uint8_t* data, std::size_t size) {
    return WriteInput(std::string_view(reinterpret_cast<const char*>(data), size));
}

std::string WriteInput(std::string_view bytes) {
    const std::string path = WorkFolder() + "/input.log";
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        Fail("cannot write the input file");
    return path;
}

std::string WriteEndlessLine(std::string_view unit, std::size_t total) {
    std::string chunk(unit);
    for (char& c : chunk)
        if (c == '\n')
            c = '\0';
    while (!chunk.empty() && chunk.size() < (1u << 16))
        chunk += chunk;
    const std::string path = WorkFolder() + "/input.log";
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    for (std::size_t written = 0; !chunk.empty() && written < total; written += chunk.size())
        f.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    if (!f)
        Fail("cannot write the input file");
    return path;
}

void PrepareState(AppState& state, const std::string& inputPath) {
    SetDefaultSettings(state.settings);
    state.WindowMode = false;
    state.settings.DebugMode = 3;
    state.settings.InputPath = inputPath;
    state.settings.OutputBasePath = WorkFolder() + "/report";
}

bool ReadCsvLine(std::string_view line, std::string_view separator,
                 std::vector<std::string>& values) {
    values.clear();
    if (separator.empty()) {
        values.emplace_back(line);
        return true;
    }
    std::size_t i = 0;
    for (;;) {
        std::string value;
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    return false;  // the quoted value is never closed
                if (line[i] != '"') {
                    value.push_back(line[i]);
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    value.push_back('"');
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            values.push_back(std::move(value));
            if (i == line.size())
                return true;
            if (line.substr(i, separator.size()) != separator)
                return false;
            i += separator.size();
            continue;
        }
        const std::size_t next = line.find(separator, i);
        value = line.substr(i, next == std::string_view::npos ? std::string_view::npos : next - i);
        if (value.find_first_of("\"\r\n") != std::string::npos)
            return false;
        values.push_back(std::move(value));
        if (next == std::string_view::npos)
            return true;
        i = next + separator.size();
    }
}

void CheckCsvReport(const ReportSettings& settings, const RunResult& run,
                    const std::string& bytes) {
    const std::string_view sep = settings.CSVSeperator.view();
    const std::string_view placement = settings.CSVHeader.view();
    const bool header = placement == "Header", footer = placement == "Footer";
    const MailboxTable& table = run.log.mailboxes;
    const std::uint32_t rows = ReportRows(run.topCount, table.Count());
    const std::vector<std::string_view> lines = SplitCrLf(bytes);
    if (lines.size() != rows + (header || footer ? 2u : 0u))
        Fail("the CSV report has " + std::to_string(lines.size()) + " lines for " +
             std::to_string(rows) + " rows");

    const RunSummary& sum = run.log.summary;
    const std::vector<std::string> summary = {"POA: ",
                                              sum.postOfficeName.str(),
                                              "Groupwise Version: ",
                                              sum.versionText.str(),
                                              "Processed on: ",
                                              sum.processedOn.str(),
                                              "# Mailboxes: ",
                                              std::to_string(table.Count())};
    std::vector<std::string> captions;
    for (const ColumnSlot& slot : settings.columns)
        if (slot.csv)
            captions.emplace_back(ColumnCaption(slot.ColumnFieldCode.view()));

    const std::size_t summaryAt = header ? 0 : footer ? rows : lines.size();
    const std::size_t firstRow = header ? 2 : 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == summaryAt) {
            std::vector<std::string> values;
            if (!ReadCsvLine(lines[i], sep, values) || values != summary)
                Fail("the CSV summary line \"" + Quoted(lines[i]) + "\" is not whole");
            continue;
        }
        if (lines[i].size() > kLineMax)
            Fail("CSV line " + std::to_string(i + 1) + " has " + std::to_string(lines[i].size()) +
                 " bytes");
        if (i == summaryAt + 1) {
            CheckValues(i + 1, lines[i], sep, captions);
            continue;
        }
        const MailboxRecordView rec = table.Get(static_cast<std::uint32_t>(i - firstRow + 1));
        std::vector<std::string> expected;
        for (const ColumnSlot& slot : settings.columns)
            if (slot.csv)
                expected.emplace_back(ColumnValue(rec, slot.ColumnFieldCode.view()));
        CheckValues(i + 1, lines[i], sep, expected);
    }
}

#ifdef K32_FUZZ_COUNT_ALLOCATIONS
namespace {
std::size_t gLive = 0, gPeak = 0;
bool gCounting = false;
void OnMalloc(const volatile void*, std::size_t size) {
    if (!gCounting)
        return;
    gLive += size;
    gPeak = std::max(gPeak, gLive);
}
void OnFree(const volatile void* p) {
    if (gCounting && p != nullptr)
        gLive -= std::min(gLive, __sanitizer_get_allocated_size(p));
}
const bool gHooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}  // namespace

MemoryRise::MemoryRise() : start_(0) {
    (void)gHooked;
    gLive = gPeak = 0;
    gCounting = true;
}
MemoryRise::~MemoryRise() {
    gCounting = false;
}
std::size_t MemoryRise::Bytes() const {
    return gPeak;
}
#else
namespace {
std::size_t PeakResidentBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}
}  // namespace

MemoryRise::MemoryRise() : start_(PeakResidentBytes()) {}
MemoryRise::~MemoryRise() = default;
std::size_t MemoryRise::Bytes() const {
    return PeakResidentBytes() - start_;
}
#endif

}  // namespace k32::fuzz
