#pragma once
// The expire-statistics reader: per user, the sizes of the MAIL, TASK and APPT rows under the
// column header, summed into one ExpireRecord in log order.

#include <string>
#include <string_view>

#include "state/KeywordTable.h"
#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

// Reads the header (into `header`, with the language and the version into `kw` and `summary`)
// and then the whole log, and returns the expire table. Raises the input/output error, and the
// conversion error (naming the file and line) for a row or a kilobytes line whose figure is not
// a number.
ExpireTable RunExpReport3(RunContext& ctx, const std::string& path, KeywordTable& kw,
                          LogHeader& header, RunSummary& summary);

// True when the upper-case line holds, in order, every character of the user-line pattern but
// its last ("(/)()([])", or "(-)-()" for GroupWise 5), with anything between them.
bool IsExpireUserLine(std::string_view upper, bool groupWise5);

}  // namespace k32
