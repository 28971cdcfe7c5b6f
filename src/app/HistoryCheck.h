#pragma once
// `kestrama32 history check`: the history store read as a monitoring check. One line on standard
// output, "KESTRAMA32 STATE - text | perfdata", and the exit code of the state: 0 OK, 1 WARNING,
// 2 CRITICAL, 3 UNKNOWN.

#include <string>
#include <vector>

namespace k32 {

enum CheckState : int { kCheckOk = 0, kCheckWarning = 1, kCheckCritical = 2, kCheckUnknown = 3 };

// Runs the check of `args` (from "check" on) and returns its exit code. A wrong command line, a
// store that cannot be read, holds no runs or no post office that --po names is UNKNOWN, said
// on the one line; --help writes the usage text and returns 0.
int HistoryCheckCommand(const std::vector<std::string>& args);

}  // namespace k32
