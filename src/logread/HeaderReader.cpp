#include "logread/HeaderReader.h"

#include <string>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/EventPump.h"
#include "logread/LineReader.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

// Calls f(line) for every stored header line; stops early when f returns false.
template <typename F>
void ForEachHeaderLine(const AppState& state, F&& f) {
    for (std::uint32_t i = 1; i <= state.log.HeaderLineCount; ++i)
        if (!f(state.log.HeaderLines[i].view()))
            return;
}

// The rest of the line from two characters past its first "= ".
std::string_view AfterEquals(std::string_view line) {
    return CopyFrom(line, Pos("= ", line) + 2);
}

}  // namespace

void ReadLogHeader(AppState& state) {
    AddProgressLine(state, "Reading file header.");
    AddDebugLine(state, "Start reading header.", "");
    LineReader reader(state.settings.InputPath.str(), kTextMax);
    std::uint32_t n = 0;
    while (n < kMaxHeaderLines) {
        PumpEvents(state);
        std::string_view line;
        if (!reader.Next(line))
            line = {};  // past the end of the file lines read as empty
        ++n;
        state.log.HeaderLines[n] = line;
        AddDebugLine(state, "HEADER LINE", line);
        if (state.keywords.Holds(line, KwHeaderEnd))
            break;
    }
    state.log.HeaderLineCount = n;
    AddDebugLine(state, "Header length:", std::to_string(n));
    AddDebugLine(state, "Stop reading header.", "");
}

bool IsMailboxStatistics(const AppState& state) {
    const KeywordTable& kw = state.keywords;
    bool found = false;
    ForEachHeaderLine(state, [&](std::string_view line) {
        found = (kw.Holds(line, KwStatistics) && kw.Holds(line, KwYes)) ||
                (kw.Holds(line, KwAction) && kw.Holds(line, KwMailboxStatistics));
        return !found;
    });
    return found;
}

bool IsExpireStatistics(const AppState& state) {
    const KeywordTable& kw = state.keywords;
    bool found = false;
    ForEachHeaderLine(state, [&](std::string_view line) {
        found = kw.Holds(line, KwAgeLimit) ||
                (kw.Holds(line, KwAction) && kw.Holds(line, KwExpireStatistics));
        return !found;
    });
    return found;
}

Text ReadVersion(AppState& state) {
    const KeywordTable& kw = state.keywords;
    Text version;
    ForEachHeaderLine(state, [&](std::string_view line) {
        if (kw.Holds(line, KwProduct) && kw.Holds(line, KwVersion)) {
            auto p = kw.Find(KwVersion, line);
            version = Copy(line, p + static_cast<std::int64_t>(kw[KwVersion].size()) + 1, 5);
        }
        return true;
    });
    state.log.summary.groupWise5 = !version.empty() && version[0] == '5';
    AddProgressLine(state, "Groupwise version detected: " + version.str());
    return version;
}

Text ReadProcessedOn(AppState& state) {
    const KeywordTable& kw = state.keywords;
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line) {
        if (auto p = kw.Find(KwProcessedOn, line); p > 0)
            text = CopyFrom(line, p + static_cast<std::int64_t>(kw[KwProcessedOn].size()) + 1);
        return true;
    });
    AddProgressLine(state, "Processed on: " + text.str());
    return text;
}

Text ReadPathToPO(AppState& state) {
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line) {
        if (!state.keywords.Holds(line, KwPathToPO))
            return true;
        text = AfterEquals(line);
        return false;  // the first qualifying line only
    });
    AddProgressLine(state, "Path to po: " + text.str());
    return text;
}

Text ReadPostOfficeName(AppState& state) {
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line) {
        if (!state.keywords.Holds(line, KwPostOffice))
            return true;
        text = AfterEquals(line);
        // A text with a backslash is a path line of older logs: keep it, but look further.
        return Pos('\\', text.view()) > 0;
    });
    AddProgressLine(state, "PO Name: " + text.str());
    return text;
}

}  // namespace k32
