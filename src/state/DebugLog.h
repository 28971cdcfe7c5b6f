#pragma once
// Progress lines for the user (the Log tab, window mode only) and debug lines of the form
// caption, colon, value (to debug32.txt and/or the Log tab, by the debug mode).

#include <string>
#include <string_view>
#include <vector>

#include "state/RunContext.h"

namespace k32 {

// The debug log: its path and its open append-only descriptor. A log deleted while the program
// runs is created again by the next line.
class DebugLogFile {
  public:
    DebugLogFile() = default;
    DebugLogFile(const DebugLogFile&) = delete;
    DebugLogFile& operator=(const DebugLogFile&) = delete;
    ~DebugLogFile() { Close(); }

    // Appends the line and its CR LF in one write, so that the line is in the file, for any
    // reader, when this returns. Raises the input/output error.
    void Append(std::string_view line) {
        ReopenIfDeleted();
        AppendUnchecked(line);
    }
    // Opens the file, or creates it again when it was deleted since the last line. Lines that
    // come in a burst (a worker's queued lines) check once for the whole burst: asking the file
    // system before every line would double the cost of a line.
    void ReopenIfDeleted();
    // Appends like Append, trusting a ReopenIfDeleted just before.
    void AppendUnchecked(std::string_view line);
    void Close();

    std::string path;

  private:
    int fd_ = -1;
};

// The local date and time in the system's formats, followed by " ; ".
std::string TimeStampPrefix();

// True when progress lines go anywhere; hot loops test it before building a line.
bool ProgressLinesShown(const RunContext& ctx);

// Window mode: adds the time stamp and the text (cut to 255) to the Log tab. Batch: nothing.
void AddProgressLine(RunContext& ctx, std::string_view text);

// Writes one debug line where the debug mode routes it. Each line reaches the file with its own
// write, so every line is in the file when this returns. Raises the input/output error when
// the file cannot be written.
void AddDebugLine(RunContext& ctx, std::string_view caption, std::string_view value);

// Passes on a worker's finished lines (see ParallelJobs.h), in order, as if they had been added
// here: to the Log tab and the debug log, or to the queue of a job that runs jobs of its own.
struct FinishedLine {
    bool debug;
    std::string text;
};
void PassOnLines(RunContext& ctx, const std::vector<FinishedLine>& lines);

// In the disk modes, creates an empty debug log at the file's path (falling back to the user's
// state folder, which the file's path then names, when the program's folder cannot be written,
// is a system folder, or holds a symbolic link at the log's name, which is never followed).
// Raises the input/output error when neither can be created.
void StartDebugLogFile(DebugLogFile& file, std::uint8_t debugMode);

// The debug log's place when the program's folder cannot be written or is a system folder.
std::string FallbackDebugLogPath();

// True for a path in one of the system's program folders (/usr, /opt, /bin, ...), where an
// installed program lives and no debug log belongs.
bool InSystemProgramFolder(std::string_view path);

}  // namespace k32
