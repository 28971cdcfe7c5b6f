#pragma once
// The web report of an expire-statistics run: the shared frame around a table of the users'
// MAIL, TASK and APPT sizes, in the order of the log.

#include <string_view>

#include "report/MhtMailboxReport.h"

namespace k32 {

struct AppState;

// Writes the report at MhtReportPath, replacing a previous one only once it is complete.
// Raises the input/output error.
void WriteMhtExpireReport(AppState& state);

std::string_view ExpireColumnCaption(std::string_view code);
HtmlCellText ExpireHtmlCell(const ExpireRecordView& record, std::string_view code,
                            std::string_view groupSeparator);

}  // namespace k32
