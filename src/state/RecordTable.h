#pragma once
// A table of records of N text fields, indexed from 1 (slot 0 exists and stays empty), with its
// own record count.
//
// Records are stored packed in a chunked arena: each record is its N field lengths followed by
// its bytes, and its slot is the record's place in the arena, so that millions of mailboxes fit
// in little memory and no record costs an allocation of its own. A record goes in as N owned
// texts and comes out as N read-only views, which stay valid until the table is cleared.
// The arena's chunks are taken from, and given back to, one pool of the program, so that a
// second run reuses the memory of the first instead of asking the system for fresh pages.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Text.h"

namespace k32 {

// The chunks of every record table, handed out and taken back under a lock (tables are filled
// on several threads at once).
class RecordChunkPool {
  public:
    static constexpr std::size_t kChunkSize = 1 << 20;  // far above N * 256
    using Chunk = std::unique_ptr<char[]>;

    static Chunk Take() {
        {
            std::lock_guard lock(Mutex());
            auto& spare = Spare();
            if (!spare.empty()) {
                Chunk c = std::move(spare.back());
                spare.pop_back();
                return c;
            }
        }
        // Bytes are written before they are read: no need to clear them.
        return std::make_unique_for_overwrite<char[]>(kChunkSize);
    }
    static void GiveBack(std::vector<Chunk>& chunks) {
        std::lock_guard lock(Mutex());
        auto& spare = Spare();
        for (Chunk& c : chunks)
            spare.push_back(std::move(c));
        chunks.clear();
    }

  private:
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<Chunk>& Spare() {
        static std::vector<Chunk> spare;
        return spare;
    }
};

template <std::size_t N>
struct RecordView {
    std::array<std::string_view, N> field;
};

template <std::size_t N>
class RecordTable {
  public:
    RecordTable() { Clear(); }
    ~RecordTable() { RecordChunkPool::GiveBack(chunks_); }
    RecordTable(RecordTable&& other) noexcept { *this = std::move(other); }
    RecordTable& operator=(RecordTable&& other) noexcept {
        if (this != &other) {
            RecordChunkPool::GiveBack(chunks_);
            slots_ = std::move(other.slots_);
            chunks_ = std::move(other.chunks_);
            chunkUsed_ = other.chunkUsed_;
            count_ = other.count_;
            other.slots_.assign(1, kEmpty);
            other.chunks_.clear();
            other.chunkUsed_ = kChunkSize;
            other.count_ = 0;
        }
        return *this;
    }
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // A copy of the table with bytes of its own: Re-sort sorts a copy, so that the table shown
    // stays as it is until the reports of the new order are in place.
    RecordTable Clone() const {
        RecordTable copy;
        copy.slots_ = slots_;
        copy.chunks_.reserve(chunks_.size());
        for (const RecordChunkPool::Chunk& chunk : chunks_) {
            copy.chunks_.push_back(RecordChunkPool::Take());
            std::memcpy(copy.chunks_.back().get(), chunk.get(), kChunkSize);
        }
        copy.chunkUsed_ = chunkUsed_;
        copy.count_ = count_;
        return copy;
    }

    // Empties the table back to its single unused slot 0 and a count of 0; its memory goes back
    // to the pool for the next table.
    void Clear() {
        slots_.assign(1, kEmpty);
        RecordChunkPool::GiveBack(chunks_);
        chunkUsed_ = kChunkSize;
        count_ = 0;
    }

    // The records the reader counted, at 1..Count(). A counted record that was never stored
    // reads as empty.
    std::uint32_t Count() const { return count_; }
    void SetCount(std::uint32_t count) { count_ = count; }

    // Stores the record after the last counted one and counts it.
    void Append(const std::array<Text, N>& record) { Store(record, ++count_); }

    // Moves the records 1..other.Count() of `other` behind this table's records 1..Count(),
    // without copying their bytes. `other` is left empty.
    void AppendTable(RecordTable&& other) {
        slots_.resize(static_cast<std::size_t>(count_) + 1, kEmpty);
        slots_.reserve(slots_.size() + other.count_);
        const std::uint64_t base = static_cast<std::uint64_t>(chunks_.size()) * kChunkSize;
        for (std::uint32_t i = 1; i <= other.count_; ++i) {
            const std::uint64_t s = i < other.slots_.size() ? other.slots_[i] : kEmpty;
            slots_.push_back(s == kEmpty ? kEmpty : s + base);
        }
        other.slots_ = std::vector<std::uint64_t>(1, kEmpty);
        // Later records go into a fresh chunk; the last chunk of each keeps its unused tail.
        for (auto& chunk : other.chunks_)
            chunks_.push_back(std::move(chunk));
        other.chunks_.clear();
        chunkUsed_ = kChunkSize;
        count_ += other.count_;
        other.count_ = 0;
    }

    // Resizes the table to index + 1 slots, keeping the slots below index (new ones are empty
    // records), then stores a copy of the record at index.
    void Store(const std::array<Text, N>& record, std::uint32_t index) {
        if (index == slots_.size())
            slots_.push_back(kEmpty);
        else
            slots_.resize(static_cast<std::size_t>(index) + 1, kEmpty);
        std::size_t bytes = 0;
        for (const Text& t : record)
            bytes += t.size();
        if (bytes == 0) {
            slots_[index] = kEmpty;
            return;
        }
        if (chunkUsed_ + N + bytes > kChunkSize) {
            chunks_.push_back(RecordChunkPool::Take());
            chunkUsed_ = 0;
        }
        slots_[index] = static_cast<std::uint64_t>(chunks_.size() - 1) * kChunkSize + chunkUsed_;
        char* dst = chunks_.back().get() + chunkUsed_;
        for (std::size_t f = 0; f < N; ++f)
            dst[f] = static_cast<char>(static_cast<std::uint8_t>(record[f].size()));
        dst += N;
        for (std::size_t f = 0; f < N; ++f) {
            std::memcpy(dst, record[f].data(), record[f].size());
            dst += record[f].size();
        }
        chunkUsed_ += N + bytes;
    }

    // A record that was counted but never stored, past the table's end, reads as empty.
    RecordView<N> Get(std::uint32_t index) const {
        RecordView<N> v;
        if (index >= slots_.size() || slots_[index] == kEmpty)
            return v;  // an empty record owns no bytes
        const std::uint64_t at = slots_[index];
        const char* p = chunks_[at / kChunkSize].get() + at % kChunkSize;
        const char* bytes = p + N;
        for (std::size_t f = 0; f < N; ++f) {
            const auto len = static_cast<std::uint8_t>(p[f]);
            v.field[f] = std::string_view(bytes, len);
            bytes += len;
        }
        return v;
    }

    void Swap(std::uint32_t i, std::uint32_t j) { std::swap(slots_[i], slots_[j]); }

    // Puts the records 1..order.size() into the given order: new record k is old record
    // order[k-1].
    void Reorder(const std::vector<std::uint32_t>& order) {
        std::vector<std::uint64_t> moved(order.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            moved[k] = slots_[order[k]];
        for (std::size_t k = 0; k < order.size(); ++k)
            slots_[k + 1] = moved[k];
    }

    // The same order given as sorted keys whose low 32 bits are the old record numbers: new
    // record k is old record keyed[k-1] & 0xFFFFFFFF. `keyed` serves as the scratch space, so
    // that no second array of the table's size is needed.
    void ReorderByLowBits(std::vector<std::uint64_t>& keyed) {
        for (std::uint64_t& k : keyed)
            k = slots_[static_cast<std::uint32_t>(k)];
        std::copy(keyed.begin(), keyed.end(), slots_.begin() + 1);
    }

    // Number of slots, slot 0 included.
    std::uint32_t Slots() const { return static_cast<std::uint32_t>(slots_.size()); }

  private:
    static constexpr std::size_t kChunkSize = RecordChunkPool::kChunkSize;
    static constexpr std::uint64_t kEmpty = UINT64_MAX;

    // Each slot is the record's place in the arena: chunk * kChunkSize + offset, or kEmpty.
    std::vector<std::uint64_t> slots_;
    std::vector<RecordChunkPool::Chunk> chunks_;
    std::size_t chunkUsed_ = kChunkSize;
    std::uint32_t count_ = 0;
};

}  // namespace k32
