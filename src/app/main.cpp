// kestrama32: turns GWCheck logs into mailbox reports. With /IN: /OUT: /OPTIONS: switches it
// runs headless and exits; without switches it opens the window.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "state/AppState.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // time stamps in the system's date and time formats
    std::vector<std::string> params(argv + 1, argv + argc);
    k32::AppState state;
    switch (k32::StartFromCommandLine(state, params, k32::ProgramFolder())) {
        case k32::StartMode::Batch:
            return k32::RunBatch(state);
        case k32::StartMode::WrongCommandLine:
            return k32::kExitCommandLine;
        case k32::StartMode::Window:
            break;
    }
    std::cerr << "kestrama32: the window is not part of this build yet; run a batch report with\n"
                 "kestrama32 '/IN:<log>' '/OUT:<base path>' '/OPTIONS:5110;.'\n";
    return k32::kExitCommandLine;
}
