#include "ui/ResultGridModel.h"

#include "report/ResultGrid.h"
#include "ui/TextDecode.h"

namespace k32 {

namespace {
// The grid has 50 empty rows before its first fill.
constexpr int kRowsBeforeFill = 50;

// What the grid shows before the first run: no records, no widths.
const MailboxTable& NoTable() {
    static const MailboxTable none;
    return none;
}
}  // namespace

int ResultGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    if (!result_ || !result_->grid.filled)
        return kRowsBeforeFill - 1;
    // Row 0, the captions, is the header.
    return static_cast<int>(ResultGridRowCount(result_->log.mailboxes)) - 1;
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kGridColumns);
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    // The records' texts are the log's, in its encoding.
    return DecodeLogText(ResultGridCell(result_ ? result_->log.mailboxes : NoTable(),
                                        result_ ? result_->grid : ResultGridData{},
                                        static_cast<std::uint32_t>(index.row()) + 1,
                                        static_cast<std::uint32_t>(index.column())),
                         result_ ? result_->log.summary.encoding : TextEncoding::Windows1252);
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // The columns are as wide as their values, which may cut a caption: its tool tip shows it
    // whole.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || orientation != Qt::Horizontal)
        return {};
    return DecodeForDisplay(ResultGridCell(result_ ? result_->log.mailboxes : NoTable(),
                                           result_ ? result_->grid : ResultGridData{}, 0,
                                           static_cast<std::uint32_t>(section)));
}

}  // namespace k32
