#include "logread/Keywords.h"

#include <string_view>

#include "app/AppState.h"
#include "app/DebugLog.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

struct KeywordRow {
    std::string_view english, german, french;
};

// Windows-1252 bytes: \xE9 e-acute, \xE8 e-grave, \xEE i-circumflex, \xF6 o-umlaut,
// \xDF sharp s, \xFC u-umlaut. Literals are split after an escape so that a following hex
// letter is not taken into it.
constexpr std::array<KeywordRow, kKeywordCount> kRows = {{
    {"NOVELL GROUPWISE", "NOVELL GROUPWISE", "GROUPWISE"},
    {"VERSION", "VERSION", "VERSION"},
    {"PROCESSED ON", "VERARBEITET AM", "TRAIT\xE9 LE"},
    {"PATH TO PO", "PFAD ZUM PO", "CHEMIN"},
    {"POST OFFICE", "POST-OFFICE", "BUREAU DE POSTE"},
    {"PROCESSING POST OFFICE", "VERARBEITUNG VON", "PROCESSING POST OFFICE"},
    {"STATISTICS", "STATISTIK", "STATISTIQUES"},
    {"YES", "JA", "OUI"},
    {"ACTION", "AKTION", "OP\xE9RATION"},
    {"MAILBOX STATISTICS", "********** MAILBOX STATISTICS", "MAILBOX STATISTICS"},
    {"EXPIRE STATISTICS", "EXPIRE STATISTICS", "EXPIRE STATISTICS"},
    {"AGE LIMIT", "AGE LIMIT", "AGE LIMIT"},
    {"CHECKING USER = ", "FUNG DES BENUTZERS = ", "RIFICATION DE L'UTILISATEUR = "},
    {"CHECKING USER = ", "FUNG DES BENUTZERS = ", "RIFICATION DE L'UTILISATEUR = "},
    {"(    )", "(    )", "(    )"},
    {".DB", ".DB", ".DB"},
    {"USER STATS:", "BENUTZERSTATISTIK:", "STATISTIQUES UTILISATEUR :"},
    {"INBOX", "EINGEHEND",
     "BO\xEE"
     "TE ARRIV\xE9"
     "E"},
    {"OUTBOX", "AUSGEHEND",
     "BO\xEE"
     "TE D\xE9"
     "PART"},
    {"WASTEBASKET", "PAPIERKORB", "CORBEILLE"},
    {"USER STATS:", "BENUTZERSTATISTIK:", "STATISTIQUES UTILISATEUR :"},
    {"INBOX", "EINGEHEND",
     "BO\xEE"
     "TE ARRIV\xE9"
     "E"},
    {"OUTBOX", "AUSGEHEND",
     "BO\xEE"
     "TE D\xE9"
     "PART"},
    {"WASTEBASKET", "PAPIERKORB", "CORBEILLE"},
    {"BYTES IN USE BY USER", "BYTE DURCH MAIL DES BENUTZERS BELEGT",
     "NOMBRE D'OCTETS UTILIS\xE9S PAR LES MESSAGES DE L'UTILISATEUR"},
    {"KBYTES IN USE BY USER", "KBYTE DURCH MAIL DES BENUTZERS BELEGT",
     "KO SONT UTILIS\xE9S PAR LE MESSAGE DE L'UTILISATEUR"},
    {"DISK SPACE MANAGEMENT VALUES:", "SPEICHERPLATZVERWALTUNGSWERTE:",
     "VALEURS DE GESTION DE L'ESPACE DISQUE :"},
    {"SIZE LIMIT - ", "ENBEGRENZUNG - ", "TAILLE LIMITE - "},
    {"THRESHOLD - ", "SCHWELLENWERT - ", "SEUIL - "},
    {"PROBLEM 89", "PROBLEM 89", "PROBL\xE8ME 89"},
    {"SIZE LIMIT EXCEEDED",
     "GR\xF6\xDF"
     "ENBEGRENZUNG \xFC"
     "BERSCHRITTEN",
     "TAILLE LIMITE D\xE9PASS\xE9"
     "E"},
    {"CURRENT SIZE",
     "AKTUELLE GR\xF6\xDF"
     "E",
     "TAILLE ACTUELLE"},
    {"PROBLEM 90", "PROBLEM 90", "PROBL\xE8ME 90"},
    {"THRESHOLD LIMIT EXCEEDED",
     "SCHWELLENWERT \xFC"
     "BERSCHRITTEN",
     "SEUIL LIMITE D\xE9PASS\xE9"},
    {"CURRENT SIZE",
     "AKTUELLE GR\xF6\xDF"
     "E",
     "TAILLE ACTUELLE"},
}};

void LoadSet(AppState& state, LogLanguage language) {
    for (std::size_t i = 0; i < kKeywordCount; ++i) {
        if (i == KwExpireStatistics || i == KwAgeLimit)
            continue;  // the same in every language
        const KeywordRow& row = kRows[i];
        state.keywords.Set(static_cast<Keyword>(i), language == LogLanguage::English  ? row.english
                                                    : language == LogLanguage::German ? row.german
                                                                                      : row.french);
    }
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

KeywordTable EnglishKeywordTable() {
    KeywordTable t;
    for (std::size_t i = 0; i < kKeywordCount; ++i)
        t.Set(static_cast<Keyword>(i), kRows[i].english);
    return t;
}

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
