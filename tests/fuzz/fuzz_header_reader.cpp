// The log header on outside bytes: reading the header lines, detecting the language, the kind
// of statistics and the values the reports show.

#include "FuzzSupport.h"
#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "state/RunContext.h"
#include "text/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace k32;
    const std::string path = fuzz::WriteInput(data, size);
    RunContext ctx;
    KeywordTable kw = EnglishKeywordTable();
    RunSummary summary;
    try {
        const LogHeader header = ReadLogHeader(ctx, path, kw);
        DetectLogLanguage(ctx, header, kw, summary);
        if (header.HeaderLineCount > 99)
            fuzz::Fail("more than 99 header lines");
        IsMailboxStatistics(header, kw);
        IsExpireStatistics(header, kw);
        IsGroupWise5(ReadVersion(ctx, header, kw).view());
        ReadProcessedOn(ctx, header, kw);
        ReadPathToPO(ctx, header, kw);
        ReadPostOfficeName(ctx, header, kw);
    } catch (const KestramaError&) {
        // A log that cannot be read ends the run with its message: not a finding.
    }
    return 0;
}
