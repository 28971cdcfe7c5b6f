// A log in UTF-8 reads as UTF-8 from end to end: the web report declares it, the CSV and the web
// report hold its bytes, the history keeps its names as they are and the trend page shows them.
// A Windows-1252 log of the same names reads as before, and both are the same names in the
// history, so that runs of either kind compare.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SqliteQuery.h"
#include "TestSupport.h"

using namespace k32::test;

namespace {

std::string Sample(const std::string& name) {
    return std::string(KESTRAMA_SAMPLES) + "/" + name;
}

// The English sample with Anna Morgan as MÜLLER, "Anna Müller", and Bo Chen as "Bożena Łukasik",
// in `utf8` or Windows-1252 (which has no "ż" or "Ł": "Bozena Lukasik" there), at `date`.
std::string NamedLog(bool utf8, const std::string& date = "Monday, March 7, 2005 - 2:15 am",
                     int annaMb = 206) {
    std::string log = ReadFile(Sample("english-gw652.log"));
    auto replace = [&](const std::string& from, const std::string& to) {
        const auto at = log.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        log.replace(at, from.size(), to);
    };
    replace("Monday, March 7, 2005 - 2:15 am", date);
    replace("210944 kbytes", std::to_string(annaMb * 1024) + " kbytes");
    replace("Checking user = AMORGAN",
            utf8 ? "Checking user = M\xc3\x9cLLER" : "Checking user = M\xdcLLER");
    replace("(Anna Morgan)", utf8 ? "(Anna M\xc3\xbcller)" : "(Anna M\xfcller)");
    replace("(Bo Chen)", utf8 ? "(Bo\xc5\xbc"
                                "ena \xc5\x81ukasik)"
                              : "(Bozena Lukasik)");
    return log;
}

ProcessResult Batch(const std::string& in, const std::string& out, const std::string& history) {
    return RunProcess(
        {Kestrama32(), "/IN:" + in, "/OUT:" + out, "/OPTIONS:5130;.", "/HISTORY:" + history});
}

bool Holds(const std::string& bytes, const std::string& part) {
    return bytes.find(part) != std::string::npos;
}

}  // namespace

TEST(Utf8Log, EachLogReadsInItsOwnEncodingAndTheHistoryKeepsUtf8) {
    struct Case {
        bool utf8;
        std::string charset, meta, csvName, mhtName, trendsCsvName;
    };
    const std::vector<Case> cases = {
        {true, "\tcharset=\"utf-8\"", "charset=3Dutf-8\">", "M\xc3\x9cLLER;Anna M\xc3\xbcller",
         "M=C3=9CLLER", "M\xc3\x9cLLER;Anna M\xc3\xbcller"},
        {false, "\tcharset=\"iso-8859-1\"", "charset=3DISO-8859-1\">", "M\xdcLLER;Anna M\xfcller",
         "M=DCLLER", "M\xdcLLER;Anna M\xfcller"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string db = dir / "h.sqlite";
        WriteFile(dir / "po.log", NamedLog(c.utf8));
        const ProcessResult r = Batch(dir / "po.log", dir / "po", db);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string mht = ReadFile(dir / "po.mht");
        EXPECT_TRUE(Holds(mht, c.charset + "\r\n")) << c.charset;
        EXPECT_TRUE(Holds(mht, c.meta)) << c.meta;
        EXPECT_FALSE(Holds(mht, c.utf8 ? "8859" : "utf-8")) << c.charset;
        EXPECT_TRUE(Holds(mht, c.mhtName)) << c.mhtName;
        EXPECT_TRUE(Holds(ReadFile(dir / "po.csv"), c.csvName)) << c.charset;
        // The same names in the history, whichever log they came from.
        EXPECT_EQ(SqliteQuery(db,
                              "SELECT username, fullname FROM mailboxes WHERE username LIKE 'M%' "
                              "OR username = 'BCHEN' ORDER BY username"),
                  c.utf8 ? "BCHEN|Bo\xc5\xbc"
                           "ena \xc5\x81ukasik\nM\xc3\x9cLLER|Anna M\xc3\xbcller\n"
                         : "BCHEN|Bozena Lukasik\nM\xc3\x9cLLER|Anna M\xc3\xbcller\n");
        const std::string page = ReadFile(dir / "po-trends.html");
        EXPECT_TRUE(Holds(page, "M\xc3\x9cLLER")) << c.charset;
        EXPECT_TRUE(Holds(page, "Anna M\xc3\xbcller")) << c.charset;
        // The trend CSV sits beside the CSV report and holds the log's bytes, as it does.
        EXPECT_TRUE(Holds(ReadFile(dir / "po-trends.csv"), c.trendsCsvName)) << c.charset;
    }
}

// A run of a Windows-1252 log and a later run of a UTF-8 log of the same post office compare
// their mailboxes by the same names; so does the import of the same logs.
TEST(Utf8Log, RunsOfEitherEncodingCompareByName) {
    TempDir dir;
    const std::string db = dir / "h.sqlite";
    WriteFile(dir / "w1.log", NamedLog(false));
    WriteFile(dir / "w2.log", NamedLog(true, "Monday, March 14, 2005 - 2:15 am", 236));
    ASSERT_EQ(Batch(dir / "w1.log", dir / "po", db).exitCode, 0);
    const ProcessResult r = Batch(dir / "w2.log", dir / "po", db);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string csv = ReadFile(dir / "po-trends.csv");
    EXPECT_TRUE(Holds(csv, "M\xc3\x9cLLER;Anna M\xc3\xbcller;206;236;30;")) << csv;
    EXPECT_FALSE(Holds(ReadFile(dir / "po-trends.html"), "New mailboxes (1)"));

    const std::string imported = dir / "imported.sqlite";
    const ProcessResult i = RunProcess({Kestrama32(), "history", "import", "--history=" + imported,
                                        dir / "w2.log", dir / "w1.log"});
    ASSERT_EQ(i.exitCode, 0) << i.err;
    const std::string names =
        "SELECT username FROM mailboxes WHERE username LIKE 'M%' ORDER BY run_id";
    EXPECT_EQ(SqliteQuery(imported, names), "M\xc3\x9cLLER\nM\xc3\x9cLLER\n");
    EXPECT_EQ(SqliteQuery(db, names), SqliteQuery(imported, names));
}

// One byte that is no UTF-8, anywhere (here in the header only), makes the whole log
// Windows-1252: its UTF-8 names are then read byte by byte as Windows-1252 characters.
TEST(Utf8Log, OneWindows1252ByteInTheHeaderMakesTheLogWindows1252) {
    TempDir dir;
    std::string log = NamedLog(true);
    log.replace(log.find("Post Office= Harbour"), 20,
                "Post Office= H\xe4"
                "fen");
    WriteFile(dir / "po.log", log);
    const std::string db = dir / "h.sqlite";
    const ProcessResult r = Batch(dir / "po.log", dir / "po", db);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Holds(ReadFile(dir / "po.mht"), "\tcharset=\"iso-8859-1\"\r\n"));
    EXPECT_EQ(SqliteQuery(db, "SELECT username FROM mailboxes WHERE username LIKE 'M%'"),
              "M\xc3\x83\xc5\x93LLER\n");
}

// The store does not keep a log's encoding: `history report` writes the trend CSV as the run did,
// Windows-1252 for a Windows-1252 log and UTF-8 for one whose names Windows-1252 cannot hold.
TEST(Utf8Log, HistoryReportWritesTheTrendCsvAsTheRunDid) {
    for (const bool utf8 : {false, true}) {
        TempDir dir;
        const std::string log = dir / "po.log";
        WriteFile(log, NamedLog(utf8));
        const std::string store = dir / "h.sqlite";
        ASSERT_EQ(Batch(log, dir / "run", store).exitCode, 0);
        const ProcessResult r =
            RunProcess({Kestrama32(), "history", "report", "--history=" + store, dir / "again"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string csv = ReadFile(dir / "run-trends.csv");
        EXPECT_TRUE(Holds(csv, utf8 ? "Anna M\xc3\xbcller" : "Anna M\xfcller")) << utf8;
        EXPECT_EQ(ReadFile(dir / "again-trends.csv"), csv) << utf8;
    }
}
