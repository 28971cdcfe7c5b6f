#pragma once
// The CSV report: a summary line, a caption line and one line per listed mailbox, in the
// columns and with the separator the user chose.

#include <string>
#include <string_view>

#include "report/ReportData.h"
#include "state/RunContext.h"

namespace k32 {

class PendingFiles;

// Writes the file at CsvReportPath, replacing a previous report only once it is complete.
// Raises the input/output error.
void WriteCsvReport(RunContext& ctx, const MailboxReportData& data);
// Writes the report to a temporary file and hands it to `pending`, which puts it in place
// together with the other reports of the run. Raises the input/output error; the previous
// report is then untouched.
void StageCsvReport(RunContext& ctx, const MailboxReportData& data, PendingFiles& pending);

// A value as one CSV field: enclosed in double quotes, inner quotes doubled, when it holds the
// separator, a double quote, a CR or a LF; otherwise unchanged.
std::string CsvField(std::string_view value, std::string_view separator);

// A caption or data line cut to at most 255 bytes so that it still reads as whole values: a
// cut that would end inside a quoted value drops the value's last byte and closes the value
// with a double quote (or lets a quote that now ends the line close it). A line of 255 bytes or
// fewer is returned unchanged; a longer one whose cut ends outside a quoted value, as its first
// 255 bytes.
std::string CutCsvLine(std::string_view line, std::string_view separator);

}  // namespace k32
