#include "text/EncodingScan.h"

#include <cstring>

namespace k32 {

void Utf8Scan::Feed(std::string_view bytes) {
    if (invalid_)
        return;  // decided: nothing later makes the log UTF-8
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        if (need_ > 0) {
            const unsigned char c = *p++;
            if (c < low_ || c > high_) {
                invalid_ = true;
                return;
            }
            low_ = 0x80;
            high_ = 0xBF;
            --need_;
            continue;
        }
        // Nearly every byte of a log is ASCII: pass over it 32 bytes at a time, then eight.
        while (end - p >= 32) {
            std::uint64_t words[4];
            std::memcpy(words, p, sizeof words);
            if (((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull) != 0)
                break;
            p += 32;
        }
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ull) != 0)
                break;
            p += 8;
        }
        while (p < end && *p < 0x80)
            ++p;
        if (p == end)
            break;
        const unsigned char lead = *p++;
        // 0x80..0xC1 never start a sequence (C0 and C1 would be overlong), nor does F5 or above
        // (past U+10FFFF).
        if (lead < 0xC2 || lead > 0xF4) {
            invalid_ = true;
            return;
        }
        multiByte_ = true;
        need_ = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        // The second byte's range rules out overlong forms (E0, F0), surrogates (ED) and code
        // points past U+10FFFF (F4).
        low_ = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        high_ = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    }
}

void Utf8Scan::End() {
    if (need_ > 0)
        invalid_ = true;
    need_ = 0;
}

}  // namespace k32
