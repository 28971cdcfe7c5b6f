#include "report/MhtMailboxReport.h"

#include <array>
#include <vector>

#include "report/Columns.h"
#include "report/MhtFrame.h"
#include "state/ColumnTable.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

namespace k32 {

namespace {

// Columns a GroupWise 5.5 log never fills: Fullname, Sizelimit, Threshold, Exceeded.
bool UnsupportedByGW55(std::string_view code) {
    const ColumnInfo* c = ColumnOfCode(code);
    return c && !c->inGroupWise55;
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
    const ColumnInfo* c = ColumnOfCode(code);
    if (!c)
        return plan;
    plan.field = static_cast<int>(c->field);
    plan.alignment = c->alignLeft ? "LEFT" : "RIGHT";
    plan.grouped = c->groupDigits;
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

void WriteMhtMailboxReport(RunContext& ctx, const MailboxReportData& data) {
    PendingFiles pending;
    StageMhtMailboxReport(ctx, data, pending);
    pending.CommitAll();
}

void StageMhtMailboxReport(RunContext& ctx, const MailboxReportData& data, PendingFiles& pending) {
    MhtFrame frame = NewMhtFrame(data.table.Count(), data.rows);
    if (const ColumnInfo* sort = ColumnOfSortField(data.settings.Sort))
        frame.sortFieldName = sort->sortName;
    // The columns of this report; a GroupWise 5.5 log leaves out the ones it never fills,
    // without touching the user's settings.
    std::array<ColumnSlot, kColumnSlots> slots = data.settings.columns;
    if (data.summary.versionText.view().find("5.5") != std::string_view::npos) {
        frame.tableWidth = "600";
        for (ColumnSlot& slot : slots)
            if (UnsupportedByGW55(slot.ColumnFieldCode.view()))
                slot.html = false;
        AddProgressLine(ctx, "Groupwise 5.5 detected, filtering unsupported columns.");
    }
    std::vector<CellPlan> plans;
    for (const ColumnSlot& slot : slots) {
        if (!slot.html)
            continue;
        frame.captions.push_back(ColumnCaption(slot.ColumnFieldCode.view()));
        plans.push_back(PlanCell(slot.ColumnFieldCode.view()));
    }
    const std::string_view separator = data.settings.DECSeperator.view();
    auto writeRows = [&](LineWriter& out) {
        std::string scratch;
        for (std::uint32_t i = 1; i <= frame.rows; ++i) {
            ThrowIfStopped(ctx);
            const MailboxRecordView rec = data.table.Get(i);
            out.WriteLine("<tr>");
            for (const CellPlan& plan : plans)
                WriteMhtCell(out, plan.alignment, CellText(plan, rec, separator, scratch));
            out.WriteLine("</tr>");
        }
    };
    StageMhtReport(ctx, data.summary, data.settings, frame, writeRows, pending);
}

}  // namespace k32
