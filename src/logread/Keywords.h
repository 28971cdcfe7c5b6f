#pragma once
// Loading a language's keyword set into the table, and detecting the log's language from its
// header lines.

#include "state/KeywordTable.h"

namespace k32 {

struct AppState;

// Each overwrites every entry but the two language-independent ones, and the language name.
void LoadEnglishKeywords(AppState& state);
void LoadGermanKeywords(AppState& state);
void LoadFrenchKeywords(AppState& state);

// Loads the set of the one language whose three detection words all occur in the header lines;
// with no language or more than one, the table keeps the set it holds.
void DetectLogLanguage(AppState& state);

}  // namespace k32
