#pragma once
// The small set of hooks through which the core talks to the window. In batch mode every hook
// is empty and the core runs with no display.

#include <functional>
#include <string>
#include <string_view>

namespace k32 {

struct UiCallbacks {
    // Adds one finished line (time stamp included) to the Log tab's memo.
    std::function<void(std::string_view line)> progressLine;
    // Lets the window handle its pending messages and returns.
    std::function<void()> pumpEvents;
    // Shows a modal message box and returns when the user closed it.
    std::function<void(std::string_view text)> messageBox;
    // The result grid's data changed (row count, cells or column widths).
    std::function<void()> gridChanged;
    // Shows (or refreshes) the web report at `path` in the report viewer.
    std::function<void(const std::string& path)> showReport;
};

}  // namespace k32
