#pragma once
// Window mode: the start-up sequence that builds and shows the main window, and the program's
// window-mode entry. A QApplication must exist before FormCreate is called.

#include <memory>
#include <string>
#include <vector>

namespace k32 {

struct AppState;
class Form1;

// Parses the command line (a wrong parameter count shows its message box), reads the settings
// store (its errors are shown and the window still starts), starts the debug log, and builds,
// lays out and shows the window on the "Log" tab with both web views loaded and the stored
// paths in the path boxes. The state's window hooks point at the returned window until it is
// destroyed.
std::unique_ptr<Form1> FormCreate(AppState& state, const std::vector<std::string>& params,
                                  const std::string& programFolder);

// Where the manual is: beside the program, else in the installed data folder (see FindManual).
std::string ManualPath(const std::string& programFolder);

// The whole window-mode program: application object, start-up, message loop. Without a display
// it says so on standard error and returns 2.
int RunWindowMode(int argc, char** argv, AppState& state, const std::vector<std::string>& params,
                  const std::string& programFolder);

}  // namespace k32
