#pragma once
// The expire-statistics reader: per user, the sizes of the MAIL, TASK and APPT rows under the
// column header, summed into one ExpireRecord in log order.

#include <string_view>

namespace k32 {

struct AppState;

// Reads the header and the whole log into the expire table and `count`. Raises the
// input/output error, and the conversion error (naming the file and line) for a row or a
// kilobytes line whose figure is not a number; the records stored until then stay.
void RunExpReport3(AppState& state);

// True when the upper-case line holds, in order, every character of the user-line pattern but
// its last ("(/)()([])", or "(-)-()" for GroupWise 5), with anything between them.
bool IsExpireUserLine(std::string_view upper, bool groupWise5);

}  // namespace k32
