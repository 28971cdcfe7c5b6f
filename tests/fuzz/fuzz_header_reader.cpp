// The log header on outside bytes: reading the header lines, detecting the language, the kind
// of statistics and the values the reports show.

#include "FuzzSupport.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "state/AppState.h"
#include "text/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace k32;
    AppState state;
    fuzz::PrepareState(state, fuzz::WriteInput(data, size));
    try {
        ReadLogHeader(state);
        DetectLogLanguage(state);
        if (state.log.HeaderLineCount > 99)
            fuzz::Fail("more than 99 header lines");
        IsMailboxStatistics(state);
        IsExpireStatistics(state);
        ReadVersion(state);
        ReadProcessedOn(state);
        ReadPathToPO(state);
        ReadPostOfficeName(state);
    } catch (const KestramaError&) {
        // A log that cannot be read ends the run with its message: not a finding.
    }
    return 0;
}
