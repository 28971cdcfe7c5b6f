// Starting and quitting the window with the settings store in each of its states: none yet,
// another version's, a damaged number; what start-up shows, what the store holds afterwards,
// and that quitting rewrites the two paths and nothing else.

#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include "UserInput.h"
#include "WindowTestSupport.h"

using namespace k32test;
using k32::Form1;

namespace {

using StoreValues = QMap<QString, QString>;

StoreValues ReadStore(const QString& path) {
    StoreValues values;
    QSettings store(path, QSettings::IniFormat);
    for (const QString& key : store.allKeys())
        values[key] = store.value(key).toString();
    return values;
}

void SetStoredValue(const QString& store, const QString& name, const QString& value) {
    QSettings settings(store, QSettings::IniFormat);
    settings.setValue(name, value);
    settings.sync();
}

// The Log tab's lines without their time stamps, in order.
QStringList LogLines(const Form1& form, const QStringList& wanted) {
    QStringList found;
    for (const QString& line :
         Child<QPlainTextEdit>(form, "MemoMainLog")->toPlainText().split('\n'))
        for (const QString& w : wanted)
            if (line.endsWith(w))
                found << w;
    return found;
}

// A store written by a first start, with everything at its defaults.
void MakeStore(const QString& path) {
    MessageBoxAnswerer answers;
    Program first(path);
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // No store yet: the first-run message, then a store with every value at its default, and
    // the window up on the Log tab with the welcome lines.
    void firstRun() {
        MessageBoxAnswerer answers;
        Program p;
        Form1& f = *p.form;
        QCOMPARE(answers.texts, QStringList{"First run, settings default settings."});

        const StoreValues store = ReadStore(p.store);
        QCOMPARE(store.size(), 43);
        QCOMPARE(store.value("Version"), QString("0.3.3"));
        QCOMPARE(store.value("IN"), QString());
        QCOMPARE(store.value("OUT"), QString());
        QCOMPARE(store.value("Sort"), QString("5"));
        QCOMPARE(store.value("SortDir"), QString("1"));
        QCOMPARE(store.value("CSVSeperator"), QString(";"));
        QCOMPARE(store.value("COLUMN10"), QString("9"));
        QCOMPARE(store.value("ENABLECSV07"), QString("1"));
        QCOMPARE(store.value("TOP"), QString("0"));

        QVERIFY(f.isVisible());
        QVERIFY(f.isEnabled());
        QCOMPARE(f.size(), QSize(800, 600));
        QCOMPARE(Child<QTabWidget>(f, "TabControl1")->currentIndex(), int(k32::kTabLog));
        QVERIFY(Child<QPlainTextEdit>(f, "MemoMainLog")->isVisible());
        const QStringList lines =
            Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText().split('\n');
        const int welcome =
            lines.indexOf(QRegularExpression(".*Welcome at Kestrama 32 for Windows$"));
        QVERIFY2(welcome >= 0, qPrintable(Child<QPlainTextEdit>(f, "MemoMainLog")->toPlainText()));
        QVERIFY(welcome + 1 < lines.size() && lines[welcome + 1].contains("System: "));
        QVERIFY(!Child<QPushButton>(f, "ButtonReSort")->isEnabled());
        QCOMPARE(Child<QPushButton>(f, "ButtonGo")->text(), QString("Go"));
    }

    // A store of another version: the settings go back to their defaults and are saved with the
    // current version; the two stored paths stay and show in the path boxes.
    void otherVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::addRow("older version") << "0.3.2";
        QTest::addRow("no version value") << QString();
    }

    void otherVersion() {
        QFETCH(QString, version);
        QTemporaryDir dir;
        const QString path = dir.filePath("Kestrama32.ini");
        MakeStore(path);
        SetStoredValue(path, "Sort", "1");
        SetStoredValue(path, "CSVSeperator", "#");
        SetStoredValue(path, "COLUMN01", "9");
        SetStoredValue(path, "TOP", "12");
        SetStoredValue(path, "IN", "/srv/logs/po1.log");
        SetStoredValue(path, "OUT", "/srv/reports/po1");
        if (version.isNull()) {
            QSettings s(path, QSettings::IniFormat);
            s.remove("Version");
        } else {
            SetStoredValue(path, "Version", version);
        }

        MessageBoxAnswerer answers;
        Program p(path);
        Form1& f = *p.form;
        QVERIFY(answers.texts.isEmpty());
        QCOMPARE(LogLines(f, {"Version mismatch, setting defaults", "Saving registry"}),
                 QStringList({"Version mismatch, setting defaults", "Saving registry"}));
        QCOMPARE(p.state.settings.Sort, 5);
        QCOMPARE(p.state.settings.TOP, 0u);
        QCOMPARE(Child<QLineEdit>(f, "EditOpen")->text(), QString("/srv/logs/po1.log"));
        QCOMPARE(Child<QLineEdit>(f, "EditSave")->text(), QString("/srv/reports/po1"));

        const StoreValues store = ReadStore(path);
        QCOMPARE(store.size(), 43);
        QCOMPARE(store.value("Version"), QString("0.3.3"));
        QCOMPARE(store.value("Sort"), QString("5"));
        QCOMPARE(store.value("CSVSeperator"), QString(";"));
        QCOMPARE(store.value("COLUMN01"), QString("0"));
        QCOMPARE(store.value("TOP"), QString("0"));
        QCOMPARE(store.value("IN"), QString("/srv/logs/po1.log"));
        QCOMPARE(store.value("OUT"), QString("/srv/reports/po1"));
    }

    // A number that is not one ends the read with the conversion error, naming the store and
    // the value; the window still comes up, takes a path and runs a report.
    void damagedNumber_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addRow("TOP a word") << "TOP"
                                    << "ten"
                                    << "'ten' is not a valid integer value";
        QTest::addRow("TOP negative") << "TOP"
                                      << "-3"
                                      << "'-3' is not a valid integer value";
        QTest::addRow("Sort empty") << "Sort"
                                    << ""
                                    << "'' is not a valid integer value";
    }

    void damagedNumber() {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath("Kestrama32.ini");
        MakeStore(path);
        SetStoredValue(path, name, value);

        MessageBoxAnswerer answers;
        Program p(path);
        Form1& f = *p.form;
        // The box names the store and the value on the line below the message.
        QCOMPARE(answers.texts, QStringList{message + "\n" + path + ", value " + name});
        QVERIFY(f.isVisible());
        QVERIFY(f.isEnabled());
        QCOMPARE(f.size(), QSize(800, 600));

        Retype(Child<QLineEdit>(f, "EditOpen"), KESTRAMA_SAMPLES "/english-gw652.log");
        Retype(Child<QLineEdit>(f, "EditSave"), dir.filePath("po1"));
        Click(Child<QPushButton>(f, "ButtonGo"));
        QVERIFY(WaitUntil([&] { return !f.Busy(); }));
        QVERIFY2(QFile::exists(dir.filePath("po1.mht")), qPrintable(answers.texts.join('|')));
        QVERIFY(QFile::exists(dir.filePath("po1.csv")));
        QCOMPARE(answers.texts.size(), 1);
    }

    // Quitting stores the two paths as they stand and leaves every other value as it was, also
    // a setting that was applied but not saved; the close routine runs once.
    void quitStoresPathsOnly_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::addRow("Quit button") << false;
        QTest::addRow("close box") << true;
    }

    void quitStoresPathsOnly() {
        QFETCH(bool, closeBox);
        QTemporaryDir dir;
        const QString path = dir.filePath("Kestrama32.ini");
        MakeStore(path);
        SetStoredValue(path, "IN", "/old/in.log");
        SetStoredValue(path, "OUT", "/old/out");
        SetStoredValue(path, "TOP", "7");
        const StoreValues before = ReadStore(path);

        MessageBoxAnswerer answers;
        Program p(path);
        Form1& f = *p.form;
        Retype(Child<QLineEdit>(f, "EditOpen"), "/new/in.log");
        Retype(Child<QLineEdit>(f, "EditSave"), "/new/out");
        p.state.settings.TOP = 99;  // applied on the Settings tab, never saved
        p.state.settings.Sort = 0;
        if (closeBox) {
            f.close();
            f.close();  // a second close box click after the first
        } else {
            Click(Child<QPushButton>(f, "ButtonQuit"));
        }
        QVERIFY(f.QuitDone());
        QVERIFY(!f.isVisible());
        QCOMPARE(LogLines(f, {"Quiting"}), QStringList{"Quiting"});

        StoreValues expected = before;
        expected["IN"] = "/new/in.log";
        expected["OUT"] = "/new/out";
        QCOMPARE(ReadStore(path), expected);
        QVERIFY(answers.texts.isEmpty());
    }

    // Two parameters are neither a batch run nor nothing: the message names the count, then the
    // window starts as without parameters.
    void wrongParameterCount() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Kestrama32.ini");
        MakeStore(path);
        MessageBoxAnswerer answers;
        Program p(path, {"/IN:/tmp/x.log", "/OUT:/tmp/r"});
        QCOMPARE(answers.texts, QStringList{"Incorrect parameters, running GUI version.2"});
        QVERIFY(p.form->isVisible());
        QVERIFY(p.form->isEnabled());
        QCOMPARE(Child<QLineEdit>(*p.form, "EditOpen")->text(), QString());
        QVERIFY(p.state.WindowMode);
    }

    // Window mode with nowhere to show the window: it says so and ends with 2, no crash.
    void noDisplay() {
        QTemporaryDir dir;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("KESTRAMA32_SETTINGS", dir.filePath("Kestrama32.ini"));
        program.setProcessEnvironment(env);
        program.start(KESTRAMA_PROGRAM, {});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("no display"));
        QVERIFY(!QFile::exists(dir.filePath("Kestrama32.ini")));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
