#include "app/AppState.h"

namespace k32 {

AppState::AppState() : keywords(EnglishKeywordTable()) {}

}  // namespace k32
