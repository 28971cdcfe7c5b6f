// The web report as the program's own viewer shows it: loaded in the real web engine, its two
// images must load and an accented name (Windows-1252 in the log) must read correctly.

#include <QEventLoop>
#include <QImage>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtTest>

#include "app/RunProcessing.h"
#include "state/ReportSettings.h"

class ReportRender : public QObject {
    Q_OBJECT

  private:
    // Runs JavaScript in the page's application world (a web archive's own scripts are off)
    // and waits for its result.
    // An invalid result after ten seconds without an answer.
    QVariant Evaluate(QWebEnginePage* page, const QString& code) {
        QVariant result;
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        page->runJavaScript(code, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
            result = v;
            loop.quit();
        });
        loop.exec();
        return result;
    }

    // Writes the reports of a sample log into `dir` and gives the web report's path.
    QString WriteReport(const QString& sample, const QString& dir) {
        k32::ReportSettings settings;
        k32::SetDefaultSettings(settings);
        settings.DebugMode = 3;
        settings.InputPath = (QStringLiteral(KESTRAMA_SAMPLES "/") + sample).toStdString();
        settings.OutputBasePath = (dir + "/report").toStdString();
        k32::RunContext ctx;
        k32::RunProcessing(k32::MakeRunRequest(settings, false), ctx);
        return dir + "/report.mht";
    }

  private slots:
    void imagesAndAccentsShow_data() {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QString>("expectedText");
        QTest::addRow("German mailbox report")
            << "german-gw7.log" << QString::fromUtf8("Hans Müller");
        QTest::addRow("French mailbox report")
            << "french-gw8.log" << QString::fromUtf8("Mathis Lefèvre");
        QTest::addRow("expire report") << "english-gw652-expire.log"
                                       << "AMORGAN";
    }

    void imagesAndAccentsShow() {
        QFETCH(QString, sample);
        QFETCH(QString, expectedText);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString mht = WriteReport(sample, dir.path());
        QVERIFY(QFileInfo::exists(mht));

        QWebEngineView view;
        view.resize(1000, 800);
        view.show();
        QSignalSpy loaded(view.page(), &QWebEnginePage::loadFinished);
        view.load(QUrl::fromLocalFile(mht));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
        QVERIFY(loaded.takeFirst().at(0).toBool());

        // Images finish decoding a little after the load itself.
        QVariantList widths;
        QTRY_VERIFY_WITH_TIMEOUT(
            (widths = Evaluate(view.page(), "Array.from(document.images).map(i => i.naturalWidth)")
                          .toList(),
             widths.size() == 2 && widths[0].toInt() > 0 && widths[1].toInt() > 0),
            15000);
        QCOMPARE(widths[0].toInt(), 468);
        QCOMPARE(widths[1].toInt(), 85);

        const QString text = Evaluate(view.page(), "document.body.innerText").toString();
        QVERIFY2(text.contains(expectedText), qPrintable(text.left(2000)));
        QVERIFY(!text.contains(QString::fromUtf8("Ã")));  // no bytes read in the wrong encoding

        // A picture to look at, when asked for.
        if (const QByteArray shot = qgetenv("KESTRAMA_SCREENSHOT_DIR"); !shot.isEmpty()) {
            QTest::qWait(500);
            view.grab().save(QString::fromLocal8Bit(shot) + "/" + QTest::currentDataTag() + ".png");
        }
    }
};

QTEST_MAIN(ReportRender)
#include "tst_reportrender.moc"
