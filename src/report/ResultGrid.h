#pragma once
// The result grid's contents as plain data: a view over the mailbox table (every record, the
// top count does not apply), eleven fixed columns, a caption row, and below the records a row
// that lists the column widths in pixels. The window only shows what these functions give.

#include <cstdint>
#include <string>

namespace k32 {

struct AppState;

// Works out the column widths over all records and tells the window that the grid changed.
void FillResultGrid(AppState& state);

// Rows the grid has: at least 10; count + 2 when there are more than 9 records.
std::uint32_t ResultGridRowCount(const AppState& state);
// The text of one cell; rows past the data are empty.
std::string ResultGridCell(const AppState& state, std::uint32_t row, std::uint32_t column);

}  // namespace k32
