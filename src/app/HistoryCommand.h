#pragma once
// The history subcommands: `kestrama32 history import [--history=FILE|URL] LOG...` records many
// logs into the history store at once, in the order of their dates, without any report.

#include <string>
#include <vector>

namespace k32 {

// True when the program's parameters name a history subcommand ("history" first).
bool IsHistoryCommand(const std::vector<std::string>& params);

// Runs the history subcommand of `params` (the program's parameters, "history" first) and
// returns the exit code: 0 when every log was recorded or skipped, 1 when one failed or the
// store could not be opened, 2 for a wrong command line (said in one line on standard error).
// `argc` and `argv` are the program's own: a password in --history is overwritten there, as
// the batch switch's is, once `params` holds it.
int RunHistoryCommand(const std::vector<std::string>& params, int argc, char** argv);

// The usage text of the history subcommands, ended with a line end.
std::string HistoryUsageText();

}  // namespace k32
