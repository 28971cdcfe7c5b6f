#include "state/AppState.h"

namespace k32 {

AppState::AppState() : keywords(EnglishKeywordTable()) {}

}  // namespace k32
