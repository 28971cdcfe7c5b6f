#include "history/HistoryRows.h"

#include <sys/stat.h>

#include <ctime>

#include "state/StopCheck.h"
#include "text/Cp1252Utf8.h"
#include "text/LogDates.h"

namespace k32 {

std::optional<double> FigureOf(std::string_view text) {
    while (!text.empty() && (text.back() == '%' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    double v = 0;
    bool digits = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            v = v * 10 + (c - '0');
            digits = true;
        } else if (c != ',' && c != '.') {
            return std::nullopt;
        }
    }
    if (!digits || negative)
        return std::nullopt;
    return v;
}

void AssignHistoryText(std::string& out, std::string_view logText, TextEncoding encoding) {
    if (IsPlainAscii(logText))
        out.assign(logText);
    else if (encoding == TextEncoding::Utf8)
        out = StoredUtf8FromUtf8(logText);
    else
        out = Utf8FromWindows1252(logText);
}

std::string HistoryText(std::string_view logText, TextEncoding encoding) {
    std::string out;
    AssignHistoryText(out, logText, encoding);
    return out;
}

std::string HistoryPathText(const std::string& path) {
    const std::string utf8 = StoredUtf8FromUtf8(path);
    return utf8 == path ? path : Utf8FromWindows1252(path);
}

HistoryRun RunOfLog(const RunSummary& summary, const std::string& logPath) {
    const TextEncoding e = summary.encoding;
    HistoryRun run;
    run.poName = HistoryText(summary.postOfficeName.view(), e);
    run.poPath = HistoryText(summary.pathToPO.view(), e);
    run.gwVersion = HistoryText(summary.versionText.view(), e);
    run.language = summary.languageName.str();
    run.processedOn = HistoryText(summary.processedOn.view(), e);
    run.logPath = HistoryPathText(logPath);
    struct stat st {};
    const bool haveStat = ::stat(logPath.c_str(), &st) == 0;
    run.logBytes = haveStat ? static_cast<std::int64_t>(st.st_size) : 0;
    if (auto at = ParseLogDate(run.processedOn)) {
        run.processedAt = *at;
    } else {
        run.processedAt = IsoUtc(haveStat ? st.st_mtime : std::time(nullptr));
        if (run.processedOn.empty())
            run.processedOn = run.processedAt;
    }
    run.recordedAt = IsoUtc(std::time(nullptr));
    return run;
}

HistoryRun RunOf(const RunSummary& summary, const MailboxTable& table, const std::string& logPath) {
    HistoryRun run = RunOfLog(summary, logPath);
    for (std::uint32_t i = 1; i <= table.Count(); ++i)
        run.totalMb += FigureOf(table.Get(i).field[kSize]).value_or(0);
    run.mailboxes = static_cast<std::int64_t>(table.Count());
    return run;
}

void FillMailbox(const MailboxRecordView& r, TextEncoding encoding, HistoryMailbox& m) {
    AssignHistoryText(m.username, r.field[kUserName], encoding);
    AssignHistoryText(m.fullname, r.field[kFullName], encoding);
    m.sizeMb = FigureOf(r.field[kSize]);
    m.inbox = FigureOf(r.field[kInbox]);
    m.outbox = FigureOf(r.field[kOutbox]);
    m.wastebin = FigureOf(r.field[kWastebasket]);
    m.limitMb = FigureOf(r.field[kSizeLimit]);
    m.thresholdPct = FigureOf(r.field[kThreshold]);
    AssignHistoryText(m.exceeded, r.field[kExceeded], encoding);
    AssignHistoryText(m.uid, r.field[kUid], encoding);
}

std::int64_t RecordMailboxes(HistoryStore::Transaction& write, const HistoryRun& run,
                             const MailboxTable& table, TextEncoding encoding,
                             std::stop_token stop) {
    return write.RecordRunRows(
        run, table.Count(), [&table, encoding, &stop](std::size_t i, HistoryMailbox& m) {
            if (i % 256 == 0 && stop.stop_requested())
                throw RunStopped{};
            FillMailbox(table.Get(static_cast<std::uint32_t>(i + 1)), encoding, m);
        });
}

}  // namespace k32
