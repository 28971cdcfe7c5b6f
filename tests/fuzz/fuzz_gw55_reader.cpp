// The user reader of GroupWise 5.5 logs on outside bytes.

#include "ReaderHarness.h"
#include "logread/UserReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    k32::fuzz::RunReader(data, size, k32::ReadUsersGW55, k32::GetMailboxRecord);
    return 0;
}
