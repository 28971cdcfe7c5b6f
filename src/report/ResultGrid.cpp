#include "report/ResultGrid.h"

#include <algorithm>
#include <array>

#include "state/ColumnTable.h"
#include "state/StopCheck.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

std::size_t DecimalDigits(std::uint32_t v) {
    std::size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// The record field of grid columns 1..10.
std::size_t GridField(std::size_t column) {
    return ColumnOfGridColumn(static_cast<int>(column)).field;
}

}  // namespace

ResultGridData FillResultGrid(RunContext& ctx, const MailboxTable& table) {
    ResultGridData grid;
    auto widen = [&](std::size_t col, std::size_t length) {
        auto candidate = static_cast<std::uint16_t>(8 * length + 10);
        grid.widths[col] = std::max(grid.widths[col], candidate);
    };
    std::array<std::size_t, kGridColumns> fields{};
    for (std::size_t col = 1; col < kGridColumns; ++col)
        fields[col] = GridField(col);
    for (std::uint32_t r = 1; r <= table.Count(); ++r) {
        ThrowIfStopped(ctx);
        MailboxRecordView rec = table.Get(r);
        widen(0, DecimalDigits(r));
        for (std::size_t col = 1; col < kGridColumns; ++col) {
            std::string_view text = rec.field[fields[col]];
            widen(col, fields[col] == kFullName ? TrimBlanks(text).size() : text.size());
        }
    }
    grid.filled = true;
    return grid;
}

std::uint32_t ResultGridRowCount(const MailboxTable& table) {
    return table.Count() > 9 ? table.Count() + 2 : 10;
}

std::string ResultGridCell(const MailboxTable& table, const ResultGridData& grid, std::uint32_t row,
                           std::uint32_t column) {
    if (column >= kGridColumns || !grid.filled)
        return {};
    const std::uint32_t count = table.Count();
    if (row == 0)
        return column == 0 ? "Cnt"
                           : std::string(ColumnOfGridColumn(static_cast<int>(column)).gridCaption);
    if (row <= count) {
        if (column == 0)
            return std::to_string(row);
        return std::string(table.Get(row).field[GridField(column)]);
    }
    if (row == count + 1)
        return std::to_string(grid.widths[column]);
    return {};
}

}  // namespace k32
