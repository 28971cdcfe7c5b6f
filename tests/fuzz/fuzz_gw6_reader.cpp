// The user reader of GroupWise 6 and later logs on outside bytes.

#include "ReaderHarness.h"
#include "logread/UserReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    k32::fuzz::RunReader(data, size, k32::ReadUsersGW6, k32::GetMailboxRecord);
    return 0;
}
