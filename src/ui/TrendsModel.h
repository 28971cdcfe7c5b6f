#pragma once
// The Trends tab's growth table: one row per mailbox of the newer run, compared with an earlier
// run of the same post office. Sortable by any column; a figure that does not exist (a mailbox
// new since the earlier run, no limit, too few runs for a projection) shows as an empty cell and
// sorts below every figure, in either direction.

#include <QAbstractTableModel>
#include <optional>
#include <string>
#include <vector>

#include "history/Trends.h"

namespace k32 {

// One mailbox's figures; names are Windows-1252 bytes, as the log holds them.
using TrendsRow = GrowthRow;

class TrendsModel : public QAbstractTableModel {
  public:
    enum Column : int {
        kUsername,
        kFullname,
        kSizeThen,
        kSizeNow,
        kGrowthMb,
        kGrowthPct,
        kLimitMb,
        kUsedPct,
        kDaysToLimit,
        kColumnCount
    };
    // The figure a column sorts by, for tests and the charts (a double, or invalid when empty).
    static constexpr int SortRole = Qt::UserRole;

    explicit TrendsModel(QObject* parent) : QAbstractTableModel(parent) {}

    // Replaces every row, keeping the current sort column and order.
    void SetRows(std::vector<TrendsRow> rows);
    const TrendsRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

  private:
    // Sorts by the current column and order; returns, for each new row, its old row.
    std::vector<int> SortRows();

    std::vector<TrendsRow> rows_;
    int sortColumn_ = kGrowthMb;
    Qt::SortOrder sortOrder_ = Qt::DescendingOrder;
};

}  // namespace k32
