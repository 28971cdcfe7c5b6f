#include "report/MhtExpireReport.h"

#include <array>
#include <string>

#include "report/MhtFrame.h"
#include "state/ColumnTable.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

namespace k32 {

namespace {}  // namespace

std::string_view ExpireColumnCaption(std::string_view code) {
    const ColumnInfo* c = ColumnOfCode(code);
    return c ? c->expireCaption : std::string_view();
}

HtmlCellText ExpireHtmlCell(const ExpireRecordView& record, std::string_view code,
                            std::string_view groupSeparator) {
    const int i = CodeIndex(code);
    if (i < 0)
        return {};
    HtmlCellText cell;
    if (i <= 1) {
        cell = {"LEFT", std::string(record.field[i])};
    } else if (i <= 4) {
        cell = {"RIGHT", GroupDigits(record.field[i], groupSeparator)};
    } else {
        // Codes 5 to 9 have no expire field of their own; they show the previous user's name.
        cell = {"RIGHT", std::string(record.field[6])};
    }
    const std::size_t room = kTextMax - cell.alignment.size() - 2;
    if (cell.text.size() > room)
        cell.text.resize(room);
    return cell;
}

void WriteMhtExpireReport(RunContext& ctx, const ExpireReportData& data) {
    MhtFrame frame = NewMhtFrame(data.table.Count(), data.rows);
    if (const ColumnInfo* sort = ColumnOfSortField(data.settings.Sort))
        frame.sortFieldName = sort->expireSortName;
    const auto& slots = data.settings.columns;
    for (const ColumnSlot& slot : slots)
        if (slot.html)
            frame.captions.push_back(ExpireColumnCaption(slot.ColumnFieldCode.view()));

    const std::string_view separator = data.settings.DECSeperator.view();
    const bool trace = ProgressLinesShown(ctx);
    auto writeRows = [&](LineWriter& out) {
        for (std::uint32_t i = 1; i <= frame.rows; ++i) {
            ThrowIfStopped(ctx);
            const ExpireRecordView rec = data.table.Get(i);
            out.WriteLine("<tr>");
            for (const ColumnSlot& slot : slots) {
                if (!slot.html)
                    continue;
                const HtmlCellText cell =
                    ExpireHtmlCell(rec, slot.ColumnFieldCode.view(), separator);
                WriteMhtCell(out, cell.alignment, cell.text);
                if (trace) {
                    // "#", the cell as it is written (alignment included), "#", the code, "$".
                    Text line("#");
                    line.append(cell.alignment);
                    if (!cell.alignment.empty())
                        line.append("\">");
                    line.append(cell.text);
                    line.append("#");
                    line.append(slot.ColumnFieldCode.view());
                    line.append("$");
                    AddProgressLine(ctx, line.view());
                }
            }
            out.WriteLine("</tr>");
        }
    };
    PendingFiles pending;
    StageMhtReport(ctx, data.summary, data.settings, frame, writeRows, pending);
    pending.CommitAll();
}

}  // namespace k32
