#include "text/KeywordSearcher.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace k32 {

namespace {

struct FoldTable {
    std::array<unsigned char, 256> upper{};
    constexpr FoldTable() {
        for (int c = 0; c < 256; ++c)
            upper[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
};
constexpr FoldTable kFold;

bool IsLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// How common a byte of matching form is in log text; the rarest byte of a keyword is its anchor.
// Paths put ":" and "\\" in many lines, counts and dates put digits there.
int Commonness(unsigned char c) {
    if (c >= 128)
        return 0;  // accented letters
    if (c == ' ')
        return 100;
    if (IsLetter(c)) {
        static constexpr std::string_view kOrder = "ZQJXVYWKBPGFMUCLDHRSNIOATE";  // rarest first
        auto rank = static_cast<int>(kOrder.find(static_cast<char>(kFold.upper[c])));
        return rank < 4 ? 1 + rank : 10 + 2 * rank;
    }
    if (c == ':')
        return 13;
    if (c >= '0' && c <= '9')
        return 15;
    if (c == '-' || c == '.' || c == ',' || c == '/' || c == '\\' || c == '\'')
        return 25;
    return 8;  // other punctuation
}

using Anchor = KeywordSetSearcher::Anchor;

// The next run of places, from i on, where some anchor occurs: its start, the places as bits,
// and where to go on after it. A mask of 0 when too few bytes are left for a whole run; the
// caller searches the rest, from `at`, in a padded copy.
struct Candidates {
    std::size_t at;
    std::uint32_t mask;
    std::size_t next;
};

using Bytes16 = unsigned char __attribute__((vector_size(16)));

std::uint32_t MaskOf(Bytes16 v) {
#if defined(__SSE2__)
    return static_cast<std::uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(v)));
#else
    std::uint32_t m = 0;
    for (int j = 0; j < 16; ++j)
        m |= (v[j] ? 1u : 0u) << j;
    return m;
#endif
}

Candidates FindCandidates16(const Anchor* anchors, std::size_t count, const unsigned char* h,
                            std::size_t i, std::size_t n) {
    for (; i + 17 <= n; i += 16) {
        Bytes16 c1, c2;
        std::memcpy(&c1, h + i, 16);
        std::memcpy(&c2, h + i + 1, 16);
        Bytes16 any = {};
        for (std::size_t a = 0; a < count; ++a) {
            Bytes16 or1, want1, or2, want2;
            std::memcpy(&or1, anchors[a].or1, 16);
            std::memcpy(&want1, anchors[a].want1, 16);
            std::memcpy(&or2, anchors[a].or2, 16);
            std::memcpy(&want2, anchors[a].want2, 16);
            any |= reinterpret_cast<Bytes16>((c1 | or1) == want1) &
                   reinterpret_cast<Bytes16>((c2 | or2) == want2);
        }
        if (std::uint32_t m = MaskOf(any))
            return {i, m, i + 16};
    }
    return {i, 0, i};
}

#if defined(__x86_64__)
using Bytes32 = unsigned char __attribute__((vector_size(32)));

// FindCandidates16 thirty-two places at a time, for processors that have AVX2. (The intrinsics
// of a wider target cannot live in a shared template, hence the twin.)
__attribute__((target("avx2"))) Candidates FindCandidates32(const Anchor* anchors,
                                                            std::size_t count,
                                                            const unsigned char* h, std::size_t i,
                                                            std::size_t n) {
    for (; i + 33 <= n; i += 32) {
        Bytes32 c1, c2;
        std::memcpy(&c1, h + i, 32);
        std::memcpy(&c2, h + i + 1, 32);
        Bytes32 any = {};
        for (std::size_t a = 0; a < count; ++a) {
            Bytes32 or1, want1, or2, want2;
            std::memcpy(&or1, anchors[a].or1, 32);
            std::memcpy(&want1, anchors[a].want1, 32);
            std::memcpy(&or2, anchors[a].or2, 32);
            std::memcpy(&want2, anchors[a].want2, 32);
            any |= reinterpret_cast<Bytes32>((c1 | or1) == want1) &
                   reinterpret_cast<Bytes32>((c2 | or2) == want2);
        }
        auto m = static_cast<std::uint32_t>(_mm256_movemask_epi8(reinterpret_cast<__m256i>(any)));
        if (m)
            return {i, m, i + 32};
    }
    return FindCandidates16(anchors, count, h, i, n);
}
#endif

using FindFn = Candidates (*)(const Anchor*, std::size_t, const unsigned char*, std::size_t,
                              std::size_t);

FindFn ChooseFind() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2"))
        return FindCandidates32;
#endif
    return FindCandidates16;
}

const FindFn kFindCandidates = ChooseFind();

}  // namespace

KeywordSetSearcher::Pattern::Pattern(std::string_view keyword) : size(keyword.size()) {
    // Built as bytes and read as words, so that the words suit the machine's byte order.
    const std::size_t words = (size + 7) / 8;
    std::vector<unsigned char> o(words * 8, 0), w(words * 8, 0);
    for (std::size_t j = 0; j < size; ++j) {
        const auto b = static_cast<unsigned char>(keyword[j]);
        o[j] = IsLetter(b) ? 0x20 : 0;
        w[j] = static_cast<unsigned char>(b | o[j]);
    }
    orMask.resize(words);
    want.resize(words);
    if (words == 0)
        return;
    std::memcpy(orMask.data(), o.data(), words * 8);
    std::memcpy(want.data(), w.data(), words * 8);
}

bool KeywordSetSearcher::Pattern::MatchesAt(const unsigned char* h) const {
    const std::size_t whole = size / 8;
    for (std::size_t w = 0; w < whole; ++w) {
        std::uint64_t bytes;
        std::memcpy(&bytes, h + 8 * w, 8);
        if ((bytes | orMask[w]) != want[w])
            return false;
    }
    if (size % 8 == 0)
        return true;
    // The last word holds zeros past the keyword's end.
    unsigned char tail[8] = {};
    for (std::size_t j = 0; j < size % 8; ++j)
        tail[j] = h[8 * whole + j];
    std::uint64_t bytes;
    std::memcpy(&bytes, tail, 8);
    return (bytes | orMask[whole]) == want[whole];
}

KeywordSetSearcher::KeywordSetSearcher(const std::vector<std::string_view>& keywords,
                                       std::string_view sample) {
    // How often each folded pair of bytes occurs in the sample of the text to search.
    std::vector<std::uint32_t> seen;
    if (!sample.empty()) {
        seen.assign(1 << 16, 0);
        for (std::size_t i = 0; i + 1 < sample.size(); ++i)
            ++seen[kFold.upper[static_cast<unsigned char>(sample[i])] << 8 |
                   kFold.upper[static_cast<unsigned char>(sample[i + 1])]];
    }
    // A pair's cost: how often it occurs in the sample, else how common its bytes are in logs.
    auto cost = [&](const std::string& k, std::size_t j) -> std::uint64_t {
        const auto b1 = static_cast<unsigned char>(k[j]), b2 = static_cast<unsigned char>(k[j + 1]);
        const auto common = static_cast<std::uint64_t>(Commonness(b1) + Commonness(b2));
        return seen.empty() ? common : std::uint64_t{seen[b1 << 8 | b2]} * 1000 + common;
    };
    // Rare enough to share as an anchor: about twice a kilobyte at most.
    const std::uint64_t rareEnough = seen.empty() ? 90 : (sample.size() / 512 + 1) * 1000;

    std::uint32_t open = 0;  // keywords still without an anchor
    for (std::size_t n = 0; n < keywords.size() && n < 32; ++n) {
        keys_.emplace_back(keywords[n]);
        patterns_.emplace_back(keywords[n]);
        anchorAt_.push_back(0);
        if (keys_.back().size() < 2)
            (keys_.back().empty() ? empties_ : shorts_) |= 1u << n;
        else
            open |= 1u << n;
    }
    // Each anchor costs compares for every place of the text, so keywords share anchors where
    // they can: take the rare-enough pair that the most open keywords hold (the rarer on a
    // tie); a keyword without a rare-enough pair gets its own rarest pair.
    while (open) {
        std::string best;
        int bestCover = 0;
        std::uint64_t bestCost = 0;
        for (std::uint32_t o = open; o; o &= o - 1) {
            const std::string& k = keys_[static_cast<std::size_t>(__builtin_ctz(o))];
            for (std::size_t j = 0; j + 1 < k.size(); ++j) {
                const std::uint64_t c = cost(k, j);
                int cover = 0;
                if (c <= rareEnough)
                    for (std::uint32_t q = open; q; q &= q - 1)
                        cover += keys_[static_cast<std::size_t>(__builtin_ctz(q))].find(
                                     k.substr(j, 2)) != std::string::npos;
                if (best.empty() || cover > bestCover || (cover == bestCover && c < bestCost)) {
                    best = k.substr(j, 2);
                    bestCover = cover;
                    bestCost = c;
                }
            }
            if (bestCover == 0)
                break;  // the first open keyword alone, by its rarest pair
        }
        Anchor a{static_cast<unsigned char>(best[0]),
                 static_cast<unsigned char>(best[1]),
                 0,
                 {},
                 {},
                 {},
                 {}};
        for (std::uint32_t o = open; o; o &= o - 1) {
            const auto n = static_cast<std::size_t>(__builtin_ctz(o));
            if (std::size_t at = keys_[n].find(best); at != std::string::npos) {
                anchorAt_[n] = at;
                a.owners |= 1u << n;
            }
        }
        open &= ~a.owners;
        const unsigned char or1 = IsLetter(a.first) ? 0x20 : 0, or2 = IsLetter(a.second) ? 0x20 : 0;
        std::memset(a.or1, or1, sizeof a.or1);
        std::memset(a.want1, a.first | or1, sizeof a.want1);
        std::memset(a.or2, or2, sizeof a.or2);
        std::memset(a.want2, a.second | or2, sizeof a.want2);
        anchors_.push_back(a);
    }
}

template <typename OnHit>
void KeywordSetSearcher::Scan(std::string_view text, std::size_t from, OnHit&& hit) const {
    std::size_t end = text.size();
    ScanUpTo(text, from, end, hit);
}

template <typename OnHit>
void KeywordSetSearcher::ScanUpTo(std::string_view text, std::size_t from, std::size_t& n,
                                  OnHit&& hit) const {
    const auto* h = reinterpret_cast<const unsigned char*>(text.data());
    // Tries the keywords whose anchor starts at offset i; true when hit asked to stop.
    auto check = [&](std::size_t i, std::uint32_t owners) {
        for (std::uint32_t o = owners; o;) {
            const auto k = static_cast<std::size_t>(__builtin_ctz(o));
            o &= o - 1;
            const std::size_t at = anchorAt_[k];
            if (i < at || i - at + keys_[k].size() > n)
                continue;
            if (patterns_[k].MatchesAt(h + i - at) && hit(k, i - at, i))
                return true;
        }
        return false;
    };
    auto checkAll = [&](std::size_t i) {
        const unsigned char c1 = kFold.upper[h[i]], c2 = kFold.upper[h[i + 1]];
        for (const Anchor& a : anchors_)
            if (a.first == c1 && a.second == c2 && check(i, a.owners))
                return true;
        return false;
    };
    std::size_t i = from;
    for (;;) {
        Candidates c = kFindCandidates(anchors_.data(), anchors_.size(), h, i, n);
        i = c.at;
        if (c.mask == 0)
            break;
        for (std::uint32_t m = c.mask; m; m &= m - 1)
            if (checkAll(i + static_cast<std::size_t>(__builtin_ctz(m))))
                return;
        i = c.next;
    }
    if (i + 1 >= n)
        return;
    // The last few places (fewer than a vector's worth): the same search over a copy padded
    // with zero bytes, which no anchor holds, so that short lines need no byte-by-byte loop.
    unsigned char padded[48] = {};   // one vector's worth of places and the byte after them
    const std::size_t rest = n - i;  // at most 32
    std::memcpy(padded, h + i, rest);
    for (std::size_t j = 0;;) {
        Candidates c = kFindCandidates(anchors_.data(), anchors_.size(), padded, j, sizeof padded);
        if (c.mask == 0)
            return;
        for (std::uint32_t m = c.mask; m; m &= m - 1) {
            const std::size_t place = c.at + static_cast<std::size_t>(__builtin_ctz(m));
            if (i + place + 1 < n && checkAll(i + place))
                return;
        }
        j = c.next;
    }
}

std::uint32_t KeywordSetSearcher::Found(std::string_view line) const {
    std::uint32_t found = empties_;
    for (std::uint32_t s = shorts_; s; s &= s - 1) {
        const auto k = static_cast<std::size_t>(__builtin_ctz(s));
        for (char c : line)
            if (kFold.upper[static_cast<unsigned char>(c)] ==
                static_cast<unsigned char>(keys_[k][0])) {
                found |= 1u << k;
                break;
            }
    }
    Scan(line, 0, [&](std::size_t k, std::size_t, std::size_t) {
        found |= 1u << k;
        return false;
    });
    return found;
}

KeywordSetSearcher::LineHit KeywordSetSearcher::FirstLineWith(std::string_view text,
                                                              std::size_t cap) const {
    const char* t = text.data();
    auto lineStop = [&](std::size_t at) {
        const void* nl = std::memchr(t + at, '\n', text.size() - at);
        return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) : text.size();
    };
    for (std::size_t from = 0; from < text.size();) {
        LineHit line;
        if (empties_ | shorts_) {
            // Keywords of fewer than two bytes have no anchor: every line is looked at.
            line.start = from;
            line.stop = lineStop(from);
            line.found = Found(text.substr(from, std::min(line.stop - from, cap)));
        } else {
            std::size_t end = text.size(), cutEnd = 0;
            ScanUpTo(text, from, end, [&](std::size_t k, std::size_t start, std::size_t anchor) {
                if (line.start == std::string_view::npos) {
                    // The first occurrence fixes the line; later ones count only within it.
                    const void* nl = ::memrchr(t + from, '\n', start - from);
                    line.start =
                        nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - t) + 1 : from;
                    line.stop = lineStop(anchor);
                    cutEnd = std::min(line.stop, line.start + cap);
                    end = cutEnd;
                }
                if (start + keys_[k].size() <= cutEnd)
                    line.found |= 1u << k;
                return false;
            });
            if (line.start == std::string_view::npos)
                return {};
        }
        if (line.found)
            return line;
        from = line.stop + 1;  // only past the cap: the next line
    }
    return {};
}

std::size_t KeywordSetSearcher::FirstMatch(std::string_view text) const {
    if (empties_)
        return 0;
    std::size_t first = std::string_view::npos;
    Scan(text, 0, [&](std::size_t, std::size_t start, std::size_t) {
        first = start;
        return true;
    });
    if (shorts_) {
        // One-byte keywords are not in the pair search: the first byte that is one.
        for (std::size_t i = 0; i < text.size() && i < first; ++i)
            if (Found(text.substr(i, 1)) & shorts_)
                return i;
    }
    return first;
}

}  // namespace k32

namespace k32 {

KeywordSearcher::KeywordSearcher(std::string_view keyword) : key_(keyword), pattern_(keyword) {
    if (key_.size() < 2)
        return;
    auto cost = [&](std::size_t j) {
        return Commonness(static_cast<unsigned char>(key_[j])) +
               Commonness(static_cast<unsigned char>(key_[j + 1]));
    };
    for (std::size_t j = 1; j + 1 < key_.size(); ++j)
        if (cost(j) < cost(anchorAt_))
            anchorAt_ = j;
    const auto b1 = static_cast<unsigned char>(key_[anchorAt_]);
    const auto b2 = static_cast<unsigned char>(key_[anchorAt_ + 1]);
    or1_ = IsLetter(b1) ? 0x20 : 0;
    or2_ = IsLetter(b2) ? 0x20 : 0;
    want1_ = static_cast<unsigned char>(b1 | or1_);
    want2_ = static_cast<unsigned char>(b2 | or2_);
}

std::int64_t KeywordSearcher::Pos(std::string_view line) const {
    const std::size_t m = key_.size(), n = line.size();
    if (m == 0)
        return 1;
    if (n < m)
        return 0;
    const auto* h = reinterpret_cast<const unsigned char*>(line.data());
    if (m == 1) {
        for (std::size_t i = 0; i < n; ++i)
            if (kFold.upper[h[i]] == static_cast<unsigned char>(key_[0]))
                return static_cast<std::int64_t>(i) + 1;
        return 0;
    }
    // An anchor at p is the keyword starting at p - anchorAt_; anchors run from anchorAt_ to the
    // last place where the whole keyword still fits.
    const std::size_t last = n - m + anchorAt_;
    auto tryAt = [&](std::size_t p) { return pattern_.MatchesAt(h + p - anchorAt_); };
    std::size_t p = anchorAt_;
    Bytes16 or1, want1, or2, want2;
    for (int j = 0; j < 16; ++j) {
        or1[j] = or1_;
        want1[j] = want1_;
        or2[j] = or2_;
        want2[j] = want2_;
    }
    for (; p + 16 <= last + 1; p += 16) {  // places p..p+15, second bytes up to p+16 <= n-1
        Bytes16 c1, c2;
        std::memcpy(&c1, h + p, 16);
        std::memcpy(&c2, h + p + 1, 16);
        const auto hits = reinterpret_cast<Bytes16>((c1 | or1) == want1) &
                          reinterpret_cast<Bytes16>((c2 | or2) == want2);
        for (std::uint32_t mask = MaskOf(hits); mask; mask &= mask - 1) {
            const std::size_t at = p + static_cast<std::size_t>(__builtin_ctz(mask));
            if (tryAt(at))
                return static_cast<std::int64_t>(at - anchorAt_) + 1;
        }
    }
    for (; p <= last; ++p)
        if ((h[p] | or1_) == want1_ && (h[p + 1] | or2_) == want2_ && tryAt(p))
            return static_cast<std::int64_t>(p - anchorAt_) + 1;
    return 0;
}

}  // namespace k32
