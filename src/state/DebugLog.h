#pragma once
// Progress lines for the user (the Log tab, window mode only) and debug lines of the form
// caption, colon, value (to debug32.txt and/or the Log tab, by the debug mode).

#include <string>
#include <string_view>

namespace k32 {

struct AppState;

// The debug log's open append-only descriptor, -1 while none is open.
struct DebugLogFile {
    DebugLogFile() = default;
    DebugLogFile(const DebugLogFile&) = delete;
    DebugLogFile& operator=(const DebugLogFile&) = delete;
    ~DebugLogFile() { Close(); }
    void Close();
    int fd = -1;
};

// The local date and time in the system's formats, followed by " ; ".
std::string TimeStampPrefix();

// True when progress lines go anywhere; hot loops test it before building a line.
bool ProgressLinesShown(const AppState& state);

// Window mode: adds the time stamp and the text (cut to 255) to the Log tab. Batch: nothing.
void AddProgressLine(AppState& state, std::string_view text);

// Writes one debug line where the debug mode routes it. Each line reaches the file with its own
// write, so every line is in the file when this returns. Raises the input/output error when
// the file cannot be written.
void AddDebugLine(AppState& state, std::string_view caption, std::string_view value);

// In the disk modes, creates an empty debug log (falling back to the user's state folder when
// the program's folder cannot be written or holds a symbolic link at the log's name, which is
// never followed), then writes the three start lines.
void StartDebugLog(AppState& state);

// In the disk modes, writes the "Close debug" line.
void CloseDebugLog(AppState& state);

// A message box in window mode; in batch mode the text goes to standard error.
void ShowMessage(AppState& state, std::string_view text);

// The debug log's place when the program's folder cannot be written.
std::string FallbackDebugLogPath();

}  // namespace k32
