#include "report/MhtFrame.h"

#include <algorithm>
#include <cstring>

#include "report/MhtEncoding.h"
#include "report/ReportImages.h"
#include "state/DebugLog.h"
#include "state/ProgramVersion.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

constexpr std::string_view kDelimiter = "------=_NextPart_000_0000_01C48ED5.5F434980";

// "<td valign=3D"top" width=3D"40%">" and the other fixed cell openings.
constexpr std::string_view kLabelOpen = "<td valign=3D\"top\" width=3D\"40%\">";
constexpr std::string_view kValueOpenFirst =
    "<td valign=3D\"top\" width=3d\"60%\" rowspan=3D\"1\" colspan=3D\"2\">";
constexpr std::string_view kValueOpen =
    "<td valign=3D\"top\" width=3D\"60%\" rowspan=3D\"1\" colspan=3D\"2\">";
constexpr std::string_view kNarrowValueOpen =
    "<td valign=3D\"top\" width=3D\"30%\" rowspan=3D\"1\" colspan=3D\"1\">";
constexpr std::string_view kRowEnd = "</td> </tr> <tr>";

// Writes the pieces as one line; the odd pieces are values and are encoded.
void Line(LineWriter& out, std::initializer_list<std::string_view> markupAndValues) {
    bool value = false;
    for (std::string_view piece : markupAndValues) {
        if (value)
            AppendHtmlValue(out.Buffer(), piece);
        else
            out.Put(piece);
        value = !value;
    }
    out.EndLine();
}

void InfoRow(LineWriter& out, std::string_view label, std::string_view open, std::string_view value,
             std::string_view valueEnd, std::string_view rowEnd) {
    Line(out, {kLabelOpen, label, "<br>"});
    out.WriteLine("</td>");
    Line(out, {open, value, valueEnd});
    out.WriteLine(rowEnd);
}

// The URL of an image beside the reports (in the working folder when the base path names no
// folder).
std::string ImageUrl(std::string_view outputFolder, std::string_view name) {
    const std::string folder = SlashPath(outputFolder);
    if (folder.empty())
        return FileUrl(name);
    std::string_view trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    return FileUrl(std::string(trimmed) + "/" + std::string(name));  // "/" alone stays the root
}

}  // namespace

MhtFrame NewMhtFrame(std::uint32_t count, std::uint32_t rows) {
    MhtFrame frame;
    frame.count = count;
    frame.rows = rows;
    frame.tableWidth = "900";
    return frame;
}

std::string GroupDigits(std::string_view t, std::string_view s) {
    std::string result;
    AppendGroupedDigits(result, t, s);
    if (result.size() > kTextMax)
        result.resize(kTextMax);
    return result;
}

void AppendGroupedDigits(std::string& out, std::string_view t, std::string_view s) {
    if (t.size() < 4) {
        out.append(t);
        return;
    }
    if (t[0] == '-' || t[0] == '+') {
        out.push_back(t[0]);
        t.remove_prefix(1);
    }
    // The first group takes what is left over after the groups of three.
    std::size_t first = t.size() % 3 == 0 ? 3 : t.size() % 3;
    out.append(t.substr(0, first));
    for (std::size_t p = first; p < t.size(); p += 3) {
        out.append(s);
        out.append(t.substr(p, 3));
    }
}

std::string SlashPath(std::string_view path) {
    return std::string(Text(path).view());
}

std::vector<std::string> BuildImageParts(std::string_view outputFolder) {
    std::vector<std::string> lines;
    auto part = [&](std::string_view name, const unsigned char* data, std::size_t size) {
        lines.emplace_back(kDelimiter);
        lines.emplace_back("Content-Type: application/octet-stream");
        lines.emplace_back("Content-Transfer-Encoding: base64");
        lines.push_back("Content-Location: " + ImageUrl(outputFolder, name));
        // Web engines refuse file: URLs inside a web archive; the page finds its images by
        // Content-ID.
        lines.push_back("Content-ID: <" + std::string(name) + ">");
        lines.emplace_back("");
        AppendBase64Lines(data, size, lines);
        lines.emplace_back("");
    };
    part("kestrama.gif", kBannerGif, kBannerGifSize);
    part("novell.gif", kBadgeGif, kBadgeGifSize);
    lines.push_back(std::string(kDelimiter) + "--");
    return lines;
}

void StageMhtReport(RunContext& ctx, const RunSummary& summary, const ReportSettings& settings,
                    const MhtFrame& frame, const std::function<void(LineWriter&)>& writeRows,
                    PendingFiles& pending) {
    const std::vector<std::string> imagePartLines = BuildImageParts(summary.OutputFolder.view());
    Text progress("Writing to MHT file: ");
    progress.append(summary.MhtReportPath.view());
    AddProgressLine(ctx, progress.view());
    AddDebugLine(ctx, "Writing to MHT file.", "");
    LineWriter out(summary.MhtReportPath.str(), LineWriter::Mode::Replace);
    WriteMhtTop(out, summary, settings.DECSeperator.view(), frame);
    writeRows(out);
    WriteMhtBottom(out, frame, imagePartLines);
    pending.Add(out.Finish());
    AddDebugLine(ctx, "Finished writing to MHT file.", "");
}

void WriteMhtTop(LineWriter& out, const RunSummary& sum, std::string_view sep,
                 const MhtFrame& frame) {
    const std::string_view w = frame.tableWidth;
    // The MIME header and the HTML part's header.
    out.WriteLine("Subject: Kestrama " + std::string(kShortAttribution));
    out.WriteLine("Date: CurrentTime");
    out.WriteLine("MIME-Version: 1.0");
    out.WriteLine("Content-Type: multipart/related;");
    out.WriteLine("\tboundary=\"----=_NextPart_000_0000_01C48ED5.5F434980\";");
    out.WriteLine("\ttype=\"text/html\"");
    out.WriteLine("X-MimeOLE: Produced By Microsoft MimeOLE V6.00.2800.1441");
    out.WriteLine("");
    out.WriteLine("This is a multi-part message in MIME format.");
    out.WriteLine("");
    out.WriteLine(kDelimiter);
    out.WriteLine("Content-Type: text/html;");
    // The HTML part carries the log's texts as they are: their encoding is its charset.
    const bool utf8 = sum.encoding == TextEncoding::Utf8;
    out.WriteLine(utf8 ? "\tcharset=\"utf-8\"" : "\tcharset=\"iso-8859-1\"");
    out.WriteLine("Content-Transfer-Encoding: quoted-printable");
    out.WriteLine("Content-Location: " + FileUrl(sum.MhtReportPath.view()));
    out.WriteLine("");
    out.WriteLine("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    out.WriteLine("");
    out.WriteLine("<html>");
    out.WriteLine("<head>");
    Line(out, {"<title>Kestrama ", kShortAttribution, "</title>"});
    out.WriteLine("<meta http-equiv=3D\"content-type\"");
    out.WriteLine(utf8 ? "content=3D\"text/html; charset=3Dutf-8\">"
                       : "content=3D\"text/html; charset=3DISO-8859-1\">");
    out.WriteLine("</head>");
    out.WriteLine(
        "<body text=3D\"#000000\" 3Dbgcolor=3D\"#ffffff\" link=3D\"#ff0000\" vlink=3D\"#ff0000\" "
        "alink=3D\"#ff0000\">");
    out.WriteLine("<font face=3D\"Helvetica, Arial, sans-serif\">");

    // The General Information table, with the banner.
    Line(out,
         {"<table cellpadding=3D\"2\" cellspacing=3D\"2\" border=3D\"1\" width=3D\"", w, "\">"});
    out.WriteLine("<tbody>");
    out.WriteLine("<tr>");
    out.WriteLine("<td valign=3D\"top\" rowspan=3D\"1\" colspan=3D\"3\" width=3D\"100%\">");
    Line(out,
         {"<div align=3D\"center\"><a href=3D\"", kMakerWebAddress, "\" target=3D\"_blank\">"});
    out.WriteLine("<img src=3D\"cid:kestrama.gif\" alt=3D\"Kestrama\" border=3D\"0\">");
    out.WriteLine("</a>");
    out.WriteLine("</div>");
    Line(out, {"<b><center>Kestrama version ", kProgramVersion, ", ", kBannerAttribution, "<br> "});
    Line(out, {"<a href=3D\"", kMakerWebAddress, "\" target=3D\"_blank\">", kMakerWebAddress});
    out.WriteLine("</center> </a></b></td> </tr> <tr>");
    out.WriteLine("<td valign=3D\"top\" rowspan=3D\"1\" colspan=3D\"3\" width=3D\"100%\"><br>");
    out.WriteLine(kRowEnd);
    out.WriteLine("<td valign=3D\"top\" width=3D\"40%\"><b>General Information</b></td>");
    out.WriteLine(
        "<td valign=3D\"top\" width=3D\"60%\" rowspan=3D\"1\" colspan=3D\"2\"><b>Value<br>");
    out.WriteLine("</b></td> </tr> <tr>");

    std::string counted = std::to_string(frame.count);
    if (frame.rows != frame.count)
        counted += " ,and displayed: " + std::to_string(frame.rows);
    InfoRow(out, "Novell Groupwise Version", kValueOpenFirst, sum.versionText.view(), "<br>",
            kRowEnd);
    InfoRow(out, "Processed on", kValueOpen, sum.processedOn.view(), "<br>", kRowEnd);
    InfoRow(out, "Post Office Name", kValueOpen, sum.postOfficeName.view(), "<br>", kRowEnd);
    InfoRow(out, "Post Office Path", kValueOpen, sum.pathToPO.view(), "<br>", kRowEnd);
    InfoRow(out, "Number of mailboxes counted", kValueOpen, counted, "<br>", kRowEnd);
    InfoRow(out, "Tabel sorted by field", kValueOpen, frame.sortFieldName, "<br>", kRowEnd);
    InfoRow(out, "Logfile language", kNarrowValueOpen, sum.languageName.view(), " <br>", kRowEnd);
    InfoRow(out, "Largest Mailbox", kNarrowValueOpen, GroupDigits(sum.largestSize.view(), sep),
            " MB<br>", kRowEnd);
    InfoRow(out, "Average Mailbox", kNarrowValueOpen, GroupDigits(sum.averageSize.view(), sep),
            " MB<br>", kRowEnd);
    InfoRow(out, "Total Mailbox Size", kNarrowValueOpen, GroupDigits(sum.totalSize.view(), sep),
            " MB<br>", "</td></tr></tbody>");
    out.WriteLine("</table><br>");

    // The report's own table: its header row.
    Line(out,
         {"<table cellpadding=3D\"2\" cellspacing=3D\"2\" border=3D\"1\" width=3D\"", w, "\">"});
    out.WriteLine("<tbody> <tr>");
    for (std::string_view caption : frame.captions)
        Line(out, {"<td valign=3D\"top\" align=3D\"LEFT\"><b>", caption, "<br> </b> </td>"});
    out.WriteLine("</tr>");
}

void WriteMhtCell(LineWriter& out, std::string_view alignment, std::string_view text) {
    constexpr std::string_view kOpen = "<td valign=3D\"top\" align=3D\"";
    constexpr std::string_view kClose = "<br> </td>";
    // Cells are most of a large report: a plain cell is put together in one piece.
    char line[kOpen.size() + 8 + kTextMax + kClose.size()];
    if (alignment.size() <= 6 && text.size() <= kTextMax && IsPlainHtmlValue(text)) {
        char* p = line;
        auto add = [&p](std::string_view piece) {
            if (piece.empty())
                return;
            std::memcpy(p, piece.data(), piece.size());
            p += piece.size();
        };
        add(kOpen);
        if (!alignment.empty()) {
            add(alignment);
            add("\">");
        }
        add(text);
        add(kClose);
        out.WriteLine(std::string_view(line, static_cast<std::size_t>(p - line)));
        return;
    }
    out.Put(kOpen);
    if (!alignment.empty()) {
        out.Put(alignment);
        out.Put("\">");
    }
    AppendHtmlValue(out.Buffer(), text);
    out.Put(kClose);
    out.EndLine();
}

void WriteMhtBottom(LineWriter& out, const MhtFrame& frame,
                    const std::vector<std::string>& imagePartLines) {
    const std::string_view w = frame.tableWidth;
    out.WriteLine("</tbody> </table>");
    out.WriteLine("<div align=3D\"left\">");
    Line(out,
         {"<table cellpadding=3D\"2\" cellspacing=3D\"2\" border=3D\"0\" width=3D\"", w, "\">"});
    out.WriteLine("<tbody> <tr>");
    out.WriteLine(
        "<td valign=3D\"top\"><font face=3D\"Helvetica, Arial, sans-serif\" size=\"-2\">This "
        "utility is");
    out.WriteLine(
        "distributed \"as is\" and without warranties as to performance, accuracy, or any");
    out.WriteLine("other warranties whether expressed or implied. The author is not responsible");
    out.WriteLine("for any costs or damages incurred, whether incidental or consequential, by the");
    out.WriteLine("use or misuse of this utility.</font><br><td>");
    Line(out, {"<td valign=3D\"top\"><a href=3D\"", kVendorWebAddress, "\""});
    out.WriteLine(
        "target=3D\"_blank\"><img src=3D\"cid:novell.gif\" alt=3D\"Novell\" width=3D\"85\" "
        "height=3D\"20\"");
    out.WriteLine(" align=3D\"right\" border=3D\"0\">");
    out.WriteLine("</a><br></td></tr>");
    out.WriteLine("</tbody>");
    out.WriteLine("</table>");
    out.WriteLine("<br> </div>");
    out.WriteLine("</font>");
    out.WriteLine("</html>");
    for (const std::string& line : imagePartLines)
        out.WriteLine(line);
}

}  // namespace k32
