#include "analysis/Sorting.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "state/ColumnTable.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

std::string_view DirectionWord(std::uint8_t field, std::uint8_t direction) {
    if (direction == 0)
        return "Ascending";
    return field == 2 ? "Desscending" : "Descending";
}

// The order of records 1..n as positions 1..n, by key, ties by original position.
template <typename Key, typename Less>
std::vector<std::uint32_t> StableOrder(const std::vector<Key>& keys, bool descending, Less less) {
    std::vector<std::uint32_t> order(keys.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const Key& ka = keys[a];
        const Key& kb = keys[b];
        if (less(ka, kb))
            return !descending;
        if (less(kb, ka))
            return descending;
        return a < b;
    });
    for (auto& o : order)
        ++o;  // record numbers start at 1
    return order;
}

}  // namespace

void SortMailboxes(RunContext& ctx, MailboxTable& table, std::uint8_t field,
                   std::uint8_t direction) {
    AddDebugLine(ctx, "Sorting", std::to_string(field) + ", " + std::to_string(direction));
    AddProgressLine(ctx, "Sorting.");
    const ColumnInfo* column = ColumnOfSortField(field);
    if (direction > 1 || !column)
        return;
    AddDebugLine(ctx, column->sortCaption, DirectionWord(field, direction));

    const std::uint32_t n = table.Count();
    if (n < 2)
        return;  // nothing to compare
    const bool descending = direction == 1;
    const std::size_t recordField = column->field;

    if (column->sortsAsNumber) {
        // Every key is converted before anything moves, so a bad figure leaves the table as it
        // was. Key and position go into one number (the key inverted when descending), so that
        // a plain sort of those numbers is the stable sort by key.
        std::vector<std::uint64_t> packed(n);
        for (std::uint32_t i = 1; i <= n; ++i) {
            ThrowIfStopped(ctx);
            auto key = static_cast<std::uint32_t>(StrToInt32(table.Get(i).field[recordField]));
            if (descending)
                key = ~key;
            packed[i - 1] = std::uint64_t{key} << 32 | i;
        }
        std::sort(packed.begin(), packed.end());
        table.ReorderByLowBits(packed);
        return;
    }
    {
        std::string arena;
        std::vector<std::pair<std::size_t, std::size_t>> spans(n);
        for (std::uint32_t i = 1; i <= n; ++i) {
            ThrowIfStopped(ctx);
            std::string_view v = table.Get(i).field[recordField];
            spans[i - 1] = {arena.size(), v.size()};
            arena += UpperCaseText(v).view();
        }
        std::vector<std::string_view> keys(n);
        for (std::uint32_t i = 0; i < n; ++i)
            keys[i] = std::string_view(arena).substr(spans[i].first, spans[i].second);
        // string_view compares bytes as unsigned codes; a proper prefix is the smaller key.
        table.Reorder(StableOrder(keys, descending, std::less<std::string_view>()));
    }
}

}  // namespace k32
