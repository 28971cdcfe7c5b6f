// The user reader of GroupWise 5.5 logs on outside bytes, in one pass and in parts.

#include "ReaderHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    k32::fuzz::RunMailboxReader(data, size, k32::UserLineKind::GW55);
    return 0;
}
