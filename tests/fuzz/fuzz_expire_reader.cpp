// The expire-statistics reader on outside bytes (it reads the header itself).

#include "ReaderHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    k32::fuzz::RunExpireReader(data, size);
    return 0;
}
