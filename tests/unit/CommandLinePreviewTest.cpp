// The batch command line shown on the Settings tab: its exact text for the usual settings, and
// that a shell and the program's own command-line parser turn it back into the same settings,
// whatever separators and paths are chosen.

#include <gtest/gtest.h>

#include <functional>

#include "SettingsExpect.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "settings/CommandLinePreview.h"

using namespace k32;
using namespace k32::test;

namespace {

ReportSettings Defaults() {
    ReportSettings s;
    SetDefaultSettings(s);
    return s;
}

TEST(CommandLinePreviewTest, TextForTheUsualSettings) {
    struct Case {
        const char* name;
        std::function<void(ReportSettings&)> change;
        std::string expected;
    };
    const Case cases[] = {
        {"defaults, empty paths", [](ReportSettings&) {},
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:1111111111,CSV:1111111111)"},
        {"above value only", [](ReportSettings& s) { s.TOPVALUE = 5; },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:1111111111,CSV:1111111111 /TOP:0,ABOVE:5)"},
        {"top count only", [](ReportSettings& s) { s.TOP = 10; },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:1111111111,CSV:1111111111 /TOP:10,ABOVE:0)"},
        {"history in the default store", [](ReportSettings& s) { s.KeepHistory = true; },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:1111111111,CSV:1111111111 /HISTORY:)"},
        {"history in a file, after the top group",
         [](ReportSettings& s) {
             s.TOP = 10;
             s.KeepHistory = true;
             s.HistoryFile = "/var/lib/k32/h $1.sqlite";
         },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:1111111111,CSV:1111111111 /TOP:10,ABOVE:0 /HISTORY:"/var/lib/k32/h \$1.sqlite")"},
        {"comma as decimal separator", [](ReportSettings& s) { s.DECSeperator = ","; },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;," /COLUMN:0123456789,HTML:1111111111,CSV:1111111111)"},
        {"no HTML columns",
         [](ReportSettings& s) {
             for (auto& slot : s.columns)
                 slot.html = false;
         },
         R"(kestrama32 /IN:"" /OUT:"" /OPTIONS:"5110;." /COLUMN:0123456789,HTML:0000000000,CSV:1111111111)"},
        {"paths, footer, layout",
         [](ReportSettings& s) {
             s.InputPath = "/logs/po 1.log";
             s.OutputBasePath = "/reports/po1";
             s.Sort = 3;
             s.SortDir = 0;
             s.CSVHeader = "Footer";
             s.columns[2].ColumnFieldCode = "2";
             s.columns[6].ColumnFieldCode = "2";
             s.columns[9].csv = false;
         },
         R"(kestrama32 /IN:"/logs/po 1.log" /OUT:"/reports/po1" /OPTIONS:"3011;." /COLUMN:0123452789,HTML:1111111111,CSV:1111111110)"},
        {"characters a shell acts on",
         [](ReportSettings& s) {
             s.InputPath = R"(/a "b" $c `d` \e !f)";
             s.CSVSeperator = "!";
             s.columns[0].ColumnFieldCode = "$";
         },
         R"(kestrama32 /IN:"/a \"b\" \$c \`d\` \\e "'!'"f" /OUT:"" /OPTIONS:"5110"'!'"." /COLUMN:"\$123456789,HTML:1111111111,CSV:1111111111")"},
    };
    for (const Case& c : cases) {
        ReportSettings s = Defaults();
        c.change(s);
        EXPECT_EQ(BuildCommandLinePreview(s), c.expected) << c.name;
    }
}

TEST(CommandLinePreviewTest, ValuesTheSwitchesCannotCarryAreNamedNotDropped) {
    struct Case {
        const char* name;
        std::function<void(ReportSettings&)> change;
        std::string options, columns, note;
    };
    const Case cases[] = {
        {"empty caption placement", [](ReportSettings& s) { s.CSVHeader = ""; }, "5112;.",
         "0123456789", "CSVHeader is not Header, Footer or Disabled (2 written: no caption lines)"},
        {"caption placement in small letters", [](ReportSettings& s) { s.CSVHeader = "footer"; },
         "5112;.", "0123456789", "CSVHeader"},
        {"missing slot text", [](ReportSettings& s) { s.columns[2].ColumnFieldCode = ""; },
         "5110;.", "01-3456789", "COLUMN03 is not one character (- written: an empty column)"},
        {"long slot text", [](ReportSettings& s) { s.columns[9].ColumnFieldCode = "12"; }, "5110;.",
         "012345678-", "COLUMN10"},
        {"empty separators",
         [](ReportSettings& s) {
             s.CSVSeperator = "";
             s.DECSeperator = "";
         },
         "5110;.", "0123456789", "CSVSeperator cannot be written as one option character (;"},
        {"small letter separator", [](ReportSettings& s) { s.CSVSeperator = "x"; }, "5110;.",
         "0123456789", "CSVSeperator"},
        {"two-byte separator", [](ReportSettings& s) { s.CSVSeperator = "\xC2\xA7"; }, "5110;.",
         "0123456789", "CSVSeperator"},
        {"blank decimal separator", [](ReportSettings& s) { s.DECSeperator = " "; }, "5110;.",
         "0123456789", "DECSeperator"},
        {"sort field above 9", [](ReportSettings& s) { s.Sort = 12; }, "9110;.", "0123456789",
         "Sort is above 9 (9 written)"},
        {"path with a trailing blank", [](ReportSettings& s) { s.InputPath = "/logs/a "; },
         "5110;.", "0123456789", "IN cannot be passed exactly"},
        {"path too long for its switch",
         [](ReportSettings& s) { s.OutputBasePath = "/" + std::string(250, 'r'); }, "5110;.",
         "0123456789", "OUT cannot be passed exactly"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReportSettings s = Defaults();
        c.change(s);
        const std::string line = BuildCommandLinePreview(s);
        EXPECT_NE(line.find(" /OPTIONS:\"" + c.options + "\" "), std::string::npos) << line;
        EXPECT_NE(line.find(" /COLUMN:" + c.columns + ",HTML:"), std::string::npos) << line;
        const auto note = line.find(" # not as set here: ");
        ASSERT_NE(note, std::string::npos) << line;
        EXPECT_NE(line.find(c.note, note), std::string::npos) << line;
    }
    EXPECT_EQ(BuildCommandLinePreview(Defaults()).find('#'), std::string::npos);
}

// The words a POSIX shell makes of `line`, with `kestrama32` defined as a printer of its
// arguments, each followed by a NUL byte.
std::vector<std::string> ShellWords(const std::string& line) {
    const ProcessResult r =
        RunProcess({"/bin/sh", "-c", "kestrama32() { printf '%s\\0' \"$@\"; }\n" + line});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t end; (end = r.out.find('\0', start)) != std::string::npos; start = end + 1)
        words.push_back(r.out.substr(start, end - start));
    return words;
}

// Settings through the preview, the shell and the parser; `expected` adjusts what should come
// back where a stand-in was written.
void ExpectRoundTrip(const ReportSettings& s,
                     const std::function<void(ReportSettings&)>& expected) {
    const std::string line = BuildCommandLinePreview(s);
    SCOPED_TRACE(line);
    std::vector<std::string> words = ShellWords(line);
    AppState state;
    ParseCommandLine(state, words, "/opt/kestrama");
    EXPECT_FALSE(state.WindowMode);
    ReportSettings want = s;
    expected(want);
    ExpectSameSettings(state.settings, want);
}

TEST(CommandLinePreviewTest, AShellAndTheParserGiveBackTheSettings) {
    const std::string separators = ";:.,@#$%!?`\"\\' &|<>*~(){}[]^=-+/_\t";
    for (char sep : separators) {
        for (const char* dec : {".", ","}) {
            ReportSettings s = Defaults();
            s.CSVSeperator = std::string(1, sep);
            s.DECSeperator = dec;
            ExpectRoundTrip(s, [](ReportSettings&) {});
        }
    }

    const std::string paths[] = {
        "/home/ann/po 1/gwcheck.log",
        R"(/tmp/a"b)",
        "/tmp/$HOME and ${HOME}",
        "/tmp/`id` and $(id)",
        R"(/tmp/back\slash\\ and \")",
        "/tmp/it's",
        "/tmp/bang!x and !! and !$",
        "/tmp/#hash ~tilde *.log ?",
        "/tmp/semi;colon & pipe | <in >out",
        "/tmp/M\xC3\xBCller \xE9",
        "/tmp/new\nline",
        "",
    };
    for (const std::string& path : paths) {
        ReportSettings s = Defaults();
        s.InputPath = path;
        s.OutputBasePath = path + "/out";
        ExpectRoundTrip(s, [](ReportSettings&) {});
    }

    // Every other setting away from its default, repeats and odd slot texts included.
    ReportSettings s = Defaults();
    s.Sort = 9;
    s.SortDir = 0;
    s.DebugMode = 3;
    s.CSVHeader = "Disabled";
    s.CSVSeperator = "$";
    s.DECSeperator = ",";
    const char* codes[] = {"9", "2", "2", "x", "$", " ", "\"", "0", "!", "'"};
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        s.columns[i].ColumnFieldCode = codes[i];
        s.columns[i].html = i % 2 == 0;
        s.columns[i].csv = i % 3 == 0;
    }
    s.TOP = 4294967295u;
    s.TOPVALUE = 123456;
    ExpectRoundTrip(s, [](ReportSettings&) {});
    // History kept, with and without the top group, in the default store and in a file.
    s.KeepHistory = true;
    ExpectRoundTrip(s, [](ReportSettings&) {});
    s.HistoryFile = "/tmp/his tory/$h.sqlite";
    ExpectRoundTrip(s, [](ReportSettings&) {});
    s.TOP = s.TOPVALUE = 0;
    ExpectRoundTrip(s, [](ReportSettings&) {});

    // Stand-ins come back as stand-ins, and behave as the values they replace.
    ReportSettings foreign = Defaults();
    foreign.CSVHeader = "";
    foreign.columns[2].ColumnFieldCode = "";
    foreign.TOPVALUE = 7;
    ExpectRoundTrip(foreign, [](ReportSettings& want) {
        want.CSVHeader = "Disabled";
        want.columns[2].ColumnFieldCode = "-";
    });
}

}  // namespace
