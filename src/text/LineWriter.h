#pragma once
// Writes a text file line by line, each line ended by CR LF, bytes as given, through one large
// buffer. Once a file outgrows the buffer, the full buffers are written out by a thread of the
// writer's own while the next one is filled, so composing lines and copying them to the file
// system go on side by side. In the Replace mode the lines go to a temporary file in the same
// folder, created exclusively under a random name, which Commit renames over the target: a writer
// that fails or is abandoned part-way leaves the previous file intact and no temporary file behind,
// and a symbolic link at the target's name is replaced, never followed. In the Direct mode the
// target itself is created and written.

#include <memory>
#include <string>
#include <string_view>

#include "text/TemporaryFiles.h"

namespace k32 {

// A complete temporary file and the name it is to take. `lock` keeps the writer's lock on the
// temporary file (TemporaryFiles.h) until it has taken its name or been removed.
struct FinishedFile {
    std::string temporary;
    std::string target;
    UniqueFd lock;
};

class LineWriter {
  public:
    enum class Mode { Replace, Direct };

    // Raises the input/output error when the file cannot be created.
    LineWriter(const std::string& path, Mode mode);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Appends the bytes to the current line.
    void Put(std::string_view bytes) { buffer_.append(bytes); }
    // The buffer that holds the current line at its end, for writers that compose bytes in
    // place; append to it only, then call EndLine.
    std::string& Buffer() { return buffer_; }
    // Ends the current line.
    void EndLine() {
        buffer_.append("\r\n", 2);
        if (buffer_.size() >= kFlushAt)
            Flush();
    }
    void WriteLine(std::string_view line) {
        Put(line);
        EndLine();
    }
    // Writes everything out and puts the file in place. Raises the input/output error.
    void Commit();
    // Replace mode: writes everything out, makes it durable and closes the temporary file
    // without putting it in place; the caller then owns the temporary file (see PendingFiles).
    // Raises the input/output error, and then removes the temporary file itself.
    FinishedFile Finish();

  private:
    static constexpr std::size_t kFlushAt = 1 << 18;
    class Background;
    void Flush();
    void WriteOutAndClose();
    // Stops the background thread after its last write; the error of a failed write, else 0.
    int StopBackground();

    std::string path_, writePath_;
    Mode mode_;
    int fd_ = -1;
    UniqueFd lock_;  // Replace mode: holds the temporary file's lock once fd_ is closed
    std::string buffer_;
    std::unique_ptr<Background> background_;
    bool handedOver_ = false;
};

}  // namespace k32
