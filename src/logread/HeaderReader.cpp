#include "logread/HeaderReader.h"

#include <string>

#include "app/AppState.h"
#include "app/DebugLog.h"
#include "app/EventPump.h"
#include "logread/LineReader.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

// Calls f(line, upper) for every stored header line; stops early when f returns false.
template <typename F>
void ForEachHeaderLine(const AppState& state, F&& f) {
    for (std::uint32_t i = 1; i <= state.log.HeaderLineCount; ++i) {
        const Text& line = state.log.HeaderLines[i];
        Text upper = UpperCaseText(line.view());
        if (!f(line.view(), upper.view())) return;
    }
}

bool Holds(std::string_view upper, std::string_view keyword) { return Pos(keyword, upper) > 0; }

// The rest of the line from two characters past its first "= ".
std::string_view AfterEquals(std::string_view line) {
    return CopyFrom(line, Pos("= ", line) + 2);
}

}  // namespace

void ReadLogHeader(AppState& state) {
    AddProgressLine(state, "Reading file header.");
    AddDebugLine(state, "Start reading header.", "");
    LineReader reader(state.settings.InputPath.str(), kTextMax);
    std::string upper;
    std::uint32_t n = 0;
    while (n < kMaxHeaderLines) {
        PumpEvents(state);
        std::string_view line;
        if (!reader.Next(line)) line = {};  // past the end of the file lines read as empty
        ++n;
        state.log.HeaderLines[n] = line;
        AddDebugLine(state, "HEADER LINE", line);
        UpperCaseInto(line, upper);
        if (Holds(upper, state.keywords[KwHeaderEnd])) break;
    }
    state.log.HeaderLineCount = n;
    AddDebugLine(state, "Header length:", std::to_string(n));
    AddDebugLine(state, "Stop reading header.", "");
}

bool IsMailboxStatistics(const AppState& state) {
    const KeywordTable& kw = state.keywords;
    bool found = false;
    ForEachHeaderLine(state, [&](std::string_view, std::string_view u) {
        found = (Holds(u, kw[KwStatistics]) && Holds(u, kw[KwYes])) ||
                (Holds(u, kw[KwAction]) && Holds(u, kw[KwMailboxStatistics]));
        return !found;
    });
    return found;
}

bool IsExpireStatistics(const AppState& state) {
    const KeywordTable& kw = state.keywords;
    bool found = false;
    ForEachHeaderLine(state, [&](std::string_view, std::string_view u) {
        found = Holds(u, kw[KwAgeLimit]) ||
                (Holds(u, kw[KwAction]) && Holds(u, kw[KwExpireStatistics]));
        return !found;
    });
    return found;
}

Text ReadVersion(AppState& state) {
    const KeywordTable& kw = state.keywords;
    Text version;
    ForEachHeaderLine(state, [&](std::string_view line, std::string_view u) {
        if (Holds(u, kw[KwProduct]) && Holds(u, kw[KwVersion])) {
            auto p = Pos(kw[KwVersion], u);
            version = Copy(line, p + static_cast<std::int64_t>(kw[KwVersion].size()) + 1, 5);
        }
        return true;
    });
    state.log.summary.groupWise5 = !version.empty() && version[0] == '5';
    AddProgressLine(state, "Groupwise version detected: " + version.str());
    return version;
}

Text ReadProcessedOn(AppState& state) {
    std::string_view keyword = state.keywords[KwProcessedOn];
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line, std::string_view u) {
        if (auto p = Pos(keyword, u); p > 0)
            text = CopyFrom(line, p + static_cast<std::int64_t>(keyword.size()) + 1);
        return true;
    });
    AddProgressLine(state, "Processed on: " + text.str());
    return text;
}

Text ReadPathToPO(AppState& state) {
    std::string_view keyword = state.keywords[KwPathToPO];
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line, std::string_view u) {
        if (!Holds(u, keyword)) return true;
        text = AfterEquals(line);
        return false;  // the first qualifying line only
    });
    AddProgressLine(state, "Path to po: " + text.str());
    return text;
}

Text ReadPostOfficeName(AppState& state) {
    std::string_view keyword = state.keywords[KwPostOffice];
    Text text;
    ForEachHeaderLine(state, [&](std::string_view line, std::string_view u) {
        if (!Holds(u, keyword)) return true;
        text = AfterEquals(line);
        // A text with a backslash is a path line of older logs: keep it, but look further.
        return Pos('\\', text.view()) > 0;
    });
    AddProgressLine(state, "PO Name: " + text.str());
    return text;
}

}  // namespace k32
