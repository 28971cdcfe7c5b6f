#pragma once
// The CSV report: a summary line, a caption line and one line per listed mailbox, in the
// columns and with the separator the user chose; then the result grid's data.

#include <string>
#include <string_view>

namespace k32 {

struct AppState;

// Writes the file at CsvReportPath (replacing a previous report only once it is complete),
// then refreshes the result grid. Raises the input/output error.
void WriteCsvReport(AppState& state);

// A value as one CSV field: enclosed in double quotes, inner quotes doubled, when it holds the
// separator, a double quote, a CR or a LF; otherwise unchanged.
std::string CsvField(std::string_view value, std::string_view separator);

}  // namespace k32
