#pragma once
// The report settings and the last two paths in the settings store: read at a window-mode
// start, written in full by "Save Settings", the paths alone at close. Batch runs never touch
// the store.
//
// Errors end the read or save where they happen: what was read before stays in the settings,
// what was written before stays in the store. The texts are the store's ("Invalid data type
// for '<name>'", "Failed to set data for '<name>'") and the conversion error "'<text>' is not a
// valid integer value".

#include <functional>
#include <string>
#include <string_view>

#include "state/DebugLog.h"
#include "state/ReportSettings.h"
#include "state/RunContext.h"

namespace k32 {

// The start-up entry. With a store: `statusText` "Reg key exist, read settings." and
// ReadAllSettings. Without one: `statusText` "No reg key found, first runtime, settings
// defaults.", the message "First run, settings default settings." (given to `message`), the
// defaults, and SaveAllSettings, which creates the store. `statusText` (for the debug log's
// third line) is set before anything can fail. Progress lines go to `ctx`.
void LoadStoredSettings(ReportSettings& settings, std::string& statusText, RunContext& ctx,
                        const std::function<void(std::string_view)>& message);

// Reads the 41 values into the settings. Sort, SortDir and DebugMode keep the low 8 bits of
// their number. TOP and TOPVALUE must be numbers from 0 to 4294967295: a negative or larger
// value raises the conversion error like any other text that is not a count, rather than
// turning into a huge count. A Version other than the program's resets the settings to their
// defaults (the paths just read stay) and saves them, then the flags, slots and top values are
// read back from what was saved. An ENABLE flag other than exactly "0" or "1" is left as it was.
void ReadAllSettings(ReportSettings& settings, RunContext& ctx);

// Writes the 41 values, Version always as the program's version.
void SaveAllSettings(const ReportSettings& settings, RunContext& ctx);

// Writes IN and then OUT from the two paths; nothing else.
void SaveLastPaths(const ReportSettings& settings);

}  // namespace k32
