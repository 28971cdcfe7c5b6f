#include "text/Convert.h"

#include <string>

#include "text/Errors.h"
#include "text/Text.h"

namespace k32 {

void ThrowConversionError(std::string_view s) {
    throw KestramaError(ErrorKind::Conversion,
                        "'" + std::string(s) + "' is not a valid integer value");
}

namespace {

// Parses sign and digits into a magnitude; false when the form is wrong or the magnitude
// exceeds `limit`.
bool ParseStrict(std::string_view s, bool& negative, std::uint64_t& magnitude,
                 std::uint64_t limit) {
    std::size_t i = 0;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size())
        return false;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c < '0' || c > '9')
            return false;
        unsigned d = static_cast<unsigned>(c - '0');
        if (v > (limit - d) / 10)
            return false;
        v = v * 10 + d;
    }
    magnitude = v;
    return true;
}

}  // namespace

std::int32_t StrToInt32(std::string_view s) {
    bool neg;
    std::uint64_t m;
    if (!ParseStrict(s, neg, m, 2147483648ull) || (!neg && m > 2147483647ull))
        ThrowConversionError(s);
    return neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(m))
               : static_cast<std::int32_t>(m);
}

std::int64_t StrToInt64(std::string_view s) {
    bool neg;
    std::uint64_t m;
    if (!ParseStrict(s, neg, m, 9223372036854775808ull) || (!neg && m > 9223372036854775807ull))
        ThrowConversionError(s);
    if (neg)
        return m == 9223372036854775808ull ? INT64_MIN : -static_cast<std::int64_t>(m);
    return static_cast<std::int64_t>(m);
}

std::uint32_t StrToUInt32(std::string_view s) {
    bool neg;
    std::uint64_t m;
    if (!ParseStrict(s, neg, m, 4294967295ull) || neg)
        ThrowConversionError(s);
    return static_cast<std::uint32_t>(m);
}

}  // namespace k32
