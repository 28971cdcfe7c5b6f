#pragma once
// The result grid's contents as plain data: a view over the mailbox table (every record, the
// top count does not apply), eleven fixed columns, a caption row, and below the records a row
// that lists the column widths in pixels. The window only shows what these functions give.

#include <cstdint>
#include <string>

#include "state/Records.h"
#include "state/ResultGridData.h"
#include "state/RunContext.h"

namespace k32 {

// Works out the column widths over all records.
ResultGridData FillResultGrid(RunContext& ctx, const MailboxTable& table);

// Rows the grid has: at least 10; Count() + 2 when there are more than 9 records.
std::uint32_t ResultGridRowCount(const MailboxTable& table);
// The text of one cell; rows past the data are empty.
std::string ResultGridCell(const MailboxTable& table, const ResultGridData& grid, std::uint32_t row,
                           std::uint32_t column);

}  // namespace k32
