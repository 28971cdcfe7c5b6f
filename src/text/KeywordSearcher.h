#pragma once
// Finding keywords in the matching form of a line (a-z made capitals, every other byte as it
// is) without making that upper-case copy. Positions are the same in a line and its matching
// form, so values are then cut from the line itself.
//
// Each keyword is looked for by its rarest pair of adjacent bytes (its anchor): sixteen places
// at a time are compared with the anchors, and only where an anchor occurs is the whole keyword
// compared.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k32 {

// Tells which of a few keywords (at most 32) a line holds, and where in a longer text the
// first line that holds one may be. Readers use it to pass over the many lines that feed
// nothing, and to run only the steps whose keyword a line holds.
class KeywordSetSearcher {
  public:
    KeywordSetSearcher() = default;
    // The keywords are in matching form. A sample of the text to be searched lets each keyword
    // be anchored on a pair that is rare in that text.
    explicit KeywordSetSearcher(const std::vector<std::string_view>& keywords,
                                std::string_view sample = {});

    // Bit n is set when keyword n occurs in the line.
    std::uint32_t Found(std::string_view line) const;
    // The first line of a text of whole lines (each ending at LF, the last perhaps at the text's
    // end) that holds a keyword within its first `cap` bytes: where it starts, where it stops
    // (at its LF or the text's end) and the keywords it holds. Found 0 when no line does.
    struct LineHit {
        std::size_t start = std::string_view::npos, stop = std::string_view::npos;
        std::uint32_t found = 0;
    };
    LineHit FirstLineWith(std::string_view text, std::size_t cap) const;
    // Where the occurrence whose anchor comes first in `text` starts, npos when no keyword
    // occurs; with one keyword, its first occurrence.
    std::size_t FirstMatch(std::string_view text) const;

    // A keyword as words to compare eight bytes at a time: (text | orMask) == want, where the
    // mask folds the case of letters (and of nothing else) and the words are in the machine's byte
    // order.
    struct Pattern {
        explicit Pattern(std::string_view keyword);
        bool MatchesAt(const unsigned char* h) const;  // h holds at least `size` bytes
        std::size_t size;
        std::vector<std::uint64_t> orMask, want;
    };

    // Two adjacent bytes of matching form. A letter is compared case-blind: or-ing 0x20 maps
    // both cases of a letter onto its small letter and no other byte on it.
    struct Anchor {
        unsigned char first, second;
        std::uint32_t owners;  // keywords anchored on it, as bits
        // (byte | or1) == want1 for the first byte, (byte | or2) == want2 for the second, each
        // repeated for a whole vector of places.
        unsigned char or1[32], want1[32], or2[32], want2[32];
    };

  private:
    // Calls hit(keyword, start, anchor) for each occurrence whose anchor lies at `from` or
    // later, in the order of the anchors in the text; stops when hit returns true.
    template <typename OnHit>
    void Scan(std::string_view text, std::size_t from, OnHit&& hit) const;
    // The same, up to `end`, which the callback may move closer.
    template <typename OnHit>
    void ScanUpTo(std::string_view text, std::size_t from, std::size_t& end, OnHit&& hit) const;

    std::vector<std::string> keys_;
    std::vector<Pattern> patterns_;
    std::vector<std::size_t> anchorAt_;  // per keyword: the anchor's offset in it
    std::vector<Anchor> anchors_;
    std::uint32_t empties_ = 0;  // empty keywords occur everywhere
    std::uint32_t shorts_ = 0;   // one-byte keywords, looked for on their own
};

// One keyword in one line: the same anchored search, inlined for texts of a few hundred bytes
// at most, which is what the steps of the readers search.
class KeywordSearcher {
  public:
    KeywordSearcher() : KeywordSearcher(std::string_view()) {}
    explicit KeywordSearcher(std::string_view keyword);

    // 1-based position of the first occurrence in the line's matching form, 0 when absent.
    std::int64_t Pos(std::string_view line) const;

  private:
    std::string key_;
    KeywordSetSearcher::Pattern pattern_;
    std::size_t anchorAt_ = 0;  // the anchor pair's offset in the keyword
    unsigned char or1_ = 0, want1_ = 0, or2_ = 0, want2_ = 0;
};

}  // namespace k32
