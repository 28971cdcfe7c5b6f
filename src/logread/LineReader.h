#pragma once
// Streams a log file line by line. Lines are handed out as views over a reused buffer: the file
// is read in large blocks, line ends are found with memchr, and nothing is allocated per line.
//
// A line ends at LF; one CR right before the LF is not part of the line; a lone CR is an
// ordinary byte; text after the last LF is a last line. A line longer than the cap is cut to
// the cap and the rest of it is skipped without being buffered.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k32 {

class LineReader {
public:
    // Opens the file; raises the input/output error when it cannot be opened.
    LineReader(const std::string& path, std::size_t lineCap);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, valid until the next call. False at the end of the file.
    bool Next(std::string_view& line);
    // True when no line follows the last one returned.
    bool AtEnd();
    // 1-based number of the last line returned.
    std::uint64_t LineNumber() const { return lineNumber_; }
    const std::string& Path() const { return path_; }

private:
    bool Refill();

    std::string path_;
    int fd_ = -1;
    std::size_t cap_;
    std::vector<char> block_;
    std::size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    std::vector<char> longLine_;  // a line that spans blocks, first cap_ + 1 bytes
    std::uint64_t lineNumber_ = 0;
};

}  // namespace k32
