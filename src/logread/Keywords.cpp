#include "logread/Keywords.h"

#include <string_view>

#include "state/DebugLog.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

void LoadSet(KeywordTable& kw, RunSummary& summary, LogLanguage language) {
    LoadKeywordSet(kw, language);
    summary.languageName = language == LogLanguage::English  ? "English"
                           : language == LogLanguage::German ? "Deutsch / German"
                                                             : "Francais / French";
}

struct DetectionWords {
    LogLanguage language;
    std::array<std::string_view, 3> words;
};

constexpr std::array<DetectionWords, 3> kDetection = {{
    {LogLanguage::German, {"VERARBEITET", "DURCHLAUF", "PFAD ZUM"}},
    {LogLanguage::English, {"PROCESSED ON", "RUN", "PATH TO PO"}},
    {LogLanguage::French, {"TRAIT", "CETTE", "CHEMIN"}},
}};

}  // namespace

void LoadEnglishKeywords(RunContext&, KeywordTable& kw, RunSummary& summary) {
    LoadSet(kw, summary, LogLanguage::English);
}

void LoadGermanKeywords(RunContext& ctx, KeywordTable& kw, RunSummary& summary) {
    AddProgressLine(ctx, "settings german language constants");
    LoadSet(kw, summary, LogLanguage::German);
}

void LoadFrenchKeywords(RunContext&, KeywordTable& kw, RunSummary& summary) {
    LoadSet(kw, summary, LogLanguage::French);
}

void DetectLogLanguage(RunContext& ctx, const LogHeader& header, KeywordTable& kw,
                       RunSummary& summary) {
    std::array<std::array<bool, 3>, 3> seen{};
    for (std::uint32_t i = 1; i <= header.HeaderLineCount; ++i) {
        Text upper = UpperCaseText(header.HeaderLines[i].view());
        for (std::size_t l = 0; l < kDetection.size(); ++l)
            for (std::size_t w = 0; w < 3; ++w)
                if (Pos(kDetection[l].words[w], upper.view()) > 0)
                    seen[l][w] = true;
    }
    auto recognised = [&](std::size_t l) { return seen[l][0] && seen[l][1] && seen[l][2]; };
    bool german = recognised(0), english = recognised(1), french = recognised(2);
    int languages = german + english + french;
    if (languages != 1)
        return;
    if (english) {
        AddProgressLine(ctx, "Log file language: English");
        LoadEnglishKeywords(ctx, kw, summary);
    } else if (german) {
        AddProgressLine(ctx, "Log file language: Deutsch");
        LoadGermanKeywords(ctx, kw, summary);
    } else {
        AddProgressLine(ctx, "Log file language: French");
        LoadFrenchKeywords(ctx, kw, summary);
    }
}

}  // namespace k32
