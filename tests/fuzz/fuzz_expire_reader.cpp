// The expire-statistics reader on outside bytes (it reads the header itself).

#include "ReaderHarness.h"
#include "logread/ExpireReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    k32::fuzz::RunReader(data, size, k32::RunExpReport3, k32::GetExpireRecord);
    return 0;
}
