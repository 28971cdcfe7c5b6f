// kestrama32-window: the window of Kestrama 32. kestrama32 starts it in its own place when it is
// asked for the window (no switches, or a wrong number of them, which the window then reports),
// and hands over its folder: the debug log and the manual are looked for there.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/ProgramPaths.h"
#include "app/Startup.h"
#include "ui/WindowStart.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // time stamps in the system's date and time formats
    std::vector<std::string> params(argv + 1, argv + argc);
    // Started by hand with a history switch: its password leaves the arguments others can see.
    if (k32::HidePasswordInArguments(argc, argv))
        std::cerr << k32::PasswordOnCommandLineWarning() << '\n';
    k32::AppState state;
    const std::string folder = k32::WindowProgramFolder(k32::ProgramFolder());
    return k32::RunWindowMode(argc, argv, state, params, folder);
}
