#pragma once
// Largest, average and total mailbox size of the sorted table, and the number of rows the
// reports list.

#include <cstdint>

#include "state/Records.h"
#include "state/ReportSettings.h"
#include "state/RunContext.h"

namespace k32 {

// Sums field 5 of every record into the run summary (whole megabytes). A size that does not
// convert raises the conversion error and leaves the summary as it was.
void ComputeTotals(RunContext& ctx, const MailboxTable& table, RunSummary& summary);

// With an above value and a number sort field, this run's report top count: the position of the
// last record whose sort value reaches the above value (0 when none does). Otherwise `topCount`
// unchanged. The user's TOP setting is not changed.
std::uint32_t SelectAboveValue(RunContext& ctx, const MailboxTable& table,
                               const ReportSettings& settings, std::uint32_t topCount);

// The number of records the reports list: the top count when it is 1..count, else count.
std::uint32_t ReportRows(std::uint32_t topCount, std::uint32_t count);

}  // namespace k32
