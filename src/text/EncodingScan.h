#pragma once
// Which encoding a log's texts are in. A log whose every non-ASCII byte belongs to a valid UTF-8
// sequence, with at least one such sequence, is UTF-8; every other log is Windows-1252, which
// gives every byte a character.
//
// The readers scan the bytes as they read them: an ASCII fast path many bytes at a time, and a
// small state machine only from a byte of 0x80 or more. A scan carries an unfinished sequence
// from one block to the next; the scans of the parts of a log read on threads are joined.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace k32 {

enum class TextEncoding { Windows1252, Utf8 };

// One scan over bytes given block by block, in order.
class Utf8Scan {
  public:
    // Scans the next bytes; a sequence cut off by the end of the last block goes on here.
    void Feed(std::string_view bytes);
    // The bytes are over: a sequence still unfinished is not valid UTF-8.
    void End();

    bool Invalid() const { return invalid_; }
    bool MultiByte() const { return multiByte_; }
    // The encoding of the bytes scanned (complete after End).
    TextEncoding Encoding() const {
        return !invalid_ && multiByte_ ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }

  private:
    std::uint8_t need_ = 0;                  // continuation bytes still due
    std::uint8_t low_ = 0x80, high_ = 0xBF;  // the range of the next continuation byte
    bool invalid_ = false;
    bool multiByte_ = false;
};

// What the scans of a log's parts saw, joined on whichever thread each part ends. No scan
// added: Windows-1252.
class EncodingEvidence {
  public:
    void Add(const Utf8Scan& scan) {
        if (scan.Invalid())
            invalid_.store(true, std::memory_order_relaxed);
        if (scan.MultiByte())
            multiByte_.store(true, std::memory_order_relaxed);
    }
    TextEncoding Encoding() const {
        return !invalid_.load(std::memory_order_relaxed) &&
                       multiByte_.load(std::memory_order_relaxed)
                   ? TextEncoding::Utf8
                   : TextEncoding::Windows1252;
    }

  private:
    std::atomic<bool> invalid_{false};
    std::atomic<bool> multiByte_{false};
};

}  // namespace k32
