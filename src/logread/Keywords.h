#pragma once
// Loading a language's keyword set into the table, and detecting the log's language from its
// header lines.

#include "state/KeywordTable.h"
#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

// Each overwrites every entry but the two language-independent ones, and sets the language
// name of the summary.
void LoadEnglishKeywords(RunContext& ctx, KeywordTable& kw, RunSummary& summary);
void LoadGermanKeywords(RunContext& ctx, KeywordTable& kw, RunSummary& summary);
void LoadFrenchKeywords(RunContext& ctx, KeywordTable& kw, RunSummary& summary);

// Loads the set of the one language whose three detection words all occur in the header lines;
// with no language or more than one, the table and the language name stay as they are.
void DetectLogLanguage(RunContext& ctx, const LogHeader& header, KeywordTable& kw,
                       RunSummary& summary);

}  // namespace k32
