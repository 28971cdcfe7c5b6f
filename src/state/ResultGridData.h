#pragma once
// What the result grid shows besides the records themselves: its column widths in pixels.

#include <array>
#include <cstddef>
#include <cstdint>

namespace k32 {

inline constexpr std::size_t kGridColumns = 11;

struct ResultGridData {
    std::array<std::uint16_t, kGridColumns> widths{};
    bool filled = false;
};

}  // namespace k32
