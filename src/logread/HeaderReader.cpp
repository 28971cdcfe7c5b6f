#include "logread/HeaderReader.h"

#include <string>

#include "logread/LineReader.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

// Calls f(line) for every stored header line; stops early when f returns false.
template <typename F>
void ForEachHeaderLine(const LogHeader& header, F&& f) {
    for (std::uint32_t i = 1; i <= header.HeaderLineCount; ++i)
        if (!f(header.HeaderLines[i].view()))
            return;
}

// The rest of the line from two characters past its first "= ".
std::string_view AfterEquals(std::string_view line) {
    return CopyFrom(line, Pos("= ", line) + 2);
}

}  // namespace

LogHeader ReadLogHeader(RunContext& ctx, const std::string& path, const KeywordTable& kw) {
    AddProgressLine(ctx, "Reading file header.");
    AddDebugLine(ctx, "Start reading header.", "");
    LogHeader header;
    LineReader reader(path, kTextMax);
    std::uint32_t n = 0;
    while (n < kMaxHeaderLines) {
        ThrowIfStopped(ctx);
        std::string_view line;
        if (!reader.Next(line))
            line = {};  // past the end of the file lines read as empty
        ++n;
        header.HeaderLines[n] = line;
        AddDebugLine(ctx, "HEADER LINE", line);
        if (kw.Holds(line, KwHeaderEnd))
            break;
    }
    header.HeaderLineCount = n;
    AddDebugLine(ctx, "Header length:", std::to_string(n));
    AddDebugLine(ctx, "Stop reading header.", "");
    return header;
}

bool IsMailboxStatistics(const LogHeader& header, const KeywordTable& kw) {
    bool found = false;
    ForEachHeaderLine(header, [&](std::string_view line) {
        found = (kw.Holds(line, KwStatistics) && kw.Holds(line, KwYes)) ||
                (kw.Holds(line, KwAction) && kw.Holds(line, KwMailboxStatistics));
        return !found;
    });
    return found;
}

bool IsExpireStatistics(const LogHeader& header, const KeywordTable& kw) {
    bool found = false;
    ForEachHeaderLine(header, [&](std::string_view line) {
        found = kw.Holds(line, KwAgeLimit) ||
                (kw.Holds(line, KwAction) && kw.Holds(line, KwExpireStatistics));
        return !found;
    });
    return found;
}

Text ReadVersion(RunContext& ctx, const LogHeader& header, const KeywordTable& kw) {
    Text version;
    ForEachHeaderLine(header, [&](std::string_view line) {
        if (kw.Holds(line, KwProduct) && kw.Holds(line, KwVersion)) {
            auto p = kw.Find(KwVersion, line);
            version = Copy(line, p + static_cast<std::int64_t>(kw[KwVersion].size()) + 1, 5);
        }
        return true;
    });
    AddProgressLine(ctx, "Groupwise version detected: " + version.str());
    return version;
}

bool IsGroupWise5(std::string_view version) {
    return !version.empty() && version[0] == '5';
}

Text ReadProcessedOn(RunContext& ctx, const LogHeader& header, const KeywordTable& kw) {
    Text text;
    ForEachHeaderLine(header, [&](std::string_view line) {
        if (auto p = kw.Find(KwProcessedOn, line); p > 0)
            text = CopyFrom(line, p + static_cast<std::int64_t>(kw[KwProcessedOn].size()) + 1);
        return true;
    });
    AddProgressLine(ctx, "Processed on: " + text.str());
    return text;
}

Text ReadPathToPO(RunContext& ctx, const LogHeader& header, const KeywordTable& kw) {
    Text text;
    ForEachHeaderLine(header, [&](std::string_view line) {
        if (!kw.Holds(line, KwPathToPO))
            return true;
        text = AfterEquals(line);
        return false;  // the first qualifying line only
    });
    AddProgressLine(ctx, "Path to po: " + text.str());
    return text;
}

Text ReadPostOfficeName(RunContext& ctx, const LogHeader& header, const KeywordTable& kw) {
    Text text;
    ForEachHeaderLine(header, [&](std::string_view line) {
        if (!kw.Holds(line, KwPostOffice))
            return true;
        text = AfterEquals(line);
        // A text with a backslash is a path line of older logs: keep it, but look further.
        return Pos('\\', text.view()) > 0;
    });
    AddProgressLine(ctx, "PO Name: " + text.str());
    return text;
}

}  // namespace k32
