#pragma once
// The result grid as a view over the mailbox table: no item per cell, so hundreds of thousands
// of mailboxes show at once. The caption row is the header; below the records comes the row of
// column widths. Cleared and refilled whenever the grid's data changes.

#include <QAbstractTableModel>

#include <memory>

#include "app/RunRequest.h"

namespace k32 {

class ResultGridModel : public QAbstractTableModel {
  public:
    explicit ResultGridModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows the table and the widths of a completed run, which the model keeps as they are.
    void Show(std::shared_ptr<const RunResult> result) {
        beginResetModel();
        result_ = std::move(result);
        endResetModel();
    }
    const std::shared_ptr<const RunResult>& Shown() const { return result_; }

  private:
    // Null before the first run's table is shown.
    std::shared_ptr<const RunResult> result_;
};

}  // namespace k32
