#include "state/KeywordTable.h"

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

}  // namespace

KeywordTable EnglishKeywordTable() {
    KeywordTable t;
    for (std::size_t i = 0; i < kKeywordCount; ++i)
        t.Set(static_cast<Keyword>(i), kRows[i].english);
    return t;
}

void LoadKeywordSet(KeywordTable& table, LogLanguage language) {
    for (std::size_t i = 0; i < kKeywordCount; ++i) {
        if (i == KwExpireStatistics || i == KwAgeLimit)
            continue;  // the same in every language
        const KeywordRow& row = kRows[i];
        table.Set(static_cast<Keyword>(i), language == LogLanguage::English  ? row.english
                                           : language == LogLanguage::German ? row.german
                                                                             : row.french);
    }
}

}  // namespace k32
