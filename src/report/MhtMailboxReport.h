#pragma once
// The web report of a mailbox-statistics run: the shared frame around a table of the listed
// mailboxes, in the columns the user chose for it.

#include <string>
#include <string_view>

#include "report/ReportData.h"
#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

class PendingFiles;

// Writes the report at MhtReportPath, replacing a previous one only once it is complete.
// Raises the input/output error.
void WriteMhtMailboxReport(RunContext& ctx, const MailboxReportData& data);
// Writes the report to a temporary file and hands it to `pending`, which puts it in place
// together with the other reports of the run. Raises the input/output error; the previous
// report is then untouched.
void StageMhtMailboxReport(RunContext& ctx, const MailboxReportData& data, PendingFiles& pending);

// A table cell of a column code: the alignment word ("LEFT" or "RIGHT") and the text, grouped
// for the number columns; both empty for a code outside "0".."9".
struct HtmlCellText {
    std::string_view alignment;
    std::string text;
};
HtmlCellText HtmlCell(const MailboxRecordView& record, std::string_view code,
                      std::string_view groupSeparator);

}  // namespace k32
