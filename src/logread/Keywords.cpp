#include "logread/Keywords.h"

#include <string_view>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

void LoadSet(AppState& state, LogLanguage language) {
    LoadKeywordSet(state.keywords, language);
    state.log.summary.languageName = language == LogLanguage::English  ? "English"
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

void LoadEnglishKeywords(AppState& state) {
    LoadSet(state, LogLanguage::English);
}

void LoadGermanKeywords(AppState& state) {
    AddProgressLine(state, "settings german language constants");
    LoadSet(state, LogLanguage::German);
}

void LoadFrenchKeywords(AppState& state) {
    LoadSet(state, LogLanguage::French);
}

void DetectLogLanguage(AppState& state) {
    std::array<std::array<bool, 3>, 3> seen{};
    for (std::uint32_t i = 1; i <= state.log.HeaderLineCount; ++i) {
        Text upper = UpperCaseText(state.log.HeaderLines[i].view());
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
        AddProgressLine(state, "Log file language: English");
        LoadEnglishKeywords(state);
    } else if (german) {
        AddProgressLine(state, "Log file language: Deutsch");
        LoadGermanKeywords(state);
    } else {
        AddProgressLine(state, "Log file language: French");
        LoadFrenchKeywords(state);
    }
}

}  // namespace k32
