#include "report/CsvReport.h"

#include <vector>

#include "report/Columns.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

bool NeedsQuotes(std::string_view v, std::string_view sep) {
    // One pass over the value: this runs for every field of every row.
    const char s0 = sep.empty() ? '"' : sep[0];
    for (std::size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (c != s0 && c != '"' && c != '\r' && c != '\n')
            continue;
        if (c == '"' || c == '\r' || c == '\n' || v.substr(i, sep.size()) == sep)
            return true;
    }
    return false;
}

// Appends the CSV field for `value` to `out`.
void AppendField(std::string& out, std::string_view value, std::string_view sep) {
    if (!NeedsQuotes(value, sep)) {
        out.append(value);
        return;
    }
    out.push_back('"');
    for (char c : value) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

// Where a reading of a CSV line stops: outside any quoted value, inside one, or right after a
// quote inside one (which closes the value if nothing but a second quote follows).
enum class CsvLineEnd { Outside, InQuotes, AfterQuote };

// Reads the line as a CSV reader does: a double quote at the start of a value opens a quoted
// value; inside it, a doubled quote stands for one quote and a single quote closes it.
CsvLineEnd ReadCsvLineEnd(std::string_view line, std::string_view sep) {
    CsvLineEnd at = CsvLineEnd::Outside;
    bool valueStart = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (at == CsvLineEnd::InQuotes) {
            if (c == '"')
                at = CsvLineEnd::AfterQuote;
            continue;
        }
        if (at == CsvLineEnd::AfterQuote && c == '"') {
            at = CsvLineEnd::InQuotes;
            continue;
        }
        at = CsvLineEnd::Outside;
        if (valueStart && c == '"') {
            at = CsvLineEnd::InQuotes;
            valueStart = false;
        } else if (!sep.empty() && line.substr(i, sep.size()) == sep) {
            valueStart = true;
            i += sep.size() - 1;
        } else {
            valueStart = false;
        }
    }
    return at;
}

// The CSV-enabled slots' codes, in slot order.
std::vector<std::string_view> CsvCodes(const ReportSettings& settings) {
    std::vector<std::string_view> codes;
    for (const ColumnSlot& slot : settings.columns)
        if (slot.csv)
            codes.push_back(slot.ColumnFieldCode.view());
    return codes;
}

// Appends to `out` the values (valueOf gets each column's index among `columns`) joined with the
// separator, the line cut to 255 bytes.
template <typename ValueOf>
void AppendCsvLine(std::string& out, std::size_t columns, std::string_view sep, ValueOf valueOf) {
    const std::size_t start = out.size();
    for (std::size_t c = 0; c < columns; ++c) {
        if (c > 0)
            out.append(sep);
        AppendField(out, valueOf(c), sep);
    }
    if (out.size() - start > kTextMax) {
        const std::string cut = CutCsvLine(std::string_view(out).substr(start), sep);
        out.replace(start, std::string::npos, cut);
    }
}

std::string SummaryLine(const MailboxReportData& data) {
    const RunSummary& sum = data.summary;
    std::string_view sep = data.settings.CSVSeperator.view();
    const std::string count = std::to_string(data.table.Count());
    const std::string_view fields[] = {
        "POA: ",          sum.postOfficeName.view(), "Groupwise Version: ", sum.versionText.view(),
        "Processed on: ", sum.processedOn.view(),    "# Mailboxes: ",       count};
    std::string line;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0)
            line.append(sep);
        AppendField(line, fields[i], sep);
    }
    return line;  // the summary line is not cut
}

}  // namespace

std::string CsvField(std::string_view value, std::string_view separator) {
    std::string out;
    AppendField(out, value, separator);
    return out;
}

std::string CutCsvLine(std::string_view line, std::string_view separator) {
    if (line.size() <= kTextMax)
        return std::string(line);
    line = line.substr(0, kTextMax);
    if (ReadCsvLineEnd(line, separator) != CsvLineEnd::InQuotes)
        return std::string(line);
    // An open quote at the end would swallow every later line into this value.
    line.remove_suffix(1);
    std::string cut(line);
    if (ReadCsvLineEnd(line, separator) == CsvLineEnd::InQuotes)
        cut.push_back('"');
    return cut;
}

void WriteCsvReport(RunContext& ctx, const MailboxReportData& data) {
    PendingFiles pending;
    StageCsvReport(ctx, data, pending);
    pending.CommitAll();
}

void StageCsvReport(RunContext& ctx, const MailboxReportData& data, PendingFiles& pending) {
    const std::string path = data.summary.CsvReportPath.str();
    Text progress("Writing to CSV file: ");
    progress.append(path);
    AddProgressLine(ctx, progress.view());
    AddDebugLine(ctx, "Writing to CSV file.", "");

    LineWriter out(path, LineWriter::Mode::Replace);
    const std::string summary = SummaryLine(data);
    const std::string_view sep = data.settings.CSVSeperator.view();
    const std::vector<std::string_view> codes = CsvCodes(data.settings);
    // The record field of each column, worked out once (-1: a code without a field).
    std::vector<int> fields;
    for (std::string_view code : codes)
        fields.push_back(ColumnRecordField(code));
    std::string captions;
    AppendCsvLine(captions, codes.size(), sep,
                  [&](std::size_t c) { return ColumnCaption(codes[c]); });
    const std::string_view placement = data.settings.CSVHeader.view();
    if (placement == "Header") {
        out.WriteLine(summary);
        out.WriteLine(captions);
    }
    for (std::uint32_t i = 1; i <= data.rows; ++i) {
        ThrowIfStopped(ctx);
        const MailboxRecordView rec = data.table.Get(i);
        // Composed in place at the end of the writer's buffer.
        AppendCsvLine(out.Buffer(), fields.size(), sep, [&](std::size_t c) {
            return fields[c] < 0 ? std::string_view() : rec.field[fields[c]];
        });
        out.EndLine();
    }
    if (placement == "Footer") {
        out.WriteLine(summary);
        out.WriteLine(captions);
    }
    pending.Add(out.Finish());
}

}  // namespace k32
