// kestrama32: turns GWCheck logs into mailbox reports. With /IN: /OUT: /OPTIONS: switches it
// runs headless and exits; otherwise it opens the window. The mode is decided before any
// window object exists, so a batch run needs no display.

#include <clocale>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "state/AppState.h"
#include "ui/WindowStart.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // time stamps in the system's date and time formats
    std::vector<std::string> params(argv + 1, argv + argc);
    k32::AppState state;
    const std::string folder = k32::ProgramFolder();
    if (params.size() >= 3 && params.size() <= 5) {
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
    return k32::RunWindowMode(argc, argv, state, params, folder);
}
