#pragma once
// The command line: no parameters give window mode; three, four or five give a batch run:
//   /IN:<log>  /OUT:<base path>  /OPTIONS:<six characters>
//   [/COLUMN:<ten codes>,HTML:<ten flags>,CSV:<ten flags>  [/TOP:<count>,ABOVE:<value>]]
//   [/HISTORY:[<store>]]   (last; keeps history)
// Any other count shows "Incorrect parameters, running GUI version." with the count and keeps
// window mode.

#include <string>
#include <string_view>
#include <vector>

#include "state/ReportSettings.h"

namespace k32 {

// What the command line decides besides the settings.
struct CommandLine {
    bool windowMode = true;
    // debug32.txt in the program's folder.
    std::string debugLogPath;
    // For the window to show: a wrong number of parameters. Empty when there is nothing to say.
    std::string message;
};

// For a batch run, fills the paths and the settings (over the defaults) from the parameters; the
// history switch sets the history settings. An options character that must be a digit and is
// not, a top parameter that does not convert, or a path that would be cut (see
// PathLengthProblem) raises the conversion error (a wrong command line).
CommandLine ParseCommandLine(const std::vector<std::string>& params, std::string_view programFolder,
                             ReportSettings& settings);

// Why a path cannot be used, or empty when it can: a path longer than 255 bytes, or a base path
// whose report names (".csv" or ".mht" appended) are, would be cut and name another file.
std::string PathLengthProblem(std::string_view path, bool basePath);

// True when the last parameter is the history switch that may follow a batch run's three to
// five parameters.
bool EndsWithHistorySwitch(const std::vector<std::string>& params);

// True when the parameters are a batch run's: three to five, and the history switch after them.
bool IsBatchCommandLine(const std::vector<std::string>& params);

// Overwrites with "*" the bytes of any password in the history switch among the program's own
// arguments (what other users see of the running program), the rest of the switch kept as it
// is. Returns true when a password was hidden, false when there was none or it was hidden
// already. Arguments without a history switch are left as they are.
bool HidePasswordInArguments(int argc, char** argv);

// The line for standard error when a password was given on the command line: anyone on this
// machine may have seen it, and where a password belongs instead.
std::string PasswordOnCommandLineWarning();

// The value of a keyed parameter ("/IN:", "/OUT:"): found in any letter case, cut from the
// parameter as typed, blanks trimmed. Without the key, the text after the key's length.
std::string KeyedValue(std::string_view parameter, std::string_view key);

}  // namespace k32
