#include "ui/TrendsModel.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "ui/TextDecode.h"

namespace k32 {

namespace {

const std::optional<double>& Figure(const TrendsRow& row, int column) {
    static const std::optional<double> none;
    switch (column) {
        case TrendsModel::kSizeThen:
            return row.sizeThen;
        case TrendsModel::kSizeNow:
            return row.sizeNow;
        case TrendsModel::kGrowthMb:
            return row.growthMb;
        case TrendsModel::kGrowthPct:
            return row.growthPct;
        case TrendsModel::kLimitMb:
            return row.limitMb;
        case TrendsModel::kUsedPct:
            return row.usedPct;
        case TrendsModel::kDaysToLimit:
            return row.daysToLimit;
        default:
            return none;
    }
}

bool IsTextColumn(int column) {
    return column == TrendsModel::kUsername || column == TrendsModel::kFullname;
}

QString FigureText(const std::optional<double>& value, int column) {
    if (!value)
        return {};
    // Sizes and limits are whole megabytes; percentages get one decimal; days are whole days.
    const bool percent = column == TrendsModel::kGrowthPct || column == TrendsModel::kUsedPct;
    if (column == TrendsModel::kDaysToLimit)
        return QString::number(static_cast<long long>(std::ceil(*value)));
    return percent ? QString::number(*value, 'f', 1) : QString::number(*value, 'f', 0);
}

}  // namespace

void TrendsModel::SetRows(std::vector<TrendsRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    SortRows();
    endResetModel();
}

int TrendsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrendsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TrendsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount)
        return {};
    const TrendsRow& row = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            if (column == kUsername)
                return DecodeHistoryText(row.username);
            if (column == kFullname)
                return DecodeHistoryText(row.fullname);
            return FigureText(Figure(row, column), column);
        case Qt::ToolTipRole:
            // The projection's date and pace, which the narrow table leaves out.
            if (column == kDaysToLimit && row.growthPerWeekMb) {
                QString tip = QString("Growing %1 MB a week").arg(*row.growthPerWeekMb, 0, 'f', 1);
                if (!row.limitDate.empty())
                    tip += QString(": the limit is reached about %1")
                               .arg(QString::fromStdString(row.limitDate));
                return tip;
            }
            return {};
        case Qt::TextAlignmentRole:
            return IsTextColumn(column) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                        : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case SortRole:
            if (IsTextColumn(column))
                return data(index, Qt::DisplayRole);
            if (const auto& v = Figure(row, column))
                return *v;
            return {};
        default:
            return {};
    }
}

QVariant TrendsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    // Two lines each, so that every column is about as narrow as its figures.
    static const char* const captions[kColumnCount] = {
        "Username",    "Full name",   "Size then\n(MB)", "Size now\n(MB)", "Growth\n(MB)",
        "Growth\n(%)", "Limit\n(MB)", "Used\n(%)",       "Days to\nlimit"};
    return section >= 0 && section < kColumnCount ? QString::fromLatin1(captions[section])
                                                  : QVariant();
}

void TrendsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortColumn_ = column;
    sortOrder_ = order;
    const std::vector<int> from = SortRows();
    // A selected or current cell stays on its mailbox.
    std::vector<int> to(from.size());
    for (std::size_t i = 0; i < from.size(); ++i)
        to[static_cast<std::size_t>(from[i])] = static_cast<int>(i);
    QModelIndexList before = persistentIndexList(), after;
    for (const QModelIndex& index : before)
        after.append(this->index(to[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> TrendsModel::SortRows() {
    const int column = sortColumn_;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::vector<int> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    auto row = [this](int i) -> const TrendsRow& { return rows_[static_cast<std::size_t>(i)]; };
    if (IsTextColumn(column)) {
        // Names compare as bytes, the way the reports sort them.
        auto key = [&](int i) -> const std::string& {
            return column == kUsername ? row(i).username : row(i).fullname;
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return descending ? key(b) < key(a) : key(a) < key(b);
        });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const auto& x = Figure(row(a), column);
            const auto& y = Figure(row(b), column);
            if (!x || !y)
                return x.has_value() && !y.has_value();  // empty cells last
            return descending ? *y < *x : *x < *y;
        });
    }
    std::vector<TrendsRow> sorted;
    sorted.reserve(rows_.size());
    for (int i : order)
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(i)]));
    rows_ = std::move(sorted);
    return order;
}

}  // namespace k32
