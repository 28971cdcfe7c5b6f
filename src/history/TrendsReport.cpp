#include "history/TrendsReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "report/MhtFrame.h"
#include "text/Cp1252Utf8.h"
#include "text/HtmlEscape.h"
#include "text/LineWriter.h"

namespace k32 {

namespace {

// A history text on the page: its readable characters, HTML-escaped.
std::string Html(std::string_view text) {
    std::string out;
    AppendHtmlEscaped(out, ReadableUtf8FromStored(text));
    return out;
}

// A figure with at most one decimal, none when it is whole, written at `out` (room for any
// double in fixed notation: 400 characters); returns its end. The same digits as printf's
// "%.0f" and "%.1f", and "0" for "-0".
char* PutNumber(char* out, char* end, double v) {
    const double whole = std::round(v);
    const bool isWhole = std::fabs(v - whole) < 0.05;
    // A whole figure within the exact range of an integer prints as that integer (so does -0).
    if (isWhole && std::fabs(whole) < 1e15)
        return std::to_chars(out, end, static_cast<std::int64_t>(whole)).ptr;
    const auto r = isWhole ? std::to_chars(out, end, whole, std::chars_format::fixed, 0)
                           : std::to_chars(out, end, v, std::chars_format::fixed, 1);
    if (r.ec != std::errc())
        return out;
    if (r.ptr - out == 2 && out[0] == '-' && out[1] == '0') {
        out[0] = '0';
        return out + 1;
    }
    return r.ptr;
}

// The figures of the page as the web report writes its numbers: digits grouped by threes with
// the run's digit-group separator (not at all when it is empty). The decimal mark is ".", or ","
// when "." separates the groups, so that 1.234,5 never reads as two points.
class PageFigures {
  public:
    explicit PageFigures(std::string_view groupSeparator)
        : group_(Html(Utf8FromWindows1252(groupSeparator))),  // a setting: Windows-1252
          point_(groupSeparator == "." ? ',' : '.') {}

    std::string Number(double v) const {
        char buf[400];
        return Grouped(std::string_view(buf, PutNumber(buf, buf + sizeof buf, v)));
    }
    std::string Count(std::int64_t n) const { return Grouped(std::to_string(n)); }
    std::string Maybe(const std::optional<double>& v) const { return v ? Number(*v) : ""; }
    // A percentage or a weekly growth always with one decimal, so that a column of them lines
    // up.
    std::string Tenths(const std::optional<double>& v) const {
        if (!v)
            return "";
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.1f", *v);
        return Grouped(buf);
    }
    // Days to a limit; beyond ten years the figure says nothing a reader can use.
    std::string Days(const std::optional<double>& v) const {
        if (v && *v > kLimitDateDays)
            return "over 10 years";
        return v ? Number(std::ceil(*v)) : "";
    }
    // The day a mailbox reaches its limit, or why there is none to show.
    static std::string LimitDate(const GrowthRow& r) {
        if (!r.limitDate.empty())
            return r.limitDate;
        return r.daysToLimit && *r.daysToLimit > kLimitDateDays ? "over 10 years" : "";
    }

  private:
    // `plain` as PutNumber or "%.1f" writes it ("-1234.5"), grouped and with the page's mark.
    std::string Grouped(std::string_view plain) const {
        const std::size_t dot = plain.find('.');
        std::string out;
        AppendGroupedDigits(out, plain.substr(0, dot), group_);
        if (dot != std::string_view::npos) {
            out += point_;
            out.append(plain.substr(dot + 1));
        }
        return out;
    }

    std::string group_;  // as the page writes it
    char point_;
};

// A table of at most this many rows is not split over two printed pages.
inline constexpr std::size_t kShortTableRows = 15;

// The opening tag of a table of `rows` rows.
std::string TableTag(std::size_t rows) {
    return rows <= kShortTableRows ? "<table class=\"short\">" : "<table>";
}

// A heading with what follows it, printed on one page: web engines that ignore "break-after:
// avoid" on a heading still move a block that must not be split.
std::string Keep(const std::string& html) {
    return "<div class=\"keep\">\n" + html + "</div>\n";
}
// A heading (or a lead paragraph) and its table of `rows` rows, kept together when the table is
// short; a long table is split over pages anyway.
std::string KeepIfShort(const std::string& head, const std::string& table, std::size_t rows) {
    return rows <= kShortTableRows ? Keep(head + table) : head + table;
}

std::string DateOf(const std::string& iso) {
    return iso.substr(0, 10);
}

// The step between the labelled ticks of an axis from 0 to at least `hi`: 1, 2 or 5 times a
// power of ten, for three to six ticks.
double TickStep(double hi) {
    if (hi <= 0)
        return 1;
    const double raw = hi / 4;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return std::max(1.0, m * power);
    return std::max(1.0, 10 * power);
}

// A line chart of one figure over the runs, with the dates below. The scale starts at zero, as a
// reader of sizes and counts expects, with a few labelled ticks and light gridlines: a change of
// one mailbox in three hundred stays a small change.
std::string LineChart(const PageFigures& fig, const std::vector<HistoryRun>& runs,
                      double (*value)(const HistoryRun&), const std::string& caption) {
    // The right margin holds half of the last date, which is centred on the last run.
    const double w = 720, h = 220, left = 70, right = 45, top = 20, bottom = 40;
    double most = 0;
    for (const HistoryRun& r : runs)
        most = std::max(most, value(r));
    const double tickStep = TickStep(most);
    const double lo = 0, hi = std::max(tickStep, std::ceil(most / tickStep) * tickStep);
    const double first = DaysOfIso(runs.front().processedAt).value_or(0);
    double last = DaysOfIso(runs.back().processedAt).value_or(0);
    const bool oneDay = last - first < 1e-9;
    auto x = [&](const HistoryRun& r, std::size_t i) {
        const double t = oneDay
                             ? (runs.size() > 1 ? double(i) / double(runs.size() - 1) : 0.5)
                             : (DaysOfIso(r.processedAt).value_or(first) - first) / (last - first);
        return left + t * (w - left - right);
    };
    auto y = [&](double v) { return top + (1 - (v - lo) / (hi - lo)) * (h - top - bottom); };
    std::string s =
        "<figure><svg class=\"chart\" viewBox=\"0 0 720 220\" role=\"img\" aria-label=\"" +
        caption + "\">\n";
    s += "<line x1=\"70\" y1=\"180\" x2=\"675\" y2=\"180\" stroke=\"#888\"/>"
         "<line x1=\"70\" y1=\"20\" x2=\"70\" y2=\"180\" stroke=\"#888\"/>\n";
    for (double tick = lo; tick <= hi + tickStep / 2; tick += tickStep) {
        char buf[200];
        const double ty = y(tick);
        if (tick > lo) {
            std::snprintf(buf, sizeof buf,
                          "<line x1=\"70\" y1=\"%.1f\" x2=\"675\" y2=\"%.1f\" stroke=\"#e4e4e4\"/>",
                          ty, ty);
            s += buf;
        }
        std::snprintf(buf, sizeof buf, "<text x=\"64\" y=\"%.1f\" text-anchor=\"end\">", ty + 4);
        s += buf + fig.Number(tick) + "</text>";
    }
    s += "\n";
    std::string points;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.1f,%.1f ", x(runs[i], i), y(value(runs[i])));
        points += buf;
    }
    s += "<polyline fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"2\" points=\"" + points +
         "\"/>\n";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"#1f5fa8\"/>",
                      x(runs[i], i), y(value(runs[i])));
        s += buf;
    }
    // Dates of the first and the last run, and of a few between.
    const std::size_t step = std::max<std::size_t>(1, runs.size() / 6);
    for (std::size_t i = 0; i < runs.size(); i += step) {
        if (i + step >= runs.size() && i + 1 != runs.size())
            continue;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.1f", x(runs[i], i));
        s += "<text x=\"" + std::string(buf) + "\" y=\"200\" text-anchor=\"middle\">" +
             DateOf(runs[i].processedAt) + "</text>";
    }
    if (runs.size() > 1 && (runs.size() - 1) % step != 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.1f", x(runs.back(), runs.size() - 1));
        s += "<text x=\"" + std::string(buf) + "\" y=\"200\" text-anchor=\"middle\">" +
             DateOf(runs.back().processedAt) + "</text>";
    }
    s += "\n</svg><figcaption>" + caption + "</figcaption></figure>\n";
    return s;
}

// Horizontal bars of the growth in MB, one per row.
std::string BarChart(const PageFigures& fig, const std::vector<GrowthRow>& rows,
                     const std::string& caption) {
    double most = 0;
    for (const GrowthRow& r : rows)
        most = std::max(most, std::fabs(*r.growthMb));
    if (most <= 0)
        most = 1;
    const int barH = 16, gap = 4, left = 180, width = 480;
    const int h = static_cast<int>(rows.size()) * (barH + gap) + 10;
    std::string s = "<figure><svg class=\"chart\" viewBox=\"0 0 720 " + std::to_string(h) +
                    "\" role=\"img\" aria-label=\"" + caption + "\">\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int yy = 5 + static_cast<int>(i) * (barH + gap);
        const double len = std::fabs(*rows[i].growthMb) / most * width;
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "<rect x=\"%d\" y=\"%d\" width=\"%.1f\" height=\"%d\" fill=\"%s\"/>", left,
                      yy, len, barH, *rows[i].growthMb >= 0 ? "#1f5fa8" : "#999");
        s += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + std::to_string(yy + 12) +
             "\" text-anchor=\"end\">" + Html(rows[i].username) + "</text>" + buf;
        std::snprintf(buf, sizeof buf, "<text x=\"%.1f\" y=\"%d\">", left + len + 6, yy + 12);
        s += buf + fig.Number(*rows[i].growthMb) + " MB</text>\n";
    }
    s += "</svg><figcaption>" + caption + "</figcaption></figure>\n";
    return s;
}

std::string GrowthTable(const PageFigures& fig, const std::vector<GrowthRow>& rows) {
    std::string s = TableTag(rows.size()) +
                    "<thead><tr><th>Username</th><th>Full name</th><th>Size then (MB)</th>"
                    "<th>Size now (MB)</th><th>Growth (MB)</th><th>Growth (%)</th></tr></thead>"
                    "<tbody>\n";
    for (const GrowthRow& r : rows)
        s += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
             "</td><td class=\"n\">" + fig.Maybe(r.sizeThen) + "</td><td class=\"n\">" +
             fig.Maybe(r.sizeNow) + "</td><td class=\"n\">" + fig.Maybe(r.growthMb) +
             "</td><td class=\"n\">" + fig.Tenths(r.growthPct) + "</td></tr>\n";
    return s + "</tbody></table>\n";
}

std::string GrowthSection(const PageFigures& fig, const PostOfficeTrends& t,
                          const std::optional<std::size_t>& against,
                          const std::vector<GrowthRow>& top, const std::string& title) {
    std::string s = "<h2>" + title + "</h2>\n";
    if (!against)
        return Keep(s + "<p>No earlier run to compare with.</p>\n");
    s += "<p>Compared with the run of " + DateOf(t.runs[*against].processedAt) + ".</p>\n";
    if (top.empty())
        return Keep(s + "<p>No mailbox of this run was in that run.</p>\n");
    return Keep(s + BarChart(fig, top, "Growth in MB, the 20 mailboxes that grew most")) +
           GrowthTable(fig, top);
}

double TotalOf(const HistoryRun& r) {
    return r.totalMb;
}
double CountOf(const HistoryRun& r) {
    return static_cast<double>(r.mailboxes);
}

// Appends a figure as a field; empty when it does not exist. A figure such as 97.5 is quoted
// when the separator is ".".
void PutCsvFigure(std::string& line, const std::optional<double>& v, bool days,
                  const std::string& separator) {
    if (!v)
        return;
    char buf[400];
    const std::string_view text(
        buf, static_cast<std::size_t>(PutNumber(buf, buf + sizeof buf, days ? std::ceil(*v) : *v) -
                                      buf));
    AppendCsvField(line, text, separator);
}

// Appends the CSV line of one row, without its line end.
void PutCsvLine(std::string& line, const GrowthRow& r, const std::string& sep) {
    AppendCsvField(line, r.username, sep);
    line += sep;
    AppendCsvField(line, r.fullname, sep);
    for (const std::optional<double>* f :
         {&r.sizeThen, &r.sizeNow, &r.growthMb, &r.growthPct, &r.limitMb, &r.usedPct}) {
        line += sep;
        PutCsvFigure(line, *f, false, sep);
    }
    line += sep;
    PutCsvFigure(line, r.daysToLimit, true, sep);
    line += sep;
    PutCsvFigure(line, r.growthPerWeekMb, false, sep);
    line += sep;
    AppendCsvField(line, r.limitDate, sep);
}

}  // namespace

void AppendCsvField(std::string& line, std::string_view text, const std::string& separator) {
    const char first = separator.empty() ? '"' : separator[0];
    bool quote = false;
    for (char c : text)
        if (c == '"' || c == '\r' || c == '\n' || c == first) {
            quote = c != first || separator.size() <= 1 ||
                    text.find(separator) != std::string_view::npos;
            if (quote)
                break;
        }
    if (!quote) {
        line.append(text);
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

std::string TrendsCsvHeader(const std::string& separator) {
    // New columns go at the end: spreadsheets and scripts read the others by position.
    static constexpr std::array<const char*, 11> kFields = {
        "Username",        "Fullname",   "Size then (MB)", "Size now (MB)", "Growth (MB)",
        "Growth (%)",      "Limit (MB)", "Used (%)",       "Days to limit", "Growth per week (MB)",
        "Limit reached on"};
    std::string s;
    for (std::size_t i = 0; i < kFields.size(); ++i)
        s += (i ? separator : "") + std::string(kFields[i]);
    return s;
}

std::vector<std::string> TrendsCsvLines(const TrendsReportData& data) {
    std::vector<std::string> lines{TrendsCsvHeader(data.csvSeparator)};
    for (const GrowthRow& r : data.trends.sincePrevious) {
        std::string line;
        PutCsvLine(line, r, data.csvSeparator);
        lines.push_back(std::move(line));
    }
    return lines;
}

TrendsCsvWriter::TrendsCsvWriter(const std::string& basePath, const std::string& separator,
                                 TextEncoding encoding)
    : out_(basePath + "-trends.csv", LineWriter::Mode::Replace),
      separator_(separator),
      encoding_(encoding) {
    out_.WriteLine(TrendsCsvHeader(separator_));
}

void TrendsCsvWriter::Add(const GrowthRow& row) {
    if (encoding_ == TextEncoding::Windows1252 &&
        !(IsPlainAscii(row.username) && IsPlainAscii(row.fullname))) {
        GrowthRow bytes = row;
        bytes.username = Windows1252FromUtf8(row.username);
        bytes.fullname = Windows1252FromUtf8(row.fullname);
        PutCsvLine(out_.Buffer(), bytes, separator_);
    } else {
        PutCsvLine(out_.Buffer(), row, separator_);
    }
    out_.EndLine();
}

FinishedFile TrendsCsvWriter::Finish() {
    return out_.Finish();
}

FinishedFile WriteTrendsCsv(const TrendsReportData& data, const std::string& basePath) {
    TrendsCsvWriter out(basePath, data.csvSeparator);
    for (const GrowthRow& r : data.trends.sincePrevious)
        out.Add(r);
    return out.Finish();
}

FinishedFile WriteTrendsHtml(const TrendsReportData& data, const std::string& basePath) {
    LineWriter out(basePath + "-trends.html", LineWriter::Mode::Replace);
    out.Put(TrendsHtml(data));
    out.EndLine();
    return out.Finish();
}

std::string TrendsHtml(const TrendsReportData& data) {
    const PostOfficeTrends& t = data.trends;
    const PageFigures fig(data.digitGroupSeparator);
    const HistoryRun& now = t.runs.back();
    const std::string po = Html(now.poName);
    std::string s =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Trends of post office " +
        po +
        "</title>\n"
        "<style>\n"
        "@page { margin: 12mm; }\n"
        "body { font-family: sans-serif; font-size: 10pt; margin: 0 auto; max-width: 190mm; }\n"
        "h1 { font-size: 16pt; } h2 { font-size: 13pt; margin-top: 1.5em; }\n"
        "table { border-collapse: collapse; width: 100%; margin: 0.5em 0; }\n"
        "th, td { border: 1px solid #999; padding: 2px 4px; text-align: left; "
        "overflow-wrap: anywhere; }\n"
        "td.n, th.n { text-align: right; }\n"
        // Headers, usernames and figures break only between words: a column of them is never
        // squeezed to a letter or two.
        "th, td:first-child { overflow-wrap: normal; } td.n { white-space: nowrap; }\n"
        "svg.chart { width: 100%; height: auto; font-size: 11px; }\n"
        "figure { margin: 0.5em 0; }\n"
        ".red { background: #f4c7c3; } .amber { background: #fce8b2; } "
        ".green { background: #d9ead3; }\n"
        // Printed, a heading stays with what follows it, a chart or a short table is never
        // split, and a long table repeats its header on each page.
        "h1, h2, h2 + p, p.lead { break-after: avoid; page-break-after: avoid; }\n"
        "figure, table.short, tr { break-inside: avoid; page-break-inside: avoid; }\n"
        "thead { display: table-header-group; }\n"
        ".keep { break-inside: avoid; page-break-inside: avoid; }\n"
        "</style>\n</head>\n<body>\n";
    s += "<h1>Trends of post office " + po + "</h1>\n";
    s += "<p>Path: " + Html(now.poPath) + "<br>This run: " + Html(now.processedOn) + " (" +
         fig.Count(now.mailboxes) + " mailboxes, " + fig.Number(now.totalMb) + " MB)<br>" +
         "Recorded runs of this post office: " + fig.Count(t.runs.size()) + "</p>\n";
    if (t.runs.size() < 2)
        s += "<p><strong>This is the first recorded run of this post office. Trends start with "
             "the next run.</strong></p>\n";

    s += Keep("<h2>Size and mailboxes over time</h2>\n" +
              LineChart(fig, t.runs, TotalOf, "Total size of the post office (MB)"));
    s += LineChart(fig, t.runs, CountOf, "Number of mailboxes");

    s += GrowthSection(fig, t, t.previous, t.topSincePrevious, "Growth since the previous run");
    // The run about 30 days back may be much nearer (the second week of a history): the heading
    // then says the span it really covers.
    std::string monthTitle = "Growth over about 30 days";
    if (t.monthAgo) {
        const auto from = DaysOfIso(t.runs[*t.monthAgo].processedAt);
        const auto to = DaysOfIso(t.runs.back().processedAt);
        if (from && to) {
            const long span = std::lround(*to - *from);
            if (span < 24 || span > 36)
                monthTitle = "Growth over " + std::to_string(span) + (span == 1 ? " day" : " days");
        }
    }
    s += GrowthSection(fig, t, t.monthAgo, t.topSinceMonthAgo, monthTitle);

    std::string bands =
        TableTag(4) +
        "<thead><tr><th>Band</th><th class=\"n\">Mailboxes</th></tr></thead><tbody>\n"
        "<tr class=\"red\"><td>Red: at or over the limit</td><td class=\"n\">" +
        fig.Count(t.bands.red) +
        "</td></tr>\n"
        "<tr class=\"amber\"><td>Amber: at or over the warning threshold, under the limit</td><td "
        "class=\"n\">" +
        fig.Count(t.bands.amber) +
        "</td></tr>\n"
        "<tr class=\"green\"><td>Green: below the threshold</td><td class=\"n\">" +
        fig.Count(t.bands.green) + "</td></tr>\n<tr><td>No limit</td><td class=\"n\">" +
        fig.Count(t.bands.noLimit) + "</td></tr>\n</tbody></table>\n";
    s += KeepIfShort("<h2>Quota bands</h2>\n", bands, 4);
    if (!t.fullest.empty()) {
        std::string table =
            TableTag(t.fullest.size()) +
            "<thead><tr><th>Username</th><th>Full name</th><th class=\"n\">Size (MB)</th>"
            "<th class=\"n\">Limit (MB)</th><th class=\"n\">Used (%)</th>"
            "<th class=\"n\">Growth per week (MB)</th><th>Limit reached on</th></tr></thead>"
            "<tbody>\n";
        for (const GrowthRow& r : t.fullest)
            table += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
                     "</td><td class=\"n\">" + fig.Maybe(r.sizeNow) + "</td><td class=\"n\">" +
                     fig.Maybe(r.limitMb) + "</td><td class=\"n\">" + fig.Tenths(r.usedPct) +
                     "</td><td class=\"n\">" + fig.Tenths(r.growthPerWeekMb) + "</td><td>" +
                     PageFigures::LimitDate(r) + "</td></tr>\n";
        table += "</tbody></table>\n";
        s += KeepIfShort("<p class=\"lead\">The mailboxes nearest their limit:</p>\n", table,
                         t.fullest.size());
    }

    const std::string daysHeading = "<h2>Days until the limit</h2>\n";
    if (t.reachingLimit.empty()) {
        s += Keep(daysHeading +
                  "<p>No mailbox reaches its limit within 90 days at its present growth (a "
                  "projection needs at least 3 runs over at least 7 days).</p>\n");
    } else {
        std::string table =
            TableTag(t.reachingLimit.size()) +
            "<thead><tr><th>Username</th><th>Full name</th><th class=\"n\">Size now (MB)</th>"
            "<th class=\"n\">Limit (MB)</th><th class=\"n\">Growth per week (MB)</th>"
            "<th class=\"n\">Days to limit</th><th>Limit reached on</th></tr></thead><tbody>\n";
        for (const GrowthRow& r : t.reachingLimit)
            table += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
                     "</td><td class=\"n\">" + fig.Maybe(r.sizeNow) + "</td><td class=\"n\">" +
                     fig.Maybe(r.limitMb) + "</td><td class=\"n\">" +
                     fig.Tenths(r.growthPerWeekMb) + "</td><td class=\"n\">" +
                     fig.Days(r.daysToLimit) + "</td><td>" + PageFigures::LimitDate(r) +
                     "</td></tr>\n";
        table += "</tbody></table>\n";
        s += KeepIfShort(daysHeading, table, t.reachingLimit.size());
    }

    const std::string newHeading = "<h2>New and gone since the previous run</h2>\n";
    if (!t.previous) {
        s += Keep(newHeading + "<p>No earlier run to compare with.</p>\n");
    } else {
        auto list = [&](const std::string& what, std::size_t count, auto&& item) {
            std::string l = "<p>" + what + " (" + fig.Count(count) + ")";
            if (count == 0)
                return l + ".</p>\n";
            l += ": ";
            for (std::size_t i = 0; i < count; ++i)
                l += (i ? ", " : "") + item(i);
            return l + "</p>\n";
        };
        s += Keep(newHeading + list("New mailboxes", t.newMailboxes.size(),
                                    [&](std::size_t i) { return Html(t.newMailboxes[i]); }));
        // A gone mailbox with its size in the previous run.
        s += list("Gone mailboxes", t.goneMailboxes.size(), [&](std::size_t i) {
            const GoneMailbox& g = t.goneMailboxes[i];
            std::string item = Html(g.username);
            if (g.lastSizeMb)
                item += " (" + fig.Number(*g.lastSizeMb) + " MB)";
            return item;
        });
    }

    if (data.postOffices.size() > 1) {
        std::string table = TableTag(data.postOffices.size()) +
                            "<thead><tr><th>Post office</th><th>Path</th><th>Last run</th>"
                            "<th class=\"n\">Mailboxes</th><th class=\"n\">Total (MB)</th>"
                            "<th class=\"n\">Growth (MB)</th></tr></thead><tbody>\n";
        for (const PostOfficeSummary& p : data.postOffices)
            table += "<tr><td>" + Html(p.last.poName) + "</td><td>" + Html(p.last.poPath) +
                     "</td><td>" + DateOf(p.last.processedAt) + "</td><td class=\"n\">" +
                     fig.Count(p.last.mailboxes) + "</td><td class=\"n\">" +
                     fig.Number(p.last.totalMb) + "</td><td class=\"n\">" + fig.Maybe(p.growthMb) +
                     "</td></tr>\n";
        table += "</tbody></table>\n";
        s += KeepIfShort("<h2>Post offices in this history</h2>\n", table, data.postOffices.size());
    }
    s += "</body>\n</html>";
    return s;
}

void StageTrendsReports(const TrendsReportData& data, const std::string& basePath,
                        PendingFiles& pending) {
    pending.Add(WriteTrendsHtml(data, basePath));
    pending.Add(WriteTrendsCsv(data, basePath));
}

}  // namespace k32
