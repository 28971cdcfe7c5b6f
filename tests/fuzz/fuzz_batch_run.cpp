// A whole batch run on outside bytes: header, reader, sort, totals and both reports, then the
// CSV report checked line by line. The first four bytes choose the run:
//   byte 0: bits 0-2 sort field, bit 3 direction, bits 4-5 CSV placement, bits 6-7 the mode:
//           0 and 1 the rest is the log; 2 each line of the rest is a full name in a log made
//           around it (long values, quotes and separators: the CSV cut at work); 3 the rest
//           repeated into one 8 MB line without a line end, where memory must stay flat
//   byte 1: the CSV separator (one byte; a quote, CR or LF gives ";")
//   byte 2: the column layout
//   byte 3: top count (bits 0-3) and above value (bits 4-7, times 50)

#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "app/AppState.h"
#include "app/RunProcessing.h"
#include "logread/HeaderReader.h"
#include "text/Errors.h"

namespace {

using namespace k32;

// The reader holds one 1 MB block: a line without an end must not make it hold more.
constexpr std::size_t kEndlessBytes = 8u << 20;
constexpr std::size_t kEndlessMemoryBound = 4u << 20;

const char kLogHead[] =
    "Novell GroupWise - GWCHKSRV - Version 6.5.2\n"
    "  Processed on Monday, March 7, 2005 - 2:15 am\n"
    "Processing information for this run:\n"
    "  Path to PO   = FS1\\MAIL:\\grpwise\\harbour\n"
    "    Post Office= Harbour\n"
    "  Action       = Mailbox Statistics\n"
    "*** Processing post office 'Harbour.Coast' located at 'FS1\\MAIL:\\grpwise\\harbour' ***\n\n";

// A GroupWise 6.5.2 log with one mailbox per line of `names`, that line its full name.
std::string LogAround(std::string_view names) {
    std::string log = kLogHead;
    int n = 0;
    for (std::size_t start = 0; start <= names.size() && n < 64; ++n) {
        const std::size_t end = std::min(names.find('\n', start), names.size());
        const std::string i = std::to_string(n);
        log += "  Checking user = U" + i + "     (x" + i + ")   0 bytes,01/01/05 01:00 (";
        log.append(names.substr(start, end - start));
        log += ")\n  User stats:  " + i + " InBox, 2 OutBox, 3 WasteBasket\n";
        log += "      " + std::to_string(n * 1024) + " kbytes in use by user's mail\n\n";
        start = end + 1;
    }
    return log;
}

void ChooseColumns(ReportSettings& s, std::uint8_t b) {
    static const char* const kLayouts[][3] = {
        {"0123456789", "1111111111", "1111111111"},  // every field once
        {"1111111111", "1111111111", "1111111111"},  // the full name in every slot
        {"0101010101", "1010101010", "1111111110"},
        {"9x1 823170", "0000011111", "1011011101"},  // unknown codes among them
    };
    const auto& layout = kLayouts[b % 4];
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        s.columns[i].ColumnFieldCode = std::string(1, layout[0][i]);
        s.columns[i].html = layout[1][i] == '1';
        s.columns[i].csv = layout[2][i] == '1';
    }
}

std::string ReadWhole(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            bytes.append(buf, n);
        std::fclose(f);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::string_view body(reinterpret_cast<const char*>(data) + 4, size - 4);
    const int mode = data[0] >> 6;
    std::string input;
    if (mode == 3)
        input = fuzz::WriteEndlessLine(body, kEndlessBytes);
    else
        input = fuzz::WriteInput(mode == 2 ? LogAround(body) : std::string(body));

    AppState state;
    fuzz::PrepareState(state, input);
    ReportSettings& s = state.settings;
    s.Sort = data[0] & 7;
    s.SortDir = (data[0] >> 3) & 1;
    static const char* const kPlacements[] = {"Header", "Footer", "Disabled", ""};
    s.CSVHeader = kPlacements[(data[0] >> 4) & 3];
    const char sep = static_cast<char>(data[1]);
    s.CSVSeperator = sep == '"' || sep == '\r' || sep == '\n' ? ";" : std::string(1, sep);
    ChooseColumns(s, data[2]);
    s.TOP = data[3] & 15;
    s.TOPVALUE = (data[3] >> 4) * 50u;

    const std::string csvPath = fuzz::WorkFolder() + "/report.csv";
    std::remove(csvPath.c_str());
    std::remove((fuzz::WorkFolder() + "/report.mht").c_str());
    std::shared_ptr<const RunResult> result;
    const fuzz::MemoryRise memory;
    try {
        const RunRequest request = RequestOf(state);
        RunContext ctx = ContextOf(state);
        result = std::make_shared<const RunResult>(RunProcessing(request, ctx));
    } catch (const KestramaError&) {
        // The run's own error (a figure that is not a number, ...): not a finding.
    }
    if (mode == 3 && memory.Bytes() > kEndlessMemoryBound)
        fuzz::Fail("memory rose by " + std::to_string(memory.Bytes() >> 10) +
                   " KB on one line without a line end");
    if (result && result->mailboxRun && !result->expireRun)
        fuzz::CheckCsvReport(state.settings, *result, ReadWhole(csvPath));
    return 0;
}
