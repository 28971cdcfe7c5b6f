#pragma once
// All program-wide data, created once at start-up and passed by reference to every step, so
// that a test can start from a fresh one.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "state/DebugLog.h"
#include "state/KeywordTable.h"
#include "state/Records.h"
#include "state/ReportSettings.h"
#include "state/UiCallbacks.h"

namespace k32 {

inline constexpr std::string_view kProgramVersion = "0.3.3";
inline constexpr std::size_t kGridColumns = 11;

// What the result grid shows besides the records themselves: its column widths in pixels.
struct ResultGridData {
    std::array<std::uint16_t, kGridColumns> widths{};
    bool filled = false;
};

struct AppState {
    AppState();

    ReportSettings settings;
    bool WindowMode = true;
    Text DebugLogPath;
    DebugLogFile debugFile;
    Text StoreStatusText;

    LogData log;
    KeywordTable keywords;

    // The top count this run's reports use. A run starts it from the TOP setting; the
    // above-value step may replace it. Re-sort keeps it until the next run.
    std::uint32_t reportTopCount = 0;

    ResultGridData grid;
    // The image parts of the web reports, rebuilt for each report.
    std::vector<std::string> ImagePartLines;
    UiCallbacks ui;

    // Set by the window while a run is under way when the user closes it: the next event pump
    // ends the run by raising RunStopped.
    bool stopRequested = false;

    // Event pump pacing.
    std::uint32_t pumpTicks = 0;
    std::chrono::steady_clock::time_point lastPump{};
};

}  // namespace k32
