#pragma once
// Shared by the window tests: starting the real window on a fresh state with its own settings
// store, answering modal dialogs as a user would, and reading the web views.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/AppState.h"
#include "ui/Form1.h"
#include "ui/WindowStart.h"

namespace k32test {

// The window's control of that objectName (the control's name); the test program stops when
// there is none, since every later step would use it.
template <typename T>
T* Child(const QObject& form, const QString& name) {
    T* control = form.findChild<T*>(name);
    if (!control)
        qFatal("no control named %s", qPrintable(name));
    return control;
}

// One of the ten column slots' controls (slot 0 is "…01").
template <typename T>
T* Slot(const QObject& form, const char* prefix, int slot) {
    return Child<T>(form, QString::asprintf("%s%02d", prefix, slot + 1));
}

// Runs the event loop until `done` holds or `ms` pass; true when it holds.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

// Answers every modal message box that opens while it lives: records its text and presses OK.
// Message boxes open inside the code under test (a nested event loop), so a timer answers them.
class MessageBoxAnswerer {
  public:
    MessageBoxAnswerer() {
        timer_.setInterval(30);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box && box->isVisible()) {
                    texts.append(box->text());
                    widths.append(box->width());
                    box->accept();
                }
            }
        });
        timer_.start();
    }
    QStringList texts;
    QList<int> widths;

  private:
    QTimer timer_;
};

// Calls `act` on the first visible modal dialog of type T that opens (for file and print
// dialogs), from a timer, while the code under test waits in the dialog's own loop.
template <typename T>
void WhenDialogOpens(std::function<void(T*)> act, int ms = 10000) {
    auto* timer = new QTimer;
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    timer->setInterval(30);
    QObject::connect(timer, &QTimer::timeout, [timer, act, elapsed, ms] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (elapsed->elapsed() > ms) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// A fresh program: its own state, a settings store in a temporary folder (or `storeFile`), the
// window started as the program starts it.
struct Program {
    explicit Program(const QString& storeFile = {}, const std::vector<std::string>& params = {}) {
        store = storeFile.isEmpty() ? dir.filePath("Kestrama32.ini") : storeFile;
        qputenv("KESTRAMA32_SETTINGS", store.toUtf8());
        // The history store a window run keeps by default goes into the temporary folder too.
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        form = k32::FormCreate(state, params, KESTRAMA_PROGRAM_DIR);
    }
    ~Program() { form.reset(); }
    QTemporaryDir dir;
    QString store;
    k32::AppState state;
    std::unique_ptr<k32::Form1> form;
};

// Runs JavaScript in the page's application world (a web archive runs no scripts of its own)
// and waits for its result; an invalid result after ten seconds.
inline QVariant Evaluate(QWebEnginePage* page, const QString& code) {
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

// Waits until the view has finished loading its page (its images included).
inline bool Loaded(QWebEngineView* view) {
    return WaitUntil([&] {
        return Evaluate(view->page(),
                        "document.readyState === 'complete' && "
                        "Array.from(document.images).every(i => i.complete)")
            .toBool();
    });
}

}  // namespace k32test
