#pragma once

#include <string_view>

namespace k32 {

// Shown in the window's caption, stored and compared in the settings store, printed in the web
// report's banner.
inline constexpr std::string_view kProgramVersion = "0.3.3";

}  // namespace k32
