// The keyword sets of the three log languages, the detection of a log's language, and the
// keyword searchers that find the words in a line's matching form.

#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "app/AppState.h"
#include "logread/Keywords.h"
#include "text/KeywordSearcher.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

// What the language steps work on: a keyword table and the log's header and summary.
struct Steps {
    KeywordTable keywords = EnglishKeywordTable();
    LogData log;
    // The Log tab's lines of the detection.
    ContextCapture detection{3};
};

void SetHeader(Steps& state, const std::vector<std::string>& lines) {
    state.log.header.HeaderLineCount = static_cast<std::uint32_t>(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        state.log.header.HeaderLines[i + 1] = lines[i];
}

// The steps on the keyword table and summary of a program state, as a run calls them.
void Load(Steps& state, LogLanguage language) {
    RunContext ctx;
    if (language == LogLanguage::English)
        LoadEnglishKeywords(ctx, state.keywords, state.log.summary);
    if (language == LogLanguage::German)
        LoadGermanKeywords(ctx, state.keywords, state.log.summary);
    if (language == LogLanguage::French)
        LoadFrenchKeywords(ctx, state.keywords, state.log.summary);
}

void Detect(Steps& state) {
    DetectLogLanguage(state.detection.ctx, state.log.header, state.keywords, state.log.summary);
}

struct EntryCase {
    Keyword entry;
    std::string english, german, french;
};

const EntryCase kEntries[] = {
    {KwProduct, "NOVELL GROUPWISE", "NOVELL GROUPWISE", "GROUPWISE"},
    {KwProcessedOn, "PROCESSED ON", "VERARBEITET AM", "TRAIT\xE9 LE"},
    {KwHeaderEnd, "PROCESSING POST OFFICE", "VERARBEITUNG VON", "PROCESSING POST OFFICE"},
    {KwAction, "ACTION", "AKTION", "OP\xE9RATION"},
    {KwMailboxStatistics, "MAILBOX STATISTICS", "********** MAILBOX STATISTICS",
     "MAILBOX STATISTICS"},
    {KwExpireStatistics, "EXPIRE STATISTICS", "EXPIRE STATISTICS", "EXPIRE STATISTICS"},
    {KwAgeLimit, "AGE LIMIT", "AGE LIMIT", "AGE LIMIT"},
    {KwCheckingUser6,
     "CHECKING USER = ", "FUNG DES BENUTZERS = ", "RIFICATION DE L'UTILISATEUR = "},
    {KwBlankUid, "(    )", "(    )", "(    )"},
    {KwUserStats55, "USER STATS:", "BENUTZERSTATISTIK:", "STATISTIQUES UTILISATEUR :"},
    {KwInbox6, "INBOX", "EINGEHEND",
     "BO\xEE"
     "TE ARRIV\xE9"
     "E"},
    {KwOutbox6, "OUTBOX", "AUSGEHEND",
     "BO\xEE"
     "TE D\xE9"
     "PART"},
    {KwKbytesInUse, "KBYTES IN USE BY USER", "KBYTE DURCH MAIL DES BENUTZERS BELEGT",
     "KO SONT UTILIS\xE9S PAR LE MESSAGE DE L'UTILISATEUR"},
    {KwSizeLimit, "SIZE LIMIT - ", "ENBEGRENZUNG - ", "TAILLE LIMITE - "},
    {KwProblem89, "PROBLEM 89", "PROBLEM 89", "PROBL\xE8ME 89"},
    {KwSizeLimitExceeded, "SIZE LIMIT EXCEEDED",
     "GR\xF6\xDF"
     "ENBEGRENZUNG \xFC"
     "BERSCHRITTEN",
     "TAILLE LIMITE D\xE9PASS\xE9"
     "E"},
    {KwCurrentSize90, "CURRENT SIZE",
     "AKTUELLE GR\xF6\xDF"
     "E",
     "TAILLE ACTUELLE"},
    {KwThresholdExceeded, "THRESHOLD LIMIT EXCEEDED",
     "SCHWELLENWERT \xFC"
     "BERSCHRITTEN",
     "SEUIL LIMITE D\xE9PASS\xE9"},
};

}  // namespace

TEST(KeywordSets, HoldTheExactBytesOfEachLanguage) {
    Steps state;
    EXPECT_EQ(state.log.summary.languageName.str(), "English");
    for (const EntryCase& c : kEntries)
        EXPECT_EQ(state.keywords[c.entry], c.english) << c.entry;

    Load(state, LogLanguage::German);
    EXPECT_EQ(state.log.summary.languageName.str(), "Deutsch / German");
    for (const EntryCase& c : kEntries)
        EXPECT_EQ(state.keywords[c.entry], c.german) << c.entry;
    EXPECT_EQ(state.keywords[KwMailboxStatistics].size(), 29u);

    Load(state, LogLanguage::French);
    EXPECT_EQ(state.log.summary.languageName.str(), "Francais / French");
    for (const EntryCase& c : kEntries)
        EXPECT_EQ(state.keywords[c.entry], c.french) << c.entry;

    Load(state, LogLanguage::English);
    EXPECT_EQ(state.log.summary.languageName.str(), "English");
    for (const EntryCase& c : kEntries)
        EXPECT_EQ(state.keywords[c.entry], c.english) << c.entry;
}

TEST(KeywordSets, MatchLogWordsInTheirMatchingForm) {
    Steps state;
    Load(state, LogLanguage::German);
    // The umlaut and sharp s stay as they are when the line is upper-cased.
    EXPECT_TRUE(
        state.keywords.Holds("  Speicherplatzverwaltungswerte:  Gr\xF6\xDF"
                             "enbegrenzung - 204800KB",
                             KwSizeLimit));
    EXPECT_TRUE(
        state.keywords.Holds("  \xDC"
                             "berpr\xFC"
                             "fung des Benutzers = HM (h3m)",
                             KwCheckingUser6));

    Load(state, LogLanguage::French);
    // Only the small accented letter in Windows-1252 matches.
    EXPECT_TRUE(state.keywords.Holds("  Trait\xE9 le mardi", KwProcessedOn));
    EXPECT_FALSE(state.keywords.Holds("  TRAIT\xC9 LE mardi", KwProcessedOn));
    EXPECT_FALSE(state.keywords.Holds("  Trait\xC3\xA9 le mardi", KwProcessedOn));
    EXPECT_EQ(state.keywords.Find(KwProcessedOn, "  trait\xE9 le"), 3);
}

struct DetectionCase {
    const char* name;
    std::vector<std::string> header;
    LogLanguage before;
    std::string languageName;                // after the detection
    std::vector<std::string> progressLines;  // written by the detection
};

class LanguageDetection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(LanguageDetection, LoadsTheOneRecognisedLanguage) {
    const DetectionCase& c = GetParam();
    Steps state;
    Load(state, c.before);
    const std::string processedOnBefore(state.keywords[KwProcessedOn]);
    const ContextCapture& progress = state.detection;
    SetHeader(state, c.header);
    Detect(state);
    EXPECT_EQ(state.log.summary.languageName.str(), c.languageName);
    EXPECT_EQ(progress.lines, c.progressLines);
    if (c.progressLines.empty()) {
        EXPECT_EQ(state.keywords[KwProcessedOn], processedOnBefore);
    }
}

const std::vector<std::string> kEnglishHeader = {
    "Novell GroupWise - GWCHKSRV - Version 6.5.2", "  Processed on Saturday, May 31, 2003",
    "Processing information for this run:", "  Path to PO   = SERVER\\VOLUME:\\grpwise"};
const std::vector<std::string> kGermanHeader = {
    "  Verarbeitet am Dienstag",
    "Verarbeitungsinformationen f\xFCr diesen Durchlauf:", "  Pfad zum PO  = SRV2\\DATA:\\gw"};
const std::vector<std::string> kFrenchHeader = {"  Trait\xE9 le mardi",
                                                "Informations de traitement pour cette ex\xE9"
                                                "cution :",
                                                "  Chemin d'acc\xE8s au bureau de poste = SRV"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageDetection,
    ::testing::Values(
        DetectionCase{"EnglishAfterGerman",
                      kEnglishHeader,
                      LogLanguage::German,
                      "English",
                      {"Log file language: English"}},
        DetectionCase{"EnglishInAnyCase",
                      {"PROCESSED ON x", "processing information for this run:", "path to po"},
                      LogLanguage::French,
                      "English",
                      {"Log file language: English"}},
        DetectionCase{"German",
                      kGermanHeader,
                      LogLanguage::English,
                      "Deutsch / German",
                      {"Log file language: Deutsch", "settings german language constants"}},
        DetectionCase{"French",
                      kFrenchHeader,
                      LogLanguage::English,
                      "Francais / French",
                      {"Log file language: French"}},
        DetectionCase{"TwoLanguagesLoadNothing",
                      Join(kEnglishHeader, kGermanHeader),
                      LogLanguage::French,
                      "Francais / French",
                      {}},
        DetectionCase{"AllThreeLoadNothing",
                      Join(Join(kEnglishHeader, kGermanHeader), kFrenchHeader),
                      LogLanguage::German,
                      "Deutsch / German",
                      {}},
        DetectionCase{"NoLanguageLoadsNothing",
                      {"=====", "", "nothing to see"},
                      LogLanguage::German,
                      "Deutsch / German",
                      {}},
        DetectionCase{"TwoWordsAreNotEnough",
                      {"Processed on x", "Path to PO = y"},
                      LogLanguage::French,
                      "Francais / French",
                      {}},
        DetectionCase{"RunInsideAWord",
                      {"processed on", "the job is running", "path to po"},
                      LogLanguage::German,
                      "English",
                      {"Log file language: English"}},
        DetectionCase{"TraitInsideAWord",
                      {"traitement", "cette", "chemin"},
                      LogLanguage::English,
                      "Francais / French",
                      {"Log file language: French"}},
        DetectionCase{"AllWordsInOneLine",
                      {"processed on, run, path to po"},
                      LogLanguage::French,
                      "English",
                      {"Log file language: English"}},
        DetectionCase{"WordsPastTheCutDoNotCount",
                      {"processed on", "path to po", std::string(255, '.') + "run"},
                      LogLanguage::French,
                      "Francais / French",
                      {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageDetectionLimits, ReadsOnlyTheStoredHeaderLines) {
    Steps state;
    Load(state, LogLanguage::French);
    SetHeader(state, {"processed on", "run", "path to po"});
    state.log.header.HeaderLineCount = 2;  // the third entry is left over from an earlier run
    Detect(state);
    EXPECT_EQ(state.log.summary.languageName.str(), "Francais / French");
}

// The searchers are checked against the plain way of finding a keyword: upper-case the line
// (a-z only) and look for the keyword's bytes.
namespace {

std::int64_t PlainPos(std::string_view keyword, std::string_view line) {
    std::string upper;
    UpperCaseInto(line, upper);
    return Pos(keyword, upper);
}

class RandomTexts {
  public:
    explicit RandomTexts(unsigned seed) : rng_(seed) {}
    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    // A text over a small alphabet, so that keywords occur often: letters in both cases,
    // accented letters in both cases (which must not fold), and the bytes next to the letter
    // ranges ('@' '[' '`' '{'), which differ from a letter only in the case bit.
    std::string Text(std::size_t length, bool withNul) {
        static const std::string alphabet = "aAbBzZ e-:()=@[`{\xE9\xC9\xE4\xC4\xDF\xF6";
        std::string s;
        for (std::size_t i = 0; i < length; ++i) {
            if (withNul && Pick(40) == 0)
                s += '\0';
            else
                s += alphabet[static_cast<std::size_t>(Pick(static_cast<int>(alphabet.size())))];
        }
        return s;
    }
    // A keyword in matching form.
    std::string Keyword(std::size_t length) { return UpperCaseText(Text(length, false)).str(); }
    // A text that holds copies of some keywords in random letter case.
    std::string TextWith(const std::vector<std::string>& keywords, std::size_t length) {
        std::string s = Text(length, true);
        for (const std::string& k : keywords) {
            if (Pick(3) != 0 || k.empty())
                continue;
            std::string copy = k;
            for (char& c : copy)
                if (c >= 'A' && c <= 'Z' && Pick(2))
                    c = static_cast<char>(c + 32);
            s.insert(static_cast<std::size_t>(Pick(static_cast<int>(s.size()) + 1)), copy);
        }
        return s;
    }

  private:
    std::mt19937 rng_;
};

}  // namespace

TEST(KeywordSearcher, AgreesWithThePlainSearch) {
    RandomTexts random(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::string keyword = random.Keyword(static_cast<std::size_t>(random.Pick(12)));
        const KeywordSearcher searcher(keyword);
        for (int n = 0; n < 10; ++n) {
            const std::string line =
                random.TextWith({keyword}, static_cast<std::size_t>(random.Pick(300)));
            ASSERT_EQ(searcher.Pos(line), PlainPos(keyword, line))
                << "keyword '" << keyword << "' line '" << line << "'";
        }
    }
}

TEST(KeywordSearcher, HandMadeCases) {
    struct Case {
        std::string keyword, line;
        std::int64_t pos;
    };
    const Case cases[] = {
        {"CHECKING USER = ", "  Checking user = JSMITH", 3},
        {"CHECKING USER = ", "  checking USER = x", 3},
        {"CHECKING USER = ", "  Checking user =JSMITH", 0},
        {"AAA", "aaaa", 1},
        {"ABAB", "xabababab", 2},
        {"KB", "10241KB", 6},
        {"KB", "10241K", 0},
        {"X", "", 0},
        {"@", "`", 0},
        {"[", "{", 0},
        {"\xC9", "\xE9", 0},
        {"TRAIT\xE9 LE", "Trait\xE9 le", 1},
        {"TRAIT\xE9 LE", "Trait\xC9 le", 0},
        {"********** MAILBOX STATISTICS", "   ********** Mailbox Statistics", 4},
        {"********** MAILBOX STATISTICS", "   *********  Mailbox Statistics", 0},
        // At the very end of lines of every length around the vector widths.
        {"END", std::string(13, '.') + "end", 14},
        {"END", std::string(29, '.') + "end", 30},
        {"END", std::string(61, '.') + "end", 62},
        {"END", std::string(250, '.') + "eNd", 251},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeywordSearcher(c.keyword).Pos(c.line), c.pos) << c.keyword << " in " << c.line;
        EXPECT_EQ(PlainPos(c.keyword, c.line), c.pos) << c.keyword << " in " << c.line;
    }
}

TEST(KeywordSetSearcher, AgreesWithThePlainSearch) {
    RandomTexts random(777);
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::string> keywords;
        const int n = 1 + random.Pick(round % 50 == 0 ? 32 : 8);
        for (int k = 0; k < n; ++k)
            keywords.push_back(random.Keyword(static_cast<std::size_t>(1 + random.Pick(10))));
        const std::vector<std::string_view> views(keywords.begin(), keywords.end());
        // Half the searchers choose their anchors from a sample of the text to come.
        const std::string sample = random.TextWith(keywords, 2000);
        const KeywordSetSearcher searcher(
            views, round % 2 ? std::string_view(sample) : std::string_view());

        for (int t = 0; t < 10; ++t) {
            const std::string text =
                random.TextWith(keywords, static_cast<std::size_t>(random.Pick(400)));
            std::string upper;
            UpperCaseInto(text, upper);
            std::uint32_t expected = 0;
            std::size_t earliestEnd = std::string::npos;  // where the first occurrence ends
            for (std::size_t k = 0; k < keywords.size(); ++k) {
                auto at = upper.find(keywords[k]);
                if (at == std::string::npos)
                    continue;
                expected |= 1u << k;
                earliestEnd = std::min(earliestEnd, at + keywords[k].size());
            }
            ASSERT_EQ(searcher.Found(text), expected)
                << "round " << round << " text '" << text << "'";

            // The first match is where some keyword occurs, and it starts no later than the
            // end of the earliest-ending occurrence: a line reader that takes the line around
            // it takes the first line that holds a keyword.
            const std::size_t first = searcher.FirstMatch(text);
            if (expected == 0) {
                ASSERT_EQ(first, std::string_view::npos) << "text '" << text << "'";
                continue;
            }
            ASSERT_NE(first, std::string_view::npos) << "text '" << text << "'";
            bool occurs = false;
            for (const std::string& k : keywords)
                occurs |= upper.compare(first, k.size(), k) == 0;
            EXPECT_TRUE(occurs) << "offset " << first << " text '" << text << "'";
            EXPECT_LT(first, earliestEnd) << "text '" << text << "'";
        }
    }
}

TEST(KeywordSetSearcher, OneKeywordGivesItsFirstOccurrence) {
    RandomTexts random(99);
    for (int round = 0; round < 2000; ++round) {
        const std::string keyword = random.Keyword(static_cast<std::size_t>(1 + random.Pick(8)));
        const KeywordSetSearcher searcher({keyword});
        const std::string text =
            random.TextWith({keyword, keyword}, static_cast<std::size_t>(random.Pick(200)));
        const std::int64_t plain = PlainPos(keyword, text);
        const std::size_t first = searcher.FirstMatch(text);
        ASSERT_EQ(first == std::string_view::npos ? 0 : static_cast<std::int64_t>(first) + 1, plain)
            << "keyword '" << keyword << "' text '" << text << "'";
    }
}
