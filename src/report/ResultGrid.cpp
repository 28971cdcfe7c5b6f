#include "report/ResultGrid.h"

#include <algorithm>
#include <array>

#include "state/AppState.h"
#include "state/EventPump.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

constexpr std::array<const char*, kGridColumns> kGridCaptions = {
    "Cnt", "UserName", "FullName",  "Inbox",     "OutBox",  "WasteBin",
    "UID", "SIZE",     "SizeLimit", "Threshold", "Exceeded"};

// The record field shown in grid columns 1..10 (column 0 is the row number).
constexpr std::array<std::size_t, kGridColumns> kGridField = {
    0,    kUserName, kFullName,  kInbox,     kOutbox,  kWastebasket,
    kUid, kSize,     kSizeLimit, kThreshold, kExceeded};

std::size_t DecimalDigits(std::uint32_t v) {
    std::size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

}  // namespace

void FillResultGrid(AppState& state) {
    std::array<std::uint16_t, kGridColumns> widths{};
    auto widen = [&](std::size_t col, std::size_t length) {
        auto candidate = static_cast<std::uint16_t>(8 * length + 10);
        widths[col] = std::max(widths[col], candidate);
    };
    for (std::uint32_t r = 1; r <= state.log.count; ++r) {
        PumpEvents(state);
        MailboxRecordView rec = GetMailboxRecord(state.log, r);
        widen(0, DecimalDigits(r));
        for (std::size_t col = 1; col < kGridColumns; ++col) {
            std::string_view text = rec.field[kGridField[col]];
            widen(col, col == 2 ? TrimBlanks(text).size() : text.size());
        }
    }
    state.grid.widths = widths;
    state.grid.filled = true;
    if (state.ui.gridChanged)
        state.ui.gridChanged();
}

std::uint32_t ResultGridRowCount(const AppState& state) {
    return state.log.count > 9 ? state.log.count + 2 : 10;
}

std::string ResultGridCell(const AppState& state, std::uint32_t row, std::uint32_t column) {
    if (column >= kGridColumns || !state.grid.filled)
        return {};
    const std::uint32_t count = state.log.count;
    if (row == 0)
        return kGridCaptions[column];
    if (row <= count) {
        if (column == 0)
            return std::to_string(row);
        return std::string(GetMailboxRecord(state.log, row).field[kGridField[column]]);
    }
    if (row == count + 1)
        return std::to_string(state.grid.widths[column]);
    return {};
}

}  // namespace k32
