#pragma once
// The result grid as a view over the mailbox table: no item per cell, so hundreds of thousands
// of mailboxes show at once. The caption row is the header; below the records comes the row of
// column widths. Cleared and refilled whenever the grid's data changes.

#include <QAbstractTableModel>

namespace k32 {

struct AppState;

class ResultGridModel : public QAbstractTableModel {
  public:
    ResultGridModel(const AppState& state, QObject* parent)
        : QAbstractTableModel(parent), state_(state) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The table was refilled: every row and width may have changed.
    void Refill() {
        beginResetModel();
        endResetModel();
    }

  private:
    const AppState& state_;
};

}  // namespace k32
