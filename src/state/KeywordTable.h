#pragma once
// The keyword table: every word the readers look for, in the matching form (upper case for
// a-z, accented letters as their lower-case Windows-1252 bytes). One set per log language; the
// table starts with the English set.

#include <array>
#include <cstddef>
#include <string_view>

#include "text/KeywordSearcher.h"
#include "text/Text.h"

namespace k32 {

enum Keyword : std::size_t {
    KwProduct,
    KwVersion,
    KwProcessedOn,
    KwPathToPO,
    KwPostOffice,
    KwHeaderEnd,
    KwStatistics,
    KwYes,
    KwAction,
    KwMailboxStatistics,
    KwExpireStatistics,
    KwAgeLimit,
    KwCheckingUser55,
    KwCheckingUser6,
    KwBlankUid,
    KwDatabase,
    KwUserStats55,
    KwInbox55,
    KwOutbox55,
    KwWastebasket55,
    KwUserStats6,
    KwInbox6,
    KwOutbox6,
    KwWastebasket6,
    KwBytesInUse,
    KwKbytesInUse,
    KwDiskSpace,
    KwSizeLimit,
    KwThreshold,
    KwProblem89,
    KwSizeLimitExceeded,
    KwCurrentSize89,
    KwProblem90,
    KwThresholdExceeded,
    KwCurrentSize90,
    kKeywordCount
};

// The entries with a searcher each, rebuilt whenever an entry changes.
class KeywordTable {
  public:
    std::string_view operator[](Keyword k) const { return entry_[k].view(); }
    void Set(Keyword k, std::string_view text) {
        entry_[k] = text;
        searcher_[k] = KeywordSearcher(entry_[k].view());
    }
    // 1-based position of the entry in the line's matching form, 0 when absent.
    std::int64_t Find(Keyword k, std::string_view line) const { return searcher_[k].Pos(line); }
    bool Holds(std::string_view line, Keyword k) const { return Find(k, line) > 0; }

  private:
    std::array<Text, kKeywordCount> entry_;
    std::array<KeywordSearcher, kKeywordCount> searcher_;
};

enum class LogLanguage { English, German, French };

// The table as it is at start-up: the English set.
KeywordTable EnglishKeywordTable();

// Overwrites every entry but the two language-independent ones with the language's set.
void LoadKeywordSet(KeywordTable& table, LogLanguage language);

}  // namespace k32
