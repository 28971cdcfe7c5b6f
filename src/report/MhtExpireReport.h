#pragma once
// The web report of an expire-statistics run: the shared frame around a table of the users'
// MAIL, TASK and APPT sizes, in the order of the log.

#include <string_view>

#include "report/MhtMailboxReport.h"
#include "report/ReportData.h"
#include "state/RunContext.h"

namespace k32 {

// Writes the report at MhtReportPath, replacing a previous one only once it is complete.
// Raises the input/output error.
void WriteMhtExpireReport(RunContext& ctx, const ExpireReportData& data);

std::string_view ExpireColumnCaption(std::string_view code);
HtmlCellText ExpireHtmlCell(const ExpireRecordView& record, std::string_view code,
                            std::string_view groupSeparator);

}  // namespace k32
