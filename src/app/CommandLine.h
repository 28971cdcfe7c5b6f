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

namespace k32 {

struct AppState;

// Forms DebugLogPath from the program's folder, sets WindowMode and, for a batch run, fills the
// paths and the settings. An options character that must be a digit and is not, or a top
// parameter that does not convert, raises the conversion error (a wrong command line).
void ParseCommandLine(AppState& state, const std::vector<std::string>& params,
                      std::string_view programFolder);

// True when the last parameter is the history switch that may follow a batch run's three to
// five parameters.
bool EndsWithHistorySwitch(const std::vector<std::string>& params);

// True when the parameters are a batch run's: three to five, and the history switch after them.
bool IsBatchCommandLine(const std::vector<std::string>& params);

// The value of a keyed parameter ("/IN:", "/OUT:"): found in any letter case, cut from the
// parameter as typed, blanks trimmed. Without the key, the text after the key's length.
std::string KeyedValue(std::string_view parameter, std::string_view key);

}  // namespace k32
