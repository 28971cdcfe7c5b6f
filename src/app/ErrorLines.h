#pragma once
// How an error that ended a batch run reads on standard error: one line that names what failed
// ("kestrama32: cannot read /var/log/po1.log: File not found"), and, when a line of the log
// caused it, a second line with the place ("kestrama32: at /var/log/po1.log, line 812").

#include <string>
#include <vector>

namespace k32 {

struct KestramaError;

// The lines for `e`, each without its line end. `inputPath` is the run's log: an error at it
// is a failed read, an error at any other file is a failed write (reports, debug log).
std::vector<std::string> ErrorLines(const KestramaError& e, const std::string& inputPath);

}  // namespace k32
