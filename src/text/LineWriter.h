#pragma once
// Writes a text file line by line, each line ended by CR LF, bytes as given, through one large
// buffer. In the Replace mode the lines go to a temporary file in the same folder, which
// Commit renames over the target: a writer that fails or is abandoned part-way leaves the
// previous file intact and no temporary file behind. In the Direct mode the target itself is
// created and written.

#include <string>
#include <string_view>

namespace k32 {

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

  private:
    static constexpr std::size_t kFlushAt = 1 << 18;
    void Flush();

    std::string path_, writePath_;
    Mode mode_;
    int fd_ = -1;
    std::string buffer_;
    bool committed_ = false;
};

}  // namespace k32
