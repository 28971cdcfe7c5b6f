#pragma once
// A stored text: at most 255 bytes, held inline, so that records, settings and summary values
// are fixed-size values. Whatever is stored is cut to its first 255 bytes. The bytes are
// Windows-1252 and are never decoded; every comparison is on bytes.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace k32 {

inline constexpr std::size_t kTextMax = 255;

class Text {
  public:
    Text() = default;
    Text(std::string_view s) { assign(s); }
    Text(const char* s) { assign(std::string_view(s)); }
    Text(const Text& o) : n_(o.n_) {
        if (n_ > 0)
            std::memcpy(b_, o.b_, n_);
    }
    Text& operator=(const Text& o) {
        n_ = o.n_;
        std::memmove(b_, o.b_, n_);
        return *this;
    }
    Text& operator=(std::string_view s) {
        assign(s);
        return *this;
    }
    Text& operator=(const char* s) { return *this = std::string_view(s); }

    void assign(std::string_view s) {
        n_ = static_cast<std::uint8_t>(s.size() < kTextMax ? s.size() : kTextMax);
        if (n_ > 0)
            std::memmove(b_, s.data(), n_);
    }
    // Appends as much of s as still fits.
    void append(std::string_view s) {
        std::size_t room = kTextMax - n_;
        std::size_t take = s.size() < room ? s.size() : room;
        if (take > 0)
            std::memcpy(b_ + n_, s.data(), take);
        n_ = static_cast<std::uint8_t>(n_ + take);
    }
    void clear() { n_ = 0; }

    std::string_view view() const { return {b_, n_}; }
    std::string str() const { return std::string(b_, n_); }
    const char* data() const { return b_; }
    std::size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    char operator[](std::size_t i) const { return b_[i]; }

    friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
    friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const Text& a, const char* b) { return a.view() == b; }

  private:
    std::uint8_t n_ = 0;
    char b_[kTextMax];  // only the first n_ bytes are ever read
};

}  // namespace k32
