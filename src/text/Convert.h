#pragma once
// Strict decimal conversion: an optional sign followed by one or more decimal digits, nothing
// else (no blanks; the empty text does not convert). Anything else, or a value out of range,
// raises the conversion error "'%s' is not a valid integer value" with the text in place of %s.

#include <cstdint>
#include <string>
#include <string_view>

namespace k32 {

std::int32_t StrToInt32(std::string_view s);
std::int64_t StrToInt64(std::string_view s);
// Unsigned 32-bit: a sign other than "+" or a value above 4294967295 does not convert.
std::uint32_t StrToUInt32(std::string_view s);

[[noreturn]] void ThrowConversionError(std::string_view s);

}  // namespace k32
