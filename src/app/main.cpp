// kestrama32: turns GWCheck logs into mailbox reports. With /IN: /OUT: /OPTIONS: switches it
// runs headless and exits; "history import LOG..." records logs into the history store without
// reports; otherwise it hands over to the window program, which it starts in its own place.
// This program links no window library, so a batch run loads none. --help and --version answer
// at once.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/HistoryCommand.h"
#include "app/Startup.h"
#include "app/Usage.h"
#include "app/WindowLauncher.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // time stamps in the system's date and time formats
    std::vector<std::string> params(argv + 1, argv + argc);
    // A subcommand has switches of its own, --help included.
    if (k32::IsHistoryCommand(params))
        return k32::RunHistoryCommand(params, argc, argv);
    // Read now: the password of a history switch leaves the arguments that others can see.
    if (k32::HidePasswordInArguments(argc, argv))
        std::cerr << k32::PasswordOnCommandLineWarning() << '\n';
    // Answered here, with or without a display, before any mode is chosen.
    switch (k32::InfoRequested(params)) {
        case k32::InfoRequest::Help:
            std::cout << k32::UsageText() << std::flush;
            return std::cout ? k32::kExitReportsWritten : k32::kExitError;
        case k32::InfoRequest::Version:
            std::cout << k32::VersionText() << std::flush;
            return std::cout ? k32::kExitReportsWritten : k32::kExitError;
        case k32::InfoRequest::None:
            break;
    }
    const std::string folder = k32::ProgramFolder();
    if (k32::IsBatchCommandLine(params)) {
        k32::AppState state;
        switch (k32::StartFromCommandLine(state, params, folder)) {
            case k32::StartMode::Batch:
                return k32::RunBatch(state);
            case k32::StartMode::WrongCommandLine:
                return k32::kExitCommandLine;
            case k32::StartMode::Window:
                break;
        }
    }
    // No parameters, or a wrong number of them (the window says so): window mode.
    return k32::ExecWindowProgram(argv, folder);
}
