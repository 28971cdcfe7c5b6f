#pragma once
// The trend reports written beside a mailbox run's two reports when history is kept:
// <base>-trends.html, one self-contained UTF-8 page with inline SVG charts and no scripts, and
// <base>-trends.csv, the per-mailbox table for spreadsheets.

#include <string>
#include <string_view>
#include <vector>

#include "history/Trends.h"
#include "text/EncodingScan.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

namespace k32 {

struct TrendsReportData {
    const PostOfficeTrends& trends;
    std::vector<PostOfficeSummary> postOffices;  // every post office of the store
    std::string csvSeparator;
    // The web report's digit-group separator (the settings' DECSeperator, Windows-1252): the
    // page's figures are grouped by threes with it, not at all when it is empty. The CSV is not
    // grouped.
    std::string digitGroupSeparator = {};
};

// Appends a CSV field to `line`: in double quotes (each quote doubled) when it holds the
// separator, a quote, a carriage return or a line feed, so that a reader splits the line where
// it was joined.
void AppendCsvField(std::string& line, std::string_view text, const std::string& separator);

// The CSV's header line, without the separator's choice: fields joined by `separator`.
std::string TrendsCsvHeader(const std::string& separator);

// Writes both files to temporaries beside `basePath` and hands them to `pending`.
void StageTrendsReports(const TrendsReportData& data, const std::string& basePath,
                        PendingFiles& pending);

// Each file alone, to a temporary beside `basePath`: the CSV is written line by line as it is
// composed, so that it need not be held in memory whole.
FinishedFile WriteTrendsHtml(const TrendsReportData& data, const std::string& basePath);
FinishedFile WriteTrendsCsv(const TrendsReportData& data, const std::string& basePath);

// The CSV written row by row as the rows come (ComputeTrends with a row taker): the header at
// once, then one line per Add.
class TrendsCsvWriter {
  public:
    // Raises the input/output error when the file cannot be created. The names, the history's
    // UTF-8, are written in `encoding`: Windows-1252 gives back the bytes of a Windows-1252 log.
    TrendsCsvWriter(const std::string& basePath, const std::string& separator,
                    TextEncoding encoding = TextEncoding::Utf8);
    void Add(const GrowthRow& row);
    // Writes everything out to the temporary file, for PendingFiles.
    FinishedFile Finish();

  private:
    LineWriter out_;
    std::string separator_;
    TextEncoding encoding_;
};

// The bytes of the HTML page and the CSV, for tests.
std::string TrendsHtml(const TrendsReportData& data);
std::vector<std::string> TrendsCsvLines(const TrendsReportData& data);

}  // namespace k32
