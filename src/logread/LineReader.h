#pragma once
// Streams a log file line by line. Lines are handed out as views over a reused buffer: the file
// is read in large blocks, line ends are found with memchr, and nothing is allocated per line.
//
// A line ends at LF; one CR right before the LF is not part of the line; a lone CR is an
// ordinary byte; text after the last LF is a last line. A line longer than the cap is cut to
// the cap and the rest of it is skipped without being buffered.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/EncodingScan.h"

namespace k32 {

class KeywordSetSearcher;

class LineReader {
  public:
    // Opens the file; raises the input/output error when it cannot be opened. The reader sees
    // the bytes [begin, end) of the file as if they were all of it; `begin` must be the start of
    // a line. Line numbers still count from the start of the file.
    LineReader(const std::string& path, std::size_t lineCap, std::uint64_t begin = 0,
               std::uint64_t end = UINT64_MAX);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, valid until the next call. False at the end of the file.
    bool Next(std::string_view& line);

    // Passes over the lines that hold none of the keywords (in their first `cap` bytes) and
    // gives the next line that holds at least one, with the keywords it holds as bits. The
    // search runs over the whole buffer rather than line by line. False at the end of the file.
    bool NextWith(const KeywordSetSearcher& keywords, std::string_view& line, std::uint32_t& found);

    // The bytes ahead of the reader (at most one buffer full), without consuming them: a sample
    // of the text to come.
    std::string_view Peek();

    // 1-based number of the last line returned. It is counted on request (for an error
    // message), not while reading.
    std::uint64_t LineNumber() const;
    const std::string& Path() const { return path_; }

    // Adds the bytes of every block read from here on to `counter` (null: none).
    void CountBytesInto(std::atomic<std::uint64_t>* counter) { counted_ = counter; }

    // Scans every byte read from here on for the text encoding and adds the scan to `evidence`
    // once the range is read to its end (null: no scan). Set before the first read.
    void ScanEncodingInto(EncodingEvidence* evidence) { evidence_ = evidence; }

  private:
    // Moves the unread bytes to the front and reads more after them. False at the end of the
    // file, or when the buffer is full of one unfinished line.
    bool FillMore();
    // The range is read to its end: the encoding scan is complete.
    void ReachEnd();
    // Takes the unfinished line that fills the whole buffer: its first cap bytes, then skips
    // to its end.
    std::string_view TakeLongLine();
    // The line [start, lfOrEnd), without a CR before an LF, cut to the cap.
    std::string_view MakeLine(std::size_t start, std::size_t stop, bool endedByLf);

    std::string path_;
    int fd_ = -1;
    std::size_t cap_;
    std::vector<char> block_;
    std::size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    std::uint64_t unread_ = UINT64_MAX;  // bytes of the range not yet read
    std::uint64_t blockOffset_ = 0;      // file offset of block_[0]
    std::uint64_t lineOffset_ = 0;       // file offset of the last line returned
    bool anyLine_ = false;
    std::vector<char> longLine_;
    std::atomic<std::uint64_t>* counted_ = nullptr;
    EncodingEvidence* evidence_ = nullptr;
    Utf8Scan scan_;
};

}  // namespace k32
