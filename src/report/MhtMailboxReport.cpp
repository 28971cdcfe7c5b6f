#include "report/MhtMailboxReport.h"

#include <array>
#include <vector>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/EventPump.h"
#include "report/Columns.h"
#include "report/MhtFrame.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

namespace k32 {

namespace {

constexpr std::array<std::string_view, 7> kSortFieldNames = {
    "Username", "Fullname", "Inbox", "Outbox", "Wastebin", "Size", "UID"};

// Columns a GroupWise 5.5 log never fills: Fullname, Sizelimit, Threshold, Exceeded.
bool UnsupportedByGW55(std::string_view code) {
    return code == "1" || code == "6" || code == "7" || code == "8";
}

}  // namespace

namespace {

// How one column's cells are made, worked out once per report.
struct CellPlan {
    int field = -1;  // the record field, -1 for a code outside "0".."9"
    std::string_view alignment;
    bool grouped = false;
};

CellPlan PlanCell(std::string_view code) {
    CellPlan plan;
    plan.field = ColumnRecordField(code);
    if (plan.field < 0)
        return plan;
    plan.alignment = plan.field == kUserName || plan.field == kFullName ? "LEFT" : "RIGHT";
    plan.grouped = plan.field == kSize || plan.field == kInbox || plan.field == kOutbox ||
                   plan.field == kWastebasket || plan.field == kSizeLimit;
    return plan;
}

// The cell's text, grouped where the column is a number, cut so that the whole cell (alignment
// word, quotation mark and ">" included) is at most 255 characters.
std::string_view CellText(const CellPlan& plan, const MailboxRecordView& record,
                          std::string_view separator, std::string& scratch) {
    if (plan.field < 0)
        return {};
    std::string_view text = record.field[plan.field];
    if (plan.grouped && text.size() >= 4) {
        scratch.clear();
        AppendGroupedDigits(scratch, text, separator);
        text = scratch;
    }
    const std::size_t room = kTextMax - plan.alignment.size() - 2;
    return text.substr(0, room);
}

}  // namespace

HtmlCellText HtmlCell(const MailboxRecordView& record, std::string_view code,
                      std::string_view groupSeparator) {
    const CellPlan plan = PlanCell(code);
    std::string scratch;
    return {plan.alignment, std::string(CellText(plan, record, groupSeparator, scratch))};
}

void WriteMhtMailboxReport(AppState& state) {
    PendingFiles pending;
    StageMhtMailboxReport(state, pending);
    pending.CommitAll();
}

void StageMhtMailboxReport(AppState& state, PendingFiles& pending) {
    BuildImageParts(state);
    const LogData& log = state.log;
    MhtFrame frame = NewMhtFrame(state, kSortFieldNames);
    // The columns of this report; a GroupWise 5.5 log leaves out the ones it never fills,
    // without touching the user's settings.
    std::array<ColumnSlot, kColumnSlots> slots = state.settings.columns;
    if (log.summary.versionText.view().find("5.5") != std::string_view::npos) {
        frame.tableWidth = "600";
        for (ColumnSlot& slot : slots)
            if (UnsupportedByGW55(slot.ColumnFieldCode.view()))
                slot.html = false;
        AddProgressLine(state, "Groupwise 5.5 detected, filtering unsupported columns.");
    }
    for (const ColumnSlot& slot : slots)
        if (slot.html)
            frame.captions.push_back(ColumnCaption(slot.ColumnFieldCode.view()));

    StartMhtReport(state);
    LineWriter out(log.summary.MhtReportPath.str(), LineWriter::Mode::Replace);
    WriteMhtTop(out, state, frame);
    const std::string_view separator = state.settings.DECSeperator.view();
    std::vector<CellPlan> plans;
    for (const ColumnSlot& slot : slots)
        if (slot.html)
            plans.push_back(PlanCell(slot.ColumnFieldCode.view()));
    std::string scratch;
    for (std::uint32_t i = 1; i <= frame.rows; ++i) {
        PumpEvents(state);
        const MailboxRecordView rec = GetMailboxRecord(log, i);
        out.WriteLine("<tr>");
        for (const CellPlan& plan : plans)
            WriteMhtCell(out, plan.alignment, CellText(plan, rec, separator, scratch));
        out.WriteLine("</tr>");
    }
    WriteMhtBottom(out, state, frame);
    FinishMhtReport(state, out, pending);
}

}  // namespace k32
