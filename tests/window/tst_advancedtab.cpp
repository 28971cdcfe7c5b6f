// The Advanced tab driven as a user drives it: a path, a count, a version and the problem box,
// then "Write File"; the file written, the input path it becomes, and a run with "Go" on it.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"

using namespace k32test;
using k32::Form1;

// Mailbox number and the line that stands in place of its usage line.
using ProblemLines = QMap<int, QByteArray>;

namespace {

QList<QByteArray> Lines(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast();  // what follows the last line end
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// Fills in the page and presses "Write File".
void WriteFile(Form1& f, const QString& path, const QString& count, int version, bool problems) {
    ClickTab(f, k32::kTabAdvanced);
    Retype(Child<QLineEdit>(f, "EditAdvGW"), path);
    Retype(Child<QLineEdit>(f, "EditAdvGWNr"), count);
    if (problems)
        Click(Child<QCheckBox>(
            f, "CheckBoxProblem"));  // before the version: a later switch to 5.5.x keeps the tick
    Choose(Child<QComboBox>(f, "ComboAdvGW"), version);
    Click(Child<QPushButton>(f, "ButtonAdvGW"));
}

}  // namespace

class AdvancedTabTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void startValues() {
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        ClickTab(f, k32::kTabAdvanced);
        QCOMPARE(Child<QLineEdit>(f, "EditAdvGW")->text(), QDir::homePath() + "/dummy.log");
        QCOMPARE(Child<QLineEdit>(f, "EditAdvGWNr")->text(), QString("100"));
        QCOMPARE(Child<QComboBox>(f, "ComboAdvGW")->currentText(), QString("Groupwise 6.5"));
        QVERIFY(Child<QCheckBox>(f, "CheckBoxProblem")->isEnabled());
        QVERIFY(!Child<QCheckBox>(f, "CheckBoxProblem")->isChecked());
        QVERIFY(Child<QPushButton>(f, "ButtonAdvGW")->isEnabled());
    }

    void writeFile_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("problems");
        QTest::addColumn<int>("mailboxes");
        QTest::addColumn<int>("lines");
        QTest::addColumn<ProblemLines>("problemLines");
        QTest::addRow("count 3 gives ten mailboxes of 6.5")
            << "3" << 2 << false << 10 << 330 << ProblemLines{};
        QTest::addRow("count -5 gives ten mailboxes")
            << "-5" << 2 << false << 10 << 330 << ProblemLines{};
        QTest::addRow("6.5.2 with problems")
            << "12" << 3 << true << 12 << 39 + 12 * 29
            << ProblemLines{
                   {5, "       Problem 90- Threshold limit exceeded. Current size: 5001KB"},
                   {10, "      Problem 89- Size Limit Exceeded.  Current size: 10001KB"}};
        QTest::addRow("6.0.x with problems alternates from 90")
            << "20" << 1 << true << 20 << 40 + 20 * 29
            << ProblemLines{
                   {5, "       Problem 90- Threshold limit exceeded. Current size: 5001KB"},
                   {10, "      Problem 89- Size Limit Exceeded.  Current size: 10001KB"},
                   {15, "       Problem 90- Threshold limit exceeded. Current size: 15001KB"},
                   {20, "      Problem 89- Size Limit Exceeded.  Current size: 20001KB"}};
        QTest::addRow("5.5.x ignores the ticked problem box")
            << "10" << 0 << true << 10 << 315 << ProblemLines{};
    }

    void writeFile() {
        QFETCH(QString, count);
        QFETCH(int, version);
        QFETCH(bool, problems);
        QFETCH(int, mailboxes);
        QFETCH(int, lines);
        QFETCH(ProblemLines, problemLines);
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        const QString path = p.dir.filePath("test logs/dummy 1.log");
        QVERIFY(QDir(p.dir.path()).mkpath("test logs"));
        WriteFile(f, path, count, version, problems);
        QCOMPARE(Child<QCheckBox>(f, "CheckBoxProblem")->isEnabled(), version != 0);
        QCOMPARE(Child<QCheckBox>(f, "CheckBoxProblem")->isChecked(), problems);
        QVERIFY(Child<QPushButton>(f, "ButtonAdvGW")->isEnabled());
        // The Log tab says what was written, and that a small count was raised.
        const QString logText = Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText();
        QVERIFY2(logText.contains(QString("Dummy log written: %1, %2 mailboxes, %3")
                                      .arg(path)
                                      .arg(mailboxes)
                                      .arg(Child<QComboBox>(f, "ComboAdvGW")->itemText(version))),
                 qPrintable(logText));
        QCOMPARE(logText.contains(count + " mailboxes raised to 10"), count.toInt() < 10);

        const QByteArray file = ReadAll(path);
        QCOMPARE(file.count("\r\n"), lines);
        QCOMPARE(file.count('\n'), lines);
        QVERIFY(file.endsWith("\r\n\r\n"));
        const QList<QByteArray> text = Lines(file);
        QCOMPARE(text.count(), lines);
        int users = 0, usage = 0, diskSpace = 0, problemCount = 0;
        for (const QByteArray& line : text) {
            if (line.startsWith("  Checking user = Username"))
                ++users;
            if (line.contains("in use by user's mail"))
                ++usage;
            if (line.startsWith("  Disk space management values:"))
                ++diskSpace;
            if (line.contains("Problem"))
                ++problemCount;
        }
        QCOMPARE(users, mailboxes);
        QCOMPARE(usage, mailboxes - int(problemLines.size()));
        QCOMPARE(diskSpace, version == 0 ? 0 : mailboxes);
        QCOMPARE(problemCount, int(problemLines.size()));
        for (auto it = problemLines.cbegin(); it != problemLines.cend(); ++it) {
            const int user = int(text.indexOf(
                "  Checking user = Username" + QByteArray::number(it.key()) +
                "     (123)   "
                "1234567 bytes,01/01/01 01:00 (Firstname" +
                QByteArray::number(it.key()) + " Lastname" + QByteArray::number(it.key()) + "[])"));
            QVERIFY(user > 0);
            // After the user line: 21 check lines, the statistics and disk-space lines.
            QCOMPARE(text[user + 24], it.value());
        }
        if (version != 0 && problemLines.isEmpty())
            QVERIFY(text.contains("      700 kbytes in use by user's mail"));

        // The file is the input log now; "Go" reads one record per mailbox.
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->text(), path);
        QCOMPARE(QString::fromStdString(p.state.settings.InputPath.str()), path);
        ClickTab(f, k32::kTabSettings);
        QVERIFY(Child<QLineEdit>(f, "EditCMDLine")->text().contains("/IN:\"" + path + "\""));
        Retype(Child<QLineEdit>(f, "EditSave"), p.dir.filePath("test logs/report"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        QCOMPARE(int(p.state.lastRun->log.mailboxes.Count()), mailboxes);
        QVERIFY(QFile::exists(p.dir.filePath("test logs/report.csv")));
        QCOMPARE(answers.texts, QStringList{"First run, settings default settings."});
    }

    // A write that fails shows its error, leaves the file and the input path as they were, and
    // "Write File" can be pressed again.
    void failedWrite_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("missingFolder");
        QTest::addColumn<QString>("error");
        QTest::addRow("a letter in the count")
            << "1x0" << false << "'1x0' is not a valid integer value";
        QTest::addRow("a count with a blank")
            << " 12" << false << "' 12' is not a valid integer value";
        QTest::addRow("a folder that does not exist") << "12" << true << "Path not found\n<path>";
    }

    void failedWrite() {
        QFETCH(QString, count);
        QFETCH(bool, missingFolder);
        QFETCH(QString, error);
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        const QString earlier = p.dir.filePath("earlier.log");
        Retype(Child<QLineEdit>(f, "EditOpen"), earlier);
        const QString path = missingFolder ? p.dir.filePath("no such folder/dummy.log")
                                           : p.dir.filePath("dummy.log");
        if (!missingFolder) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept as it was\n");
        }
        answers.texts.clear();  // the first-run notice
        WriteFile(f, path, count, 2, true);
        QVERIFY(WaitUntil([&] { return !answers.texts.isEmpty(); }, 3000));
        QCOMPARE(answers.texts, QStringList{QString(error).replace("<path>", path)});
        QCOMPARE(ReadAll(path), missingFolder ? QByteArray() : QByteArray("kept as it was\n"));
        QVERIFY(!QFile::exists(path) || !missingFolder);
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->text(), earlier);
        QCOMPARE(QString::fromStdString(p.state.settings.InputPath.str()), earlier);
        QVERIFY(Child<QPushButton>(f, "ButtonAdvGW")->isEnabled());
        QVERIFY(Child<QPushButton>(f, "ButtonGo")->isEnabled());

        // Mended, the next press writes the file.
        const QString good = p.dir.filePath("dummy 2.log");
        WriteFile(f, good, "10", 2, false);
        QCOMPARE(answers.texts.size(), 1);
        QCOMPARE(ReadAll(good).count("\r\n"), 330);
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->text(), good);
    }
};

QTEST_MAIN(AdvancedTabTest)
#include "tst_advancedtab.moc"
