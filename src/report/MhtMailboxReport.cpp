#include "report/MhtMailboxReport.h"

#include <array>

#include "analysis/Totals.h"
#include "app/AppState.h"
#include "app/DebugLog.h"
#include "app/EventPump.h"
#include "report/Columns.h"
#include "report/MhtFrame.h"
#include "text/LineWriter.h"

namespace k32 {

namespace {

constexpr std::array<std::string_view, 7> kSortFieldNames = {
    "Username", "Fullname", "Inbox", "Outbox", "Wastebin", "Size", "UID"};

// Columns a GroupWise 5.5 log never fills: Fullname, Sizelimit, Threshold, Exceeded.
bool UnsupportedByGW55(std::string_view code) {
    return code == "1" || code == "6" || code == "7" || code == "8";
}

}  // namespace

HtmlCellText HtmlCell(const MailboxRecordView& record, std::string_view code,
                      std::string_view groupSeparator) {
    const int field = ColumnRecordField(code);
    if (field < 0) return {};
    const std::string_view value = record.field[field];
    const bool left = field == kUserName || field == kFullName;
    const bool grouped = field == kSize || field == kInbox || field == kOutbox ||
                         field == kWastebasket || field == kSizeLimit;
    HtmlCellText cell{left ? "LEFT" : "RIGHT",
                      grouped ? GroupDigits(value, groupSeparator) : std::string(value)};
    // The whole cell, alignment word, quotation mark and ">" included, is at most 255.
    const std::size_t room = kTextMax - cell.alignment.size() - 2;
    if (cell.text.size() > room) cell.text.resize(room);
    return cell;
}

void WriteMhtMailboxReport(AppState& state) {
    BuildImageParts(state);
    const LogData& log = state.log;
    MhtFrame frame;
    frame.count = log.count;
    frame.rows = ReportRows(state.reportTopCount, log.count);
    frame.tableWidth = "900";
    frame.sortFieldName = state.settings.Sort < kSortFieldNames.size()
                              ? kSortFieldNames[state.settings.Sort]
                              : std::string_view();
    // The columns of this report; a GroupWise 5.5 log leaves out the ones it never fills,
    // without touching the user's settings.
    std::array<ColumnSlot, kColumnSlots> slots = state.settings.columns;
    if (log.summary.versionText.view().find("5.5") != std::string_view::npos) {
        frame.tableWidth = "600";
        for (ColumnSlot& slot : slots)
            if (UnsupportedByGW55(slot.ColumnFieldCode.view())) slot.html = false;
        AddProgressLine(state, "Groupwise 5.5 detected, filtering unsupported columns.");
    }
    for (const ColumnSlot& slot : slots)
        if (slot.html) frame.captions.push_back(ColumnCaption(slot.ColumnFieldCode.view()));

    StartMhtReport(state);
    LineWriter out(log.summary.MhtReportPath.str(), LineWriter::Mode::Replace);
    WriteMhtTop(out, state, frame);
    const std::string_view separator = state.settings.DECSeperator.view();
    for (std::uint32_t i = 1; i <= frame.rows; ++i) {
        PumpEvents(state);
        const MailboxRecordView rec = GetMailboxRecord(log, i);
        out.WriteLine("<tr>");
        for (const ColumnSlot& slot : slots) {
            if (!slot.html) continue;
            const HtmlCellText cell = HtmlCell(rec, slot.ColumnFieldCode.view(), separator);
            WriteMhtCell(out, cell.alignment, cell.text);
        }
        out.WriteLine("</tr>");
    }
    WriteMhtBottom(out, state, frame);
    out.Commit();
    FinishMhtReport(state);
}

}  // namespace k32
