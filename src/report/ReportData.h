#pragma once
// What a report writer receives: the finished table, read-only, with the run's summary, the
// report settings and the number of rows the report lists.

#include <cstdint>

#include "state/Records.h"
#include "state/ReportSettings.h"

namespace k32 {

template <typename Table>
struct ReportData {
    const Table& table;
    const RunSummary& summary;
    const ReportSettings& settings;
    std::uint32_t rows;
};

using MailboxReportData = ReportData<MailboxTable>;
using ExpireReportData = ReportData<ExpireTable>;

}  // namespace k32
