#pragma once
// Largest, average and total mailbox size of the sorted table, and the number of rows the
// reports list.

#include <cstdint>

namespace k32 {

struct AppState;

// Sums field 5 of every record into the run summary (whole megabytes). A size that does not
// convert raises the conversion error and leaves the summary as it was.
void ComputeTotals(AppState& state);

// With an above value and a number sort field, sets this run's report top count to the position
// of the last record whose sort value reaches the above value (0 when none does). The user's
// TOP setting is not changed.
void SelectAboveValue(AppState& state);

// The number of records the reports list: the top count when it is 1..count, else count.
std::uint32_t ReportRows(std::uint32_t topCount, std::uint32_t count);

}  // namespace k32
