#include "report/MhtExpireReport.h"

#include <array>
#include <string>

#include "state/AppState.h"
#include "state/DebugLog.h"
#include "state/EventPump.h"
#include "report/MhtFrame.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

namespace k32 {

namespace {

constexpr std::array<std::string_view, 10> kExpireCaptions = {
    "Username", "Fullname",       "Size MAIL", "Size TASK", "Size APPT",
    "Wastebin", "Sizelimit (MB)", "Threshold", "Exceeded",  "UID"};
constexpr std::array<std::string_view, 7> kExpireSortFieldNames = {
    "Username", "Fullname", "Size Mail", "Size Task", "Size Appt", "Size", "UID"};

int CodeIndex(std::string_view code) {
    return code.size() == 1 && code[0] >= '0' && code[0] <= '9' ? code[0] - '0' : -1;
}

}  // namespace

std::string_view ExpireColumnCaption(std::string_view code) {
    const int i = CodeIndex(code);
    return i < 0 ? std::string_view() : kExpireCaptions[i];
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

void WriteMhtExpireReport(AppState& state) {
    BuildImageParts(state);
    const LogData& log = state.log;
    MhtFrame frame = NewMhtFrame(state, kExpireSortFieldNames);
    const auto& slots = state.settings.columns;
    for (const ColumnSlot& slot : slots)
        if (slot.html)
            frame.captions.push_back(ExpireColumnCaption(slot.ColumnFieldCode.view()));

    StartMhtReport(state);
    LineWriter out(log.summary.MhtReportPath.str(), LineWriter::Mode::Replace);
    WriteMhtTop(out, state, frame);
    const std::string_view separator = state.settings.DECSeperator.view();
    const bool trace = ProgressLinesShown(state);
    for (std::uint32_t i = 1; i <= frame.rows; ++i) {
        PumpEvents(state);
        const ExpireRecordView rec = GetExpireRecord(log, i);
        out.WriteLine("<tr>");
        for (const ColumnSlot& slot : slots) {
            if (!slot.html)
                continue;
            const HtmlCellText cell = ExpireHtmlCell(rec, slot.ColumnFieldCode.view(), separator);
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
                AddProgressLine(state, line.view());
            }
        }
        out.WriteLine("</tr>");
    }
    WriteMhtBottom(out, state, frame);
    PendingFiles pending;
    FinishMhtReport(state, out, pending);
    pending.CommitAll();
}

}  // namespace k32
