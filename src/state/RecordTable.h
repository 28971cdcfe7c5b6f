#pragma once
// A table of records of N text fields, indexed from 1 (slot 0 exists and stays empty).
//
// Records are stored packed: each slot holds the field lengths and the place of the record's
// bytes in a chunked arena, so that hundreds of thousands of mailboxes fit in little memory and
// no record costs an allocation of its own. A record goes in as N owned texts and comes out as
// N read-only views, which stay valid until the table is cleared.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Text.h"

namespace k32 {

template <std::size_t N>
struct RecordView {
    std::array<std::string_view, N> field;
};

template <std::size_t N>
class RecordTable {
  public:
    RecordTable() { Clear(); }

    // Empties the table back to its single unused slot 0 and releases the stored bytes.
    void Clear() {
        slots_.assign(1, Slot{});
        chunks_.clear();
        chunkUsed_ = kChunkSize;
    }

    // Resizes the table to index + 1 slots, keeping the slots below index (new ones are empty
    // records), then stores a copy of the record at index.
    void Store(const std::array<Text, N>& record, std::uint32_t index) {
        slots_.resize(static_cast<std::size_t>(index) + 1, Slot{});
        std::size_t bytes = 0;
        for (const Text& t : record)
            bytes += t.size();
        if (bytes == 0) {
            slots_[index] = Slot{};
            return;
        }
        if (chunkUsed_ + bytes > kChunkSize) {
            chunks_.push_back(std::make_unique<char[]>(kChunkSize));
            chunkUsed_ = 0;
        }
        Slot& s = slots_[index];
        s.chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
        s.offset = static_cast<std::uint32_t>(chunkUsed_);
        char* dst = chunks_.back().get() + chunkUsed_;
        for (std::size_t f = 0; f < N; ++f) {
            std::memcpy(dst, record[f].data(), record[f].size());
            dst += record[f].size();
            s.len[f] = static_cast<std::uint8_t>(record[f].size());
        }
        chunkUsed_ += bytes;
    }

    // A record that was counted but never stored, past the table's end, reads as empty.
    RecordView<N> Get(std::uint32_t index) const {
        RecordView<N> v;
        if (index >= slots_.size())
            return v;
        const Slot& s = slots_[index];
        std::size_t bytes = 0;
        for (std::uint8_t n : s.len)
            bytes += n;
        if (bytes == 0)
            return v;  // an empty record owns no bytes
        const char* p = chunks_[s.chunk].get() + s.offset;
        for (std::size_t f = 0; f < N; ++f) {
            v.field[f] = std::string_view(p, s.len[f]);
            p += s.len[f];
        }
        return v;
    }

    void Swap(std::uint32_t i, std::uint32_t j) { std::swap(slots_[i], slots_[j]); }

    // Puts the records 1..order.size() into the given order: new record k is old record
    // order[k-1].
    void Reorder(const std::vector<std::uint32_t>& order) {
        std::vector<Slot> moved(order.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            moved[k] = slots_[order[k]];
        for (std::size_t k = 0; k < order.size(); ++k)
            slots_[k + 1] = moved[k];
    }

    // Number of slots, slot 0 included.
    std::uint32_t Slots() const { return static_cast<std::uint32_t>(slots_.size()); }

  private:
    static constexpr std::size_t kChunkSize = 1 << 20;  // far above N * 255
    struct Slot {
        std::uint32_t chunk = 0;
        std::uint32_t offset = 0;
        std::array<std::uint8_t, N> len{};
    };
    std::vector<Slot> slots_;
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t chunkUsed_ = kChunkSize;
};

}  // namespace k32
