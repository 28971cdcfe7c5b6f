#include "ui/WindowStart.h"

#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSysInfo>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/ProgramPaths.h"
#include "app/Startup.h"
#include "settings/StoredSettings.h"
#include "state/DebugLog.h"
#include "text/Errors.h"
#include "ui/Form1.h"
#include "ui/MessageBox.h"
#include "ui/ResultGridModel.h"
#include "ui/SettingsPage.h"
#include "ui/TextDecode.h"

namespace k32 {

namespace {

// A message box of its own, before the window exists.
void ShowStartMessage(std::string_view text) {
    ShowTitledMessage(nullptr, DecodeForDisplay(text));
}

template <typename Step>
void ShowErrorOf(Step step) {
    try {
        step();
    } catch (const KestramaError& e) {
        // As in the window: the failing file or place on the line below the message.
        ShowStartMessage(e.where.empty() ? std::string(e.what())
                                         : std::string(e.what()) + "\n" + e.where);
    } catch (const std::exception& e) {
        ShowStartMessage(e.what());
    }
}

bool DisplayAvailable() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

std::string ManualPath(const std::string& programFolder) {
    return FindManual(programFolder, ProgramFolder());
}

std::unique_ptr<Form1> FormCreate(AppState& state, const std::vector<std::string>& params,
                                  const std::string& programFolder) {
    // Lines kept until the Log tab can show them.
    auto pending = std::make_shared<QStringList>();
    state.screenLine = [pending](std::string_view line) {
        pending->append(DecodeForDisplay(line));
    };
    state.DebugLogPath = programFolder + "/debug32.txt";
    ShowErrorOf([&] {
        const CommandLine line = ParseCommandLine(params, programFolder, state.settings);
        state.DebugLogPath = line.debugLogPath;
        if (!line.message.empty())
            ShowStartMessage(line.message);
    });
    state.WindowMode = true;
    std::string storeStatus;
    ShowErrorOf([&] {
        RunContext ctx = ContextOf(state);
        LoadStoredSettings(state.settings, storeStatus, ctx, ShowStartMessage);
    });
    state.StoreStatusText = storeStatus;
    ShowErrorOf([&] { StartDebugLog(state); });

    auto form = std::make_unique<Form1>(state, programFolder);
    form->setEnabled(false);
    // From here the Log tab takes the lines, from the window's thread or a run's.
    Form1* window = form.get();
    state.screenLine = [window](std::string_view line) { window->QueueLogLine(line); };
    for (const QString& line : *pending)
        form->AppendLogLine(line);

    form->resize(800, 600);
    form->FormResize();
    AddProgressLine(state, "Welcome at Kestrama 32 for Windows");
    AddProgressLine(state, "System: " + QSysInfo::prettyProductName().toStdString());
    form->StartPages(ManualPath(programFolder));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = form->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form->move(frame.topLeft());
    }
    form->setEnabled(true);
    form->show();
    ShowErrorOf([&] { AddDebugLine(state, "GUI Form create.", ""); });

    const std::string in = state.settings.InputPath.str(),
                      out = state.settings.OutputBasePath.str();
    form->ShowPaths(QString::fromUtf8(in.data(), static_cast<int>(in.size())),
                    QString::fromUtf8(out.data(), static_cast<int>(out.size())));
    return form;
}

int RunWindowMode(int argc, char** argv, AppState& state, const std::vector<std::string>& params,
                  const std::string& programFolder) {
    if (!DisplayAvailable()) {
        std::cerr << "kestrama32: no display to show the window on (DISPLAY is not set); run a "
                     "batch report with\nkestrama32 '/IN:<log>' '/OUT:<base path>' "
                     "'/OPTIONS:5110;.'\n";
        return kExitCommandLine;
    }
    // The web engine's sandbox cannot run for the root user; without this the report and
    // manual views would stay empty.
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName("kestrama32");
    std::unique_ptr<Form1> form = FormCreate(state, params, programFolder);
    QApplication::exec();
    form.reset();
    return kExitReportsWritten;
}

}  // namespace k32
