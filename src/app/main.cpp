// kestrama32: turns GWCheck logs into mailbox reports. With /IN: /OUT: /OPTIONS: switches it
// runs headless and exits; otherwise it hands over to the window program, which it starts in
// its own place. This program links no window library, so a batch run loads none.

#include <clocale>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/WindowLauncher.h"
#include "state/AppState.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // time stamps in the system's date and time formats
    std::vector<std::string> params(argv + 1, argv + argc);
    const std::string folder = k32::ProgramFolder();
    if (params.size() >= 3 && params.size() <= 5) {
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
