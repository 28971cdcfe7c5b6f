// The two web reports: how values are grouped and encoded, the frame and image parts, the
// mailbox report's columns and counts, the expire report's columns, and that a report is only
// ever replaced whole.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "analysis/Totals.h"
#include "app/AppState.h"
#include "app/RunProcessing.h"
#include "report/MhtEncoding.h"
#include "report/MhtExpireReport.h"
#include "report/MhtFrame.h"
#include "report/MhtMailboxReport.h"
#include "report/ReportImages.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

const std::string kDelimiter = "------=_NextPart_000_0000_01C48ED5.5F434980";
const std::string kCellOpen = "<td valign=3D\"top\" align=3D\"";
const std::string kCaptionOpen = "<td valign=3D\"top\" align=3D\"LEFT\"><b>";

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Cwd() {
    return fs::current_path().string();
}

// The file's lines without their line ends. Every line must end with CR LF and hold no other
// CR or LF.
std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos) {
            ADD_FAILURE() << "the last line has no line end";
            lines.push_back(bytes.substr(start));
            break;
        }
        if (lf == start || bytes[lf - 1] != '\r')
            ADD_FAILURE() << "line " << lines.size() + 1 << " ends without CR LF";
        std::string line = bytes.substr(start, lf > start ? lf - start - 1 : 0);
        if (line.find('\r') != std::string::npos)
            ADD_FAILURE() << "line " << lines.size() + 1 << " holds a CR";
        lines.push_back(std::move(line));
        start = lf + 1;
    }
    return lines;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line)
            return i;
    return lines.size();
}

// The text of a General Information row: what its value cell holds after the cell's opening.
std::string InfoValue(const std::vector<std::string>& lines, const std::string& label) {
    const std::size_t i = IndexOf(lines, "<td valign=3D\"top\" width=3D\"40%\">" + label + "<br>");
    if (i + 2 >= lines.size()) {
        ADD_FAILURE() << "no row " << label;
        return {};
    }
    const std::string& value = lines[i + 2];
    return value.substr(value.find('>') + 1);
}

// The report's own table: its captions, and its rows with each cell as `ALIGN">text`.
struct ReportTable {
    std::vector<std::string> widths;  // of all three tables of the page
    std::vector<std::string> captions;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> raw;  // from "<tbody> <tr>" up to the table's end
};

ReportTable ParseTable(const std::vector<std::string>& lines) {
    ReportTable t;
    for (const std::string& line : lines) {
        const std::string widthAttr = "width=3D\"";
        if (line.rfind("<table cellpadding", 0) == 0) {
            const std::size_t p = line.rfind(widthAttr) + widthAttr.size();
            t.widths.push_back(line.substr(p, line.find('"', p) - p));
        }
    }
    std::size_t i = IndexOf(lines, "<tbody> <tr>");
    const std::size_t end = IndexOf(lines, "</tbody> </table>");
    if (end >= lines.size() || i >= end) {
        ADD_FAILURE() << "no report table";
        return t;
    }
    t.raw.assign(lines.begin() + i, lines.begin() + end);
    for (++i; i < end && lines[i] != "</tr>"; ++i)
        t.captions.push_back(lines[i].substr(
            kCaptionOpen.size(),
            lines[i].size() - kCaptionOpen.size() - std::string("<br> </b> </td>").size()));
    for (++i; i < end; ++i) {
        if (lines[i] == "<tr>") {
            t.rows.emplace_back();
        } else if (lines[i] != "</tr>") {
            const std::string& cell = lines[i];
            t.rows.back().push_back(
                cell.substr(kCellOpen.size(),
                            cell.size() - kCellOpen.size() - std::string("<br> </td>").size()));
        }
    }
    return t;
}

std::string DecodeBase64(const std::string& text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=')
            break;
        const std::size_t v = kAlphabet.find(c);
        if (v == std::string::npos) {
            ADD_FAILURE() << "not a base64 character: " << c;
            continue;
        }
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

using Fields = std::array<std::string, kMailboxFields>;

// What a run hands the writers: the settings, the run's data and its top count; where their
// lines go.
struct WriterInputs {
    ReportSettings settings;
    bool WindowMode = false;
    LogData log;
    std::uint32_t reportTopCount = 0;
    std::function<void(std::string_view)> screenLine;
};

RunContext ContextOf(WriterInputs& inputs) {
    RunContext ctx;
    ctx.windowMode = inputs.WindowMode;
    ctx.debugMode = inputs.settings.DebugMode;
    ctx.screenLine = inputs.screenLine;
    return ctx;
}

// A report state as a run leaves it before the writer: default settings, the debug log off,
// the report in a temporary folder.
class MhtReport : public ::testing::Test {
  protected:
    MhtReport() {
        SetDefaultSettings(state_.settings);
        state_.settings.DebugMode = 3;
        state_.WindowMode = false;
        RunSummary& sum = state_.log.summary;
        sum.MhtReportPath = path_;
        sum.OutputFolder = dir_.path();
        sum.versionText = "6.5.2";
        sum.processedOn = "Monday, March 7, 2005 - 2:15 am";
        sum.postOfficeName = "Harbour";
        sum.pathToPO = "FS1\\MAIL:\\grpwise\\harbour";
        sum.largestSize = sum.averageSize = sum.totalSize = "0";
    }

    void AddMailbox(const Fields& fields) {
        MailboxRecord rec;
        for (std::size_t f = 0; f < kMailboxFields; ++f)
            rec[f] = fields[f];
        state_.log.mailboxes.Append(rec);
    }
    void AddExpire(const std::array<std::string, kExpireFields>& fields) {
        ExpireRecord rec;
        for (std::size_t f = 0; f < kExpireFields; ++f)
            rec[f] = fields[f];
        state_.log.expires.Append(rec);
    }
    void EnableOnly(const std::vector<std::string>& codes) {
        for (auto& slot : state_.settings.columns)
            slot.html = false;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            state_.settings.columns[i].ColumnFieldCode = codes[i];
            state_.settings.columns[i].html = true;
        }
    }

    // Each writer with what a run hands it.
    void WriteMailboxReport() {
        RunContext ctx = ContextOf(state_);
        const LogData& log = state_.log;
        WriteMhtMailboxReport(ctx, {log.mailboxes, log.summary, state_.settings,
                                    ReportRows(state_.reportTopCount, log.mailboxes.Count())});
    }
    void WriteExpireReport() {
        RunContext ctx = ContextOf(state_);
        const LogData& log = state_.log;
        WriteMhtExpireReport(ctx, {log.expires, log.summary, state_.settings,
                                   ReportRows(state_.reportTopCount, log.expires.Count())});
    }
    std::vector<std::pair<std::string, std::function<void()>>> BothWriters() {
        return {{"mailbox", [this] { WriteMailboxReport(); }},
                {"expire", [this] { WriteExpireReport(); }}};
    }
    std::vector<std::string> WriteMailbox() {
        WriteMailboxReport();
        return CrLfLines(ReadFile(path_));
    }
    std::vector<std::string> WriteExpire() {
        WriteExpireReport();
        return CrLfLines(ReadFile(path_));
    }

    TempDir dir_;
    std::string path_ = dir_ / "report.mht";
    WriterInputs state_;
};

// "U1", "U2", ...: the user names of the generated tables.
std::string UserNo(std::size_t i) {
    return std::string("U").append(std::to_string(i));
}

const Fields kAnn = {"ANN",
                     "Ann M\xFC"
                     "ller",
                     "12",
                     "3",
                     "7",
                     "1234",
                     "a1x",
                     "n/a",
                     "75%",
                     "No"};

// ---------------------------------------------------------------------------------------------
// Values

TEST(MhtValues, GroupDigitsGroupsByThreesFromTheRight) {
    struct Case {
        std::string digits, separator, expected;
    };
    const std::vector<Case> cases = {
        {"1234567", ".", "1.234.567"},
        {"123456", ".", "123.456"},
        {"1234", ".", "1.234"},
        {"123456789", ".", "123.456.789"},
        {"1234567", ",", "1,234,567"},
        {"999", ".", "999"},
        {"-1", ".", "-1"},
        {"n/a", ".", "n/a"},
        {"75%", ",", "75%"},
        {"", ".", ""},
        // A sign stays in front of the groups rather than taking a digit's place.
        {"-123", ".", "-123"},
        {"-1234", ".", "-1.234"},
        {"-123456", ",", "-123,456"},
        {"-1234567", ".", "-1.234.567"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GroupDigits(c.digits, c.separator), c.expected)
            << c.digits << " with " << c.separator;
}

TEST(MhtValues, GroupDigitsCutsTo255) {
    const std::string digits(255, '9');
    const std::string grouped = GroupDigits(digits, ".");
    EXPECT_EQ(grouped.size(), 255u);
    EXPECT_EQ(grouped.substr(0, 8), "999.999.");
}

TEST(MhtValues, HtmlValueEscapesThenEncodesQuotedPrintable) {
    struct Case {
        std::string value, expected;
    };
    const std::vector<Case> cases = {
        {"M\xFC"
         "ller",
         "M=FCller"},
        {"<b>", "&lt;b&gt;"},
        {"a=b", "a=3Db"},
        {"&", "&amp;"},
        {"say \"hi\"", "say &quot;hi&quot;"},
        {"\xE9t\xE9 \xFF\x80", "=E9t=E9 =FF=80"},
        {"cr\rlf\nnul", "cr=0Dlf=0Anul"},
        {std::string("a\0b", 3), "a=00b"},
        {"tab\tstays", "tab\tstays"},
        {"Plain ASCII: FS1\\MAIL:\\po 75% (abc) [x] 'q' #1 ~/.-_",
         "Plain ASCII: FS1\\MAIL:\\po 75% (abc) [x] 'q' #1 ~/.-_"},
        {"", ""},
        // Escaping comes first, so the markup it adds is not encoded again.
        {"<a=\"\xE9\">", "&lt;a=3D&quot;=E9&quot;&gt;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlValue(c.value), c.expected) << c.value;
}

TEST(MhtValues, FileUrlIsAbsoluteAndPercentEncoded) {
    struct Case {
        std::string path, expected;
    };
    const std::vector<Case> cases = {
        {"/home/ann/reports/kestrama.gif", "file:///home/ann/reports/kestrama.gif"},
        {"/", "file:///"},
        {"/a-b_c.d~e/F9", "file:///a-b_c.d~e/F9"},
        {"/my reports/M\xFC"
         "ller.mht",
         "file:///my%20reports/M%FCller.mht"},
        {"/a#b?c%d&e=f\\g", "file:///a%23b%3Fc%25d%26e%3Df%5Cg"},
        {"result.mht", "file://" + Cwd() + "/result.mht"},
        {"reports/result.mht", "file://" + Cwd() + "/reports/result.mht"},
    };
    for (const Case& c : cases) {
        const std::string url = FileUrl(c.path);
        EXPECT_EQ(url, c.expected) << c.path;
        EXPECT_EQ(url.find("file:////"), std::string::npos) << c.path;
    }
}

// ---------------------------------------------------------------------------------------------
// The frame

TEST_F(MhtReport, StartsWithTheMimeHeaderAndEndsWithTheClosingDelimiter) {
    AddMailbox(kAnn);
    const std::vector<std::string> lines = WriteMailbox();
    const std::vector<std::string> top = {
        "Subject: Kestrama 32 by the Kestrama team",
        "Date: CurrentTime",
        "MIME-Version: 1.0",
        "Content-Type: multipart/related;",
        "\tboundary=\"----=_NextPart_000_0000_01C48ED5.5F434980\";",
        "\ttype=\"text/html\"",
        "X-MimeOLE: Produced By Microsoft MimeOLE V6.00.2800.1441",
        "",
        "This is a multi-part message in MIME format.",
        "",
        kDelimiter,
        "Content-Type: text/html;",
        "\tcharset=\"iso-8859-1\"",
        "Content-Transfer-Encoding: quoted-printable",
        "Content-Location: file://" + path_,
        "",
    };
    ASSERT_GT(lines.size(), top.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + top.size()), top);
    EXPECT_EQ(lines.back(), kDelimiter + "--");
    EXPECT_TRUE(EndsWith(ReadFile(path_), kDelimiter + "--\r\n"));
}

TEST_F(MhtReport, GeneralInformationShowsTheSummaryEncoded) {
    RunSummary& sum = state_.log.summary;
    sum.versionText = "6.5.2";
    sum.processedOn = "Montag, 7. M\xE4rz 2005";
    sum.postOfficeName = "R&D <Lab>";
    sum.pathToPO = "FS1\\MAIL:\\po=1";
    sum.languageName = "Deutsch / German";
    sum.largestSize = "1234";
    sum.averageSize = "617";
    sum.totalSize = "1234567";
    state_.settings.Sort = 2;
    AddMailbox(kAnn);
    const std::vector<std::string> lines = WriteMailbox();
    EXPECT_EQ(InfoValue(lines, "Novell Groupwise Version"), "6.5.2<br>");
    EXPECT_EQ(InfoValue(lines, "Processed on"), "Montag, 7. M=E4rz 2005<br>");
    EXPECT_EQ(InfoValue(lines, "Post Office Name"), "R&amp;D &lt;Lab&gt;<br>");
    EXPECT_EQ(InfoValue(lines, "Post Office Path"), "FS1\\MAIL:\\po=3D1<br>");
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "1<br>");
    EXPECT_EQ(InfoValue(lines, "Tabel sorted by field"), "Inbox<br>");
    EXPECT_EQ(InfoValue(lines, "Logfile language"), "Deutsch / German <br>");
    EXPECT_EQ(InfoValue(lines, "Largest Mailbox"), "1.234 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Average Mailbox"), "617 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Total Mailbox Size"), "1.234.567 MB<br>");
    // The version row alone opens its value cell with a lower-case "3d".
    const std::size_t version =
        IndexOf(lines, "<td valign=3D\"top\" width=3D\"40%\">Novell Groupwise Version<br>");
    ASSERT_LT(version + 2, lines.size());
    EXPECT_EQ(lines[version + 2],
              "<td valign=3D\"top\" width=3d\"60%\" rowspan=3D\"1\" colspan=3D\"2\">6.5.2<br>");
}

TEST_F(MhtReport, ImagePartsCarryBothImagesByContentId) {
    AddMailbox(kAnn);
    const std::vector<std::string> lines = WriteMailbox();
    const std::vector<std::string> parts = BuildImageParts(dir_.path());

    // The parts follow the page's last line directly and end the file.
    const std::size_t html = IndexOf(lines, "</html>");
    ASSERT_LT(html, lines.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + html + 1, lines.end()), parts);

    struct Image {
        std::string name;
        const unsigned char* data;
        std::size_t size;
    };
    const std::vector<Image> images = {{"kestrama.gif", kBannerGif, kBannerGifSize},
                                       {"novell.gif", kBadgeGif, kBadgeGifSize}};
    std::size_t i = 0;
    for (const Image& image : images) {
        SCOPED_TRACE(image.name);
        ASSERT_LT(i + 6, parts.size());
        EXPECT_EQ(parts[i++], kDelimiter);
        EXPECT_EQ(parts[i++], "Content-Type: application/octet-stream");
        EXPECT_EQ(parts[i++], "Content-Transfer-Encoding: base64");
        EXPECT_EQ(parts[i++], "Content-Location: file://" + dir_.path() + "/" + image.name);
        EXPECT_EQ(parts[i++], "Content-ID: <" + image.name + ">");
        EXPECT_EQ(parts[i++], "");
        std::string base64;
        std::vector<std::size_t> lengths;
        for (; i < parts.size() && !parts[i].empty(); ++i) {
            base64 += parts[i];
            lengths.push_back(parts[i].size());
        }
        ASSERT_FALSE(lengths.empty());
        for (std::size_t k = 0; k + 1 < lengths.size(); ++k)
            EXPECT_EQ(lengths[k], 76u);
        EXPECT_LE(lengths.back(), 76u);
        EXPECT_EQ(DecodeBase64(base64),
                  std::string(reinterpret_cast<const char*>(image.data), image.size));
        ASSERT_LT(i, parts.size());
        EXPECT_EQ(parts[i++], "");
    }
    ASSERT_EQ(i + 1, parts.size());
    EXPECT_EQ(parts[i], kDelimiter + "--");

    // The page finds its images by Content-ID; the only file URL in the page is its own place.
    EXPECT_LT(IndexOf(lines, "<img src=3D\"cid:kestrama.gif\" alt=3D\"Kestrama\" border=3D\"0\">"),
              html);
    EXPECT_LT(IndexOf(lines,
                      "target=3D\"_blank\"><img src=3D\"cid:novell.gif\" alt=3D\"Novell\" "
                      "width=3D\"85\" height=3D\"20\""),
              html);
    for (std::size_t k = 0; k < html; ++k) {
        if (k == 14)
            continue;  // the page's own Content-Location
        EXPECT_EQ(lines[k].find("file:"), std::string::npos) << lines[k];
    }
}

TEST(MhtImageParts, LocationsAreFileUrlsOfTheOutputFolder) {
    struct Case {
        std::string folder, expected;  // expected: the banner's location
    };
    const std::vector<Case> cases = {
        {"/home/ann/reports", "file:///home/ann/reports/kestrama.gif"},
        {"/home/ann/M\xFC"
         "ller reports",
         "file:///home/ann/M%FCller%20reports/kestrama.gif"},
        {"reports", "file://" + Cwd() + "/reports/kestrama.gif"},
        {"", "file://" + Cwd() + "/kestrama.gif"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> parts = BuildImageParts(c.folder);
        ASSERT_GT(parts.size(), 4u);
        EXPECT_EQ(parts[3], "Content-Location: " + c.expected) << c.folder;
    }
}

TEST(MhtImageParts, ReportInTheRootFolderLocatesImagesThere) {
    const std::vector<std::string> parts = BuildImageParts(OutputFolderOf("/result"));
    ASSERT_GT(parts.size(), 4u);
    EXPECT_EQ(parts[3], "Content-Location: file:///kestrama.gif");
}

// ---------------------------------------------------------------------------------------------
// The mailbox table

TEST_F(MhtReport, CountCellAddsTheListedRowsWhenFewer) {
    struct Case {
        std::uint32_t topCount;
        std::string countCell;
        std::size_t rows;
    };
    const std::vector<Case> cases = {
        {10, "25 ,and displayed: 10<br>", 10},
        {0, "25<br>", 25},
        {25, "25<br>", 25},
        {26, "25<br>", 25},
        {1, "25 ,and displayed: 1<br>", 1},
    };
    for (std::size_t i = 1; i <= 25; ++i)
        AddMailbox(
            {UserNo(i), "User", "1", "1", "1", std::to_string(100 - i), "u", "n/a", "n/a", "No"});
    for (const Case& c : cases) {
        state_.reportTopCount = c.topCount;
        state_.settings.TOP = 7;  // what the user set; the run's own count decides
        const std::vector<std::string> lines = WriteMailbox();
        EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), c.countCell) << c.topCount;
        const ReportTable table = ParseTable(lines);
        ASSERT_EQ(table.rows.size(), c.rows) << c.topCount;
        EXPECT_EQ(table.rows.front().front(), "LEFT\">U1");
        EXPECT_EQ(table.rows.back().front(), "LEFT\">" + UserNo(c.rows));
    }
}

TEST_F(MhtReport, CellsFollowTheSlotsInOrder) {
    EnableOnly({"9", "0", "1", "2", "3", "4", "5", "6", "7", "8"});
    state_.settings.DECSeperator = ",";
    AddMailbox({"ANN",
                "Ann <M\xFC"
                "ller>",
                "1234", "3", "12345", "1234567", "a1x", "n/a", "75%", "Size"});
    state_.log.summary.totalSize = "1234567";
    const std::vector<std::string> lines = WriteMailbox();
    EXPECT_EQ(InfoValue(lines, "Total Mailbox Size"), "1,234,567 MB<br>");
    const ReportTable table = ParseTable(lines);
    EXPECT_EQ(table.captions, (std::vector<std::string>{
                                  "UID", "Username", "Fullname", "Size (MB)", "Inbox", "Outbox",
                                  "Wastebin", "Sizelimit (MB)", "Threshold", "Exceeded"}));
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0], (std::vector<std::string>{
                                 "RIGHT\">a1x", "LEFT\">ANN", "LEFT\">Ann &lt;M=FCller&gt;",
                                 "RIGHT\">1,234,567", "RIGHT\">1,234", "RIGHT\">3",
                                 "RIGHT\">12,345", "RIGHT\">n/a", "RIGHT\">75%", "RIGHT\">Size"}));
}

TEST_F(MhtReport, UnknownColumnCodeGivesEmptyCaptionAndCell) {
    EnableOnly({"0", "X"});
    AddMailbox(kAnn);
    const ReportTable table = ParseTable(WriteMailbox());
    EXPECT_EQ(table.captions, (std::vector<std::string>{"Username", ""}));
    ASSERT_EQ(table.rows.size(), 1u);
    ASSERT_EQ(table.raw.size(), 8u);
    EXPECT_EQ(table.raw[6], kCellOpen + "<br> </td>");
}

TEST_F(MhtReport, NoSlotEnabledLeavesEmptyRows) {
    for (auto& slot : state_.settings.columns)
        slot.html = false;
    AddMailbox(kAnn);
    AddMailbox(kAnn);
    const ReportTable table = ParseTable(WriteMailbox());
    EXPECT_EQ(table.raw, (std::vector<std::string>{"<tbody> <tr>", "</tr>", "<tr>", "</tr>", "<tr>",
                                                   "</tr>"}));
}

TEST_F(MhtReport, GroupWise55LeavesOutTheColumnsItNeverFills) {
    struct Case {
        std::string version, width;
        std::vector<std::string> captions;
    };
    const std::vector<std::string> all = {"Username", "Fullname", "Size (MB)",      "Inbox",
                                          "Outbox",   "Wastebin", "Sizelimit (MB)", "Threshold",
                                          "Exceeded", "UID"};
    const std::vector<std::string> filtered = {"Username", "Size (MB)", "Inbox",
                                               "Outbox",   "Wastebin",  "UID"};
    const std::vector<Case> cases = {
        {"5.5  ", "600", filtered},
        {"6.5.5", "600", filtered},
        {"6.5.2", "900", all},
        {"5.0.1", "900", all},
    };
    AddMailbox(kAnn);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        state_.log.summary.versionText = c.version;
        const ReportTable table = ParseTable(WriteMailbox());
        EXPECT_EQ(table.widths, (std::vector<std::string>{c.width, c.width, c.width}));
        EXPECT_EQ(table.captions, c.captions);
        ASSERT_EQ(table.rows.size(), 1u);
        EXPECT_EQ(table.rows[0].size(), c.captions.size());
        for (const ColumnSlot& slot : state_.settings.columns)
            EXPECT_TRUE(slot.html);
    }
}

TEST_F(MhtReport, EmptyTableHasTheHeaderRowOnly) {
    const std::vector<std::string> lines = WriteMailbox();
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "0<br>");
    EXPECT_EQ(InfoValue(lines, "Largest Mailbox"), "0 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Average Mailbox"), "0 MB<br>");
    EXPECT_EQ(InfoValue(lines, "Total Mailbox Size"), "0 MB<br>");
    const ReportTable table = ParseTable(lines);
    EXPECT_EQ(table.captions.size(), 10u);
    EXPECT_TRUE(table.rows.empty());
    EXPECT_EQ(lines.back(), kDelimiter + "--");
}

TEST_F(MhtReport, SortFieldNamesDifferBetweenTheReports) {
    struct Case {
        std::uint8_t sort;
        std::string mailbox, expire;
    };
    const std::vector<Case> cases = {
        {0, "Username", "Username"}, {1, "Fullname", "Fullname"},  {2, "Inbox", "Size Mail"},
        {3, "Outbox", "Size Task"},  {4, "Wastebin", "Size Appt"}, {5, "Size", "Size"},
        {6, "UID", "UID"},
    };
    for (const Case& c : cases) {
        state_.settings.Sort = c.sort;
        EXPECT_EQ(InfoValue(WriteMailbox(), "Tabel sorted by field"), c.mailbox + "<br>");
        EXPECT_EQ(InfoValue(WriteExpire(), "Tabel sorted by field"), c.expire + "<br>");
    }
}

// A mailbox run through the whole pipeline: the above value picks the rows of this run's
// reports, and the user's top count stays as set.
TEST(MhtMailboxRun, AboveValueChoosesRowsWithoutChangingTheTopSetting) {
    TempDir dir;
    std::string log =
        "Novell GroupWise - GWCHKSRV - Version 6.5.2\r\n"
        "  Processed on Monday, March 7, 2005 - 2:15 am\r\n"
        "Processing information for this run:\r\n"
        "  Path to PO   = FS1\\MAIL:\\grpwise\\harbour\r\n"
        "    Post Office= Harbour\r\n"
        "  Action       = Mailbox Statistics\r\n"
        "*** Processing post office 'Harbour.Coast' ***\r\n";
    const std::vector<int> sizes = {100, 900, 400, 600, 500};
    for (std::size_t i = 0; i < sizes.size(); ++i)
        log += "  Checking user = USER" + std::to_string(i) + "  (u" + std::to_string(i) +
               ")  1 bytes (User " + std::to_string(i) + ")\r\n" +
               "  User stats:  1 InBox, 2 OutBox, 3 WasteBasket\r\n      " +
               std::to_string(sizes[i] * 1024) + " kbytes in use by user's mail\r\n";
    WriteFile(dir / "po.log", log);
    AppState state;
    PrepareBatchState(state, dir / "po.log", dir / "report");
    state.settings.TOP = 4;
    state.settings.TOPVALUE = 500;
    ASSERT_EQ(RunProcessing(state), RunOutcome::ReportsWritten);
    const std::vector<std::string> lines = CrLfLines(ReadFile(dir / "report.mht"));
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "5 ,and displayed: 3<br>");
    EXPECT_EQ(InfoValue(lines, "Total Mailbox Size"), "2.500 MB<br>");
    const ReportTable table = ParseTable(lines);
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[2][2], "RIGHT\">500");
    EXPECT_EQ(state.settings.TOP, 4u);
    EXPECT_EQ(state.lastRun->topCount, 3u);
}

// ---------------------------------------------------------------------------------------------
// Failing writes

// Holds the size of files this process may write at `bytes` while it lives; a write past it
// fails instead of raising a signal.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit old_{};
    sighandler_t old_handler_;
};

TEST_F(MhtReport, FailingWriteKeepsThePreviousReportAndTheSettings) {
    state_.log.summary.versionText = "5.5  ";
    AddMailbox(kAnn);
    for (const auto& [name, write] : BothWriters()) {
        SCOPED_TRACE(name);
        const std::string previous = "the previous report\r\n";
        WriteFile(path_, previous);
        {
            FileSizeLimit limit(1024);  // far less than the report
            try {
                write();
                ADD_FAILURE() << "the write did not fail";
            } catch (const KestramaError& e) {
                EXPECT_EQ(e.kind, ErrorKind::InputOutput);
            }
        }
        EXPECT_EQ(ReadFile(path_), previous);
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(dir_.path()))
            files.push_back(e.path().filename().string());
        EXPECT_EQ(files, std::vector<std::string>{"report.mht"});
        for (const ColumnSlot& slot : state_.settings.columns)
            EXPECT_TRUE(slot.html);
    }
}

TEST_F(MhtReport, MissingOutputFolderRaisesTheInputOutputError) {
    state_.log.summary.MhtReportPath = dir_ / "missing/report.mht";
    state_.log.summary.OutputFolder = dir_ / "missing";
    for (const auto& [name, write] : BothWriters()) {
        SCOPED_TRACE(name);
        try {
            write();
            ADD_FAILURE() << "the write did not fail";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        }
        EXPECT_TRUE(fs::is_empty(dir_.path()));
    }
}

// ---------------------------------------------------------------------------------------------
// The expire report

TEST(MhtExpireColumns, CaptionsAndCellsByCode) {
    struct Case {
        std::string code, caption, cell;
    };
    ExpireRecord rec;
    const std::array<std::string, kExpireFields> fields = {"ANN",     "206", "1234", "5",
                                                           "1234567", "",    "BOB"};
    for (std::size_t f = 0; f < kExpireFields; ++f)
        rec[f] = fields[f];
    ExpireTable table;
    table.Append(rec);
    const ExpireRecordView view = table.Get(1);
    const std::vector<Case> cases = {
        {"0", "Username", "LEFT|ANN"},
        {"1", "Fullname", "LEFT|206"},
        {"2", "Size MAIL", "RIGHT|1.234"},
        {"3", "Size TASK", "RIGHT|5"},
        {"4", "Size APPT", "RIGHT|1.234.567"},
        // The codes without an expire field of their own show field 6.
        {"5", "Wastebin", "RIGHT|BOB"},
        {"6", "Sizelimit (MB)", "RIGHT|BOB"},
        {"7", "Threshold", "RIGHT|BOB"},
        {"8", "Exceeded", "RIGHT|BOB"},
        {"9", "UID", "RIGHT|BOB"},
        {"X", "", "|"},
        {"10", "", "|"},
        {"", "", "|"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpireColumnCaption(c.code), c.caption) << c.code;
        const HtmlCellText cell = ExpireHtmlCell(view, c.code, ".");
        EXPECT_EQ(std::string(cell.alignment) + "|" + cell.text, c.cell) << c.code;
    }
}

TEST_F(MhtReport, ExpireTableShowsTheSizesInLogOrder) {
    EnableOnly({"0", "1", "2", "3", "4", "5", "9"});
    state_.log.summary.versionText = "5.5  ";  // no columns are left out of this report
    AddExpire({"ANN", "ANN", "1500", "0", "3", "", ""});
    AddExpire({"BOB", "472", "12", "1", "0", "", "ANN"});
    const std::vector<std::string> lines = WriteExpire();
    const ReportTable table = ParseTable(lines);
    EXPECT_EQ(table.widths, (std::vector<std::string>{"900", "900", "900"}));
    EXPECT_EQ(table.captions,
              (std::vector<std::string>{"Username", "Fullname", "Size MAIL", "Size TASK",
                                        "Size APPT", "Wastebin", "UID"}));
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0],
              (std::vector<std::string>{"LEFT\">ANN", "LEFT\">ANN", "RIGHT\">1.500", "RIGHT\">0",
                                        "RIGHT\">3", "RIGHT\">", "RIGHT\">"}));
    EXPECT_EQ(table.rows[1],
              (std::vector<std::string>{"LEFT\">BOB", "LEFT\">472", "RIGHT\">12", "RIGHT\">1",
                                        "RIGHT\">0", "RIGHT\">ANN", "RIGHT\">ANN"}));
    EXPECT_EQ(lines.back(), kDelimiter + "--");
}

TEST_F(MhtReport, ExpireTableListsTheTopCount) {
    for (std::size_t i = 1; i <= 10; ++i)
        AddExpire({UserNo(i), "", "1", "0", "0", "", ""});
    state_.reportTopCount = 3;
    const std::vector<std::string> lines = WriteExpire();
    EXPECT_EQ(InfoValue(lines, "Number of mailboxes counted"), "10 ,and displayed: 3<br>");
    const ReportTable table = ParseTable(lines);
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[2][0], "LEFT\">U3");
}

TEST_F(MhtReport, ExpireCellsAreCutBeforeTheyAreEncoded) {
    EnableOnly({"0", "2"});
    AddExpire({std::string(255, '='), "", std::string(255, '9'), "", "", "", ""});
    const HtmlCellText name = ExpireHtmlCell(state_.log.expires.Get(1), "0", ".");
    const HtmlCellText mail = ExpireHtmlCell(state_.log.expires.Get(1), "2", ".");
    // The alignment word, the quotation mark and ">" count towards the 255.
    EXPECT_EQ(name.text, std::string(249, '='));
    EXPECT_EQ(mail.text.size(), 248u);
    EXPECT_EQ(mail.text.substr(0, 8), "999.999.");
    const ReportTable table = ParseTable(WriteExpire());
    ASSERT_EQ(table.rows.size(), 1u);
    std::string encoded;
    for (int i = 0; i < 249; ++i)
        encoded += "=3D";
    EXPECT_EQ(table.rows[0][0], "LEFT\">" + encoded);
    EXPECT_EQ(table.rows[0][1], "RIGHT\">" + mail.text);
}

TEST_F(MhtReport, ExpireReportTracesEveryCell) {
    std::vector<std::string> progress;
    state_.WindowMode = true;
    state_.screenLine = [&](std::string_view line) { progress.emplace_back(line); };
    EnableOnly({"0", "2"});
    AddExpire({"ANN", "ANN", "1234", "0", "0", "", ""});
    AddExpire({"BOB", "BOB", "7", "0", "0", "", "ANN"});
    WriteExpire();
    std::vector<std::string> traces;
    for (const std::string& line : progress)
        if (EndsWith(line, "$"))
            traces.push_back(line);
    ASSERT_EQ(traces.size(), 4u);
    const std::vector<std::string> expected = {"#LEFT\">ANN#0$", "#RIGHT\">1.234#2$",
                                               "#LEFT\">BOB#0$", "#RIGHT\">7#2$"};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(EndsWith(traces[i], " ; " + expected[i])) << traces[i];
}

}  // namespace
