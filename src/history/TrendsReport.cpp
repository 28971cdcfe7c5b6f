#include "history/TrendsReport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

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

std::string Number(double v) {
    char buf[400];
    return std::string(buf, PutNumber(buf, buf + sizeof buf, v));
}

std::string Maybe(const std::optional<double>& v) {
    return v ? Number(*v) : "";
}
// A percentage always with one decimal, so that a column of them lines up.
std::string Percent(const std::optional<double>& v) {
    if (!v)
        return "";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", *v);
    return buf;
}
// Days to a limit; beyond ten years the figure says nothing a reader can use.
std::string Days(const std::optional<double>& v) {
    if (v && *v > 3650)
        return "over 10 years";
    return v ? Number(std::ceil(*v)) : "";
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
std::string LineChart(const std::vector<HistoryRun>& runs, double (*value)(const HistoryRun&),
                      const std::string& caption) {
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
        s += buf + Number(tick) + "</text>";
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
std::string BarChart(const std::vector<GrowthRow>& rows, const std::string& caption) {
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
        s += buf + Number(*rows[i].growthMb) + " MB</text>\n";
    }
    s += "</svg><figcaption>" + caption + "</figcaption></figure>\n";
    return s;
}

std::string GrowthTable(const std::vector<GrowthRow>& rows) {
    std::string s =
        "<table><thead><tr><th>Username</th><th>Full name</th><th>Size then (MB)</th>"
        "<th>Size now (MB)</th><th>Growth (MB)</th><th>Growth (%)</th></tr></thead><tbody>\n";
    for (const GrowthRow& r : rows)
        s += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
             "</td><td class=\"n\">" + Maybe(r.sizeThen) + "</td><td class=\"n\">" +
             Maybe(r.sizeNow) + "</td><td class=\"n\">" + Maybe(r.growthMb) +
             "</td><td class=\"n\">" + Percent(r.growthPct) + "</td></tr>\n";
    return s + "</tbody></table>\n";
}

std::string GrowthSection(const PostOfficeTrends& t, const std::optional<std::size_t>& against,
                          const std::vector<GrowthRow>& top, const std::string& title) {
    std::string s = "<h2>" + title + "</h2>\n";
    if (!against)
        return s + "<p>No earlier run to compare with.</p>\n";
    s += "<p>Compared with the run of " + DateOf(t.runs[*against].processedAt) + ".</p>\n";
    if (top.empty())
        return s + "<p>No mailbox of this run was in that run.</p>\n";
    return s + BarChart(top, "Growth in MB, the 20 mailboxes that grew most") + GrowthTable(top);
}

double TotalOf(const HistoryRun& r) {
    return r.totalMb;
}
double CountOf(const HistoryRun& r) {
    return static_cast<double>(r.mailboxes);
}

// Appends a field, in double quotes (each quote doubled) when it holds the separator, a quote,
// a carriage return or a line feed, so that a reader splits the line where it was joined.
void PutCsvField(std::string& line, std::string_view text, const std::string& separator) {
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
    PutCsvField(line, text, separator);
}

// Appends the CSV line of one row, without its line end.
void PutCsvLine(std::string& line, const GrowthRow& r, const std::string& sep) {
    PutCsvField(line, r.username, sep);
    line += sep;
    PutCsvField(line, r.fullname, sep);
    for (const std::optional<double>* f :
         {&r.sizeThen, &r.sizeNow, &r.growthMb, &r.growthPct, &r.limitMb, &r.usedPct}) {
        line += sep;
        PutCsvFigure(line, *f, false, sep);
    }
    line += sep;
    PutCsvFigure(line, r.daysToLimit, true, sep);
}

}  // namespace

std::string TrendsCsvHeader(const std::string& separator) {
    static constexpr std::array<const char*, 9> kFields = {
        "Username",   "Fullname",   "Size then (MB)", "Size now (MB)", "Growth (MB)",
        "Growth (%)", "Limit (MB)", "Used (%)",       "Days to limit"};
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
        "tr { page-break-inside: avoid; }\n"
        "svg.chart { width: 100%; height: auto; font-size: 11px; }\n"
        "figure { margin: 0.5em 0; page-break-inside: avoid; }\n"
        ".red { background: #f4c7c3; } .amber { background: #fce8b2; } "
        ".green { background: #d9ead3; }\n"
        "</style>\n</head>\n<body>\n";
    s += "<h1>Trends of post office " + po + "</h1>\n";
    s += "<p>Path: " + Html(now.poPath) + "<br>This run: " + Html(now.processedOn) + " (" +
         std::to_string(now.mailboxes) + " mailboxes, " + Number(now.totalMb) + " MB)<br>" +
         "Recorded runs of this post office: " + std::to_string(t.runs.size()) + "</p>\n";
    if (t.runs.size() < 2)
        s += "<p><strong>This is the first recorded run of this post office. Trends start with "
             "the next run.</strong></p>\n";

    s += "<h2>Size and mailboxes over time</h2>\n";
    s += LineChart(t.runs, TotalOf, "Total size of the post office (MB)");
    s += LineChart(t.runs, CountOf, "Number of mailboxes");

    s += GrowthSection(t, t.previous, t.topSincePrevious, "Growth since the previous run");
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
    s += GrowthSection(t, t.monthAgo, t.topSinceMonthAgo, monthTitle);

    s += "<h2>Quota bands</h2>\n<table><thead><tr><th>Band</th><th class=\"n\">Mailboxes</th>"
         "</tr></thead><tbody>\n";
    s += "<tr class=\"red\"><td>Red: at or over the limit</td><td class=\"n\">" +
         std::to_string(t.bands.red) + "</td></tr>\n";
    s += "<tr class=\"amber\"><td>Amber: at or over the warning threshold, under the limit</td><td "
         "class=\"n\">" +
         std::to_string(t.bands.amber) + "</td></tr>\n";
    s += "<tr class=\"green\"><td>Green: below the threshold</td><td class=\"n\">" +
         std::to_string(t.bands.green) + "</td></tr>\n";
    s += "<tr><td>No limit</td><td class=\"n\">" + std::to_string(t.bands.noLimit) +
         "</td></tr>\n</tbody></table>\n";
    if (!t.fullest.empty()) {
        s += "<p>The mailboxes nearest their limit:</p>\n<table><thead><tr><th>Username</th>"
             "<th>Full name</th><th class=\"n\">Size (MB)</th><th class=\"n\">Limit (MB)</th>"
             "<th class=\"n\">Used (%)</th></tr></thead><tbody>\n";
        for (const GrowthRow& r : t.fullest)
            s += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
                 "</td><td class=\"n\">" + Maybe(r.sizeNow) + "</td><td class=\"n\">" +
                 Maybe(r.limitMb) + "</td><td class=\"n\">" + Maybe(r.usedPct) + "</td></tr>\n";
        s += "</tbody></table>\n";
    }

    s += "<h2>Days until the limit</h2>\n";
    if (t.reachingLimit.empty()) {
        s += "<p>No mailbox reaches its limit within 90 days at its present growth (a projection "
             "needs at least 3 runs over at least 7 days).</p>\n";
    } else {
        s += "<table><thead><tr><th>Username</th><th>Full name</th><th class=\"n\">Size now (MB)"
             "</th><th class=\"n\">Limit (MB)</th><th class=\"n\">Days to limit</th></tr></thead>"
             "<tbody>\n";
        for (const GrowthRow& r : t.reachingLimit)
            s += "<tr><td>" + Html(r.username) + "</td><td>" + Html(r.fullname) +
                 "</td><td class=\"n\">" + Maybe(r.sizeNow) + "</td><td class=\"n\">" +
                 Maybe(r.limitMb) + "</td><td class=\"n\">" + Days(r.daysToLimit) + "</td></tr>\n";
        s += "</tbody></table>\n";
    }

    s += "<h2>New and gone since the previous run</h2>\n";
    if (!t.previous) {
        s += "<p>No earlier run to compare with.</p>\n";
    } else {
        auto list = [&](const std::vector<std::string>& names, const std::string& what) {
            std::string l = "<p>" + what + " (" + std::to_string(names.size()) + ")";
            if (names.empty())
                return l + ".</p>\n";
            l += ": ";
            for (std::size_t i = 0; i < names.size(); ++i)
                l += (i ? ", " : "") + Html(names[i]);
            return l + "</p>\n";
        };
        s += list(t.newMailboxes, "New mailboxes");
        s += list(t.goneMailboxes, "Gone mailboxes");
    }

    if (data.postOffices.size() > 1) {
        s += "<h2>Post offices in this history</h2>\n<table><thead><tr><th>Post office</th>"
             "<th>Path</th><th>Last run</th><th class=\"n\">Mailboxes</th><th class=\"n\">Total "
             "(MB)</th><th class=\"n\">Growth (MB)</th></tr></thead><tbody>\n";
        for (const PostOfficeSummary& p : data.postOffices)
            s += "<tr><td>" + Html(p.last.poName) + "</td><td>" + Html(p.last.poPath) +
                 "</td><td>" + DateOf(p.last.processedAt) + "</td><td class=\"n\">" +
                 std::to_string(p.last.mailboxes) + "</td><td class=\"n\">" +
                 Number(p.last.totalMb) + "</td><td class=\"n\">" + Maybe(p.growthMb) +
                 "</td></tr>\n";
        s += "</tbody></table>\n";
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
