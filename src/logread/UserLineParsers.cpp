#include "logread/UserLineParsers.h"

#include "app/AppState.h"
#include "app/DebugLog.h"
#include "text/Convert.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

std::int64_t Len(std::string_view s) { return static_cast<std::int64_t>(s.size()); }

// A kilobyte figure as whole megabytes.
Text KilobytesToMegabytes(std::string_view digits) {
    return IntToText(StrToInt64(digits) / 1024);
}

// User name and UID from the text after the user-line keyword.
void SplitNameAndUid(std::string_view tail, UserLineParts& parts) {
    auto open = Pos('(', tail);
    parts.userName = open > 0 ? Copy(tail, 1, open - 1) : tail;
    parts.uid = Copy(tail, open + 1, 3);
}

}  // namespace

bool IsUserLineGW6(const KeywordTable& kw, std::string_view upper) {
    return Pos(kw[KwCheckingUser6], upper) > 0 && Pos(kw[KwBlankUid], upper) == 0 &&
           Pos(kw[KwDatabase], upper) == 0;
}

UserLineParts ParseUserLineGW6(const KeywordTable& kw, const LogLine& line) {
    UserLineParts parts;
    auto p = Pos(kw[KwCheckingUser6], line.upper);
    SplitNameAndUid(CopyFrom(line.text, p + Len(kw[KwCheckingUser6])), parts);
    // The full name stands between the last "(" and the last ")"; without a ")" the line's
    // last character stands in for it.
    auto lastOpen = LastPos('(', line.text);
    auto lastClose = LastPos(')', line.text);
    if (lastClose == 0) lastClose = Len(line.text);
    if (lastOpen > 0 && lastClose > lastOpen)
        parts.fullName = CopyRange(line.text, lastOpen + 1, lastClose - 1);
    return parts;
}

bool IsUserLineGW55(const KeywordTable& kw, std::string_view upper) {
    return Pos(kw[KwCheckingUser55], upper) > 0;
}

UserLineParts ParseUserLineGW55(const KeywordTable& kw, const LogLine& line) {
    UserLineParts parts;
    auto p = Pos(kw[KwCheckingUser55], line.upper);
    // The tail leaves out the line's last character.
    SplitNameAndUid(CopyRange(line.text, p + Len(kw[KwCheckingUser55]), Len(line.text) - 1), parts);
    return parts;
}

UserStats ParseUserStats(const LogLine& line, std::string_view stats, std::string_view inbox,
                         std::string_view outbox, std::string_view wastebasket) {
    UserStats r;
    auto s = Pos(stats, line.upper);
    if (s == 0) return r;
    auto i = Pos(inbox, line.upper), o = Pos(outbox, line.upper), w = Pos(wastebasket, line.upper);
    r.found = true;
    // The first character after each word (a blank, or the comma) is skipped.
    r.inbox = TrimBlanks(CopyRange(line.text, s + Len(stats) + 1, i - 1));
    r.outbox = TrimBlanks(CopyRange(line.text, i + Len(inbox) + 1, o - 1));
    r.wastebasket = TrimBlanks(CopyRange(line.text, o + Len(outbox) + 1, w - 1));
    return r;
}

SizeFound ParseKbytesInUse(const KeywordTable& kw, const LogLine& line) {
    SizeFound r;
    auto k = Pos(kw[KwKbytesInUse], line.upper);
    if (k == 0) return r;
    r.found = true;
    r.size = KilobytesToMegabytes(TrimBlanks(Copy(line.text, 1, k - 1)));
    return r;
}

SizeFound ParseBytesInUse(const KeywordTable& kw, const LogLine& line) {
    SizeFound r;
    auto k = Pos(kw[KwBytesInUse], line.upper);
    if (k == 0) return r;
    r.found = true;
    std::string_view figure = TrimBlanks(Copy(line.text, 1, k - 1));
    // A figure written with group separators loses them.
    Text digits = IsAllDigits(figure) ? Text(figure) : DigitsOnly(figure);
    r.size = IntToText(StrToInt64(digits.view()) / 1024 / 1024);
    return r;
}

DiskSpace ParseDiskSpace(const KeywordTable& kw, const LogLine& line) {
    DiskSpace r;
    if (Pos(kw[KwDiskSpace], line.upper) == 0) return r;
    auto l = Pos(kw[KwSizeLimit], line.upper), t = Pos(kw[KwThreshold], line.upper);
    if (l == 0 || t == 0) return r;
    r.found = true;
    // The four characters before the threshold word ("KB, ") are left out.
    Text limit = DigitsOnly(CopyRange(line.text, l + Len(kw[KwSizeLimit]), t - 5));
    r.limit = KilobytesToMegabytes(limit.view());
    r.threshold = CopyFrom(line.text, t + Len(kw[KwThreshold]));
    return r;
}

ProblemFound ParseProblemLine(AppState& state, const LogLine& line) {
    const KeywordTable& kw = state.keywords;
    ProblemFound r;
    // The current size runs from after the keyword, colon and blank up to the line's third
    // character from the end (the unit "KB" is left out).
    auto currentSize = [&](Keyword sizeWord) {
        auto c = Pos(kw[sizeWord], line.upper);
        Text digits = DigitsOnly(CopyRange(line.text, c + Len(kw[sizeWord]) + 2, Len(line.text) - 2));
        return KilobytesToMegabytes(digits.view());
    };
    if (Pos(kw[KwProblem89], line.upper) > 0 && Pos(kw[KwSizeLimitExceeded], line.upper) > 0) {
        AddDebugLine(state, "Problem 89 found", "true");
        r = {true, "Size", currentSize(KwCurrentSize89)};
    }
    if (Pos(kw[KwProblem90], line.upper) > 0 && Pos(kw[KwThresholdExceeded], line.upper) > 0) {
        AddDebugLine(state, "Problem 90 found", "true");
        r = {true, "Threshold", currentSize(KwCurrentSize90)};
    }
    return r;
}

}  // namespace k32
