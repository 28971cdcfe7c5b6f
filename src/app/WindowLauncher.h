#pragma once
// Starting the window from kestrama32: the window program takes the place of this process.

#include <string>

namespace k32 {

// Runs the window program in place of this process, with the same arguments and with
// programFolder handed over in the environment. Returns only when the window program is
// missing or cannot be started: the reason is then on standard error, and the result is the
// exit code for it.
int ExecWindowProgram(char** argv, const std::string& programFolder);

}  // namespace k32
