#pragma once
// The history subcommands: `kestrama32 history import [--history=FILE|URL] LOG...` records many
// logs into the history store at once, in the order of their dates, without any report; `list`,
// `forget`, `report` and `mailbox` show the recorded runs, delete one, write a post office's
// trend reports and give one mailbox over time, from the store alone; `check` (HistoryCheck.h)
// tells a monitoring system how near the mailboxes are to their limits.

#include <memory>
#include <string>
#include <vector>

#include "history/HistoryStore.h"

namespace k32 {

// True when the program's parameters name a history subcommand ("history" first).
bool IsHistoryCommand(const std::vector<std::string>& params);

// Runs the history subcommand of `params` (the program's parameters, "history" first) and
// returns the exit code: 0 when the command did its work (import: every log was recorded or
// skipped), 1 when a log failed, the store could not be opened or read, a file could not be
// written, or nothing matched, 2 for a wrong command line (said in one line on standard error).
// `argc` and `argv` are the program's own: a password in --history is overwritten there, as
// the batch switch's is, once `params` holds it.
int RunHistoryCommand(const std::vector<std::string>& params, int argc, char** argv);

// The store as the messages name it: a file by its path (the default file for an empty
// location), a server without the password.
std::string HistoryStoreShown(const std::string& location);

// Opens the store of `location` for a command that reads it or forgets a run. A store file that
// does not exist is not created: it holds no runs (a null store). Raises the store's error.
std::unique_ptr<HistoryStore> OpenExistingHistoryStore(const std::string& location);

// The usage text of the history subcommands, ended with a line end.
std::string HistoryUsageText();

}  // namespace k32
