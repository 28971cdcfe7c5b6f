#include "logread/UserLineParsers.h"

#include "state/DebugLog.h"
#include "text/Convert.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

std::int64_t Len(std::string_view s) {
    return static_cast<std::int64_t>(s.size());
}

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

bool IsUserLineGW6(const KeywordTable& kw, std::string_view line) {
    return kw.Holds(line, KwCheckingUser6) && !kw.Holds(line, KwBlankUid) &&
           !kw.Holds(line, KwDatabase);
}

UserLineParts ParseUserLineGW6(const KeywordTable& kw, std::string_view line) {
    UserLineParts parts;
    auto p = kw.Find(KwCheckingUser6, line);
    SplitNameAndUid(CopyFrom(line, p + Len(kw[KwCheckingUser6])), parts);
    // The full name stands between the last "(" and the last ")"; without a ")" the line's
    // last character stands in for it.
    auto lastOpen = LastPos('(', line);
    auto lastClose = LastPos(')', line);
    if (lastClose == 0)
        lastClose = Len(line);
    if (lastOpen > 0 && lastClose > lastOpen)
        parts.fullName = CopyRange(line, lastOpen + 1, lastClose - 1);
    return parts;
}

bool IsUserLineGW55(const KeywordTable& kw, std::string_view line) {
    return kw.Holds(line, KwCheckingUser55);
}

UserLineParts ParseUserLineGW55(const KeywordTable& kw, std::string_view line) {
    UserLineParts parts;
    auto p = kw.Find(KwCheckingUser55, line);
    // The tail leaves out the line's last character.
    SplitNameAndUid(CopyRange(line, p + Len(kw[KwCheckingUser55]), Len(line) - 1), parts);
    return parts;
}

UserStats ParseUserStats(const KeywordTable& kw, std::string_view line, Keyword stats,
                         Keyword inbox, Keyword outbox, Keyword wastebasket) {
    UserStats r;
    auto s = kw.Find(stats, line);
    if (s == 0)
        return r;
    auto i = kw.Find(inbox, line), o = kw.Find(outbox, line), w = kw.Find(wastebasket, line);
    r.found = true;
    // The first character after each word (a blank, or the comma) is skipped.
    r.inbox = TrimBlanks(CopyRange(line, s + Len(kw[stats]) + 1, i - 1));
    r.outbox = TrimBlanks(CopyRange(line, i + Len(kw[inbox]) + 1, o - 1));
    r.wastebasket = TrimBlanks(CopyRange(line, o + Len(kw[outbox]) + 1, w - 1));
    return r;
}

SizeFound ParseKbytesInUse(const KeywordTable& kw, std::string_view line) {
    SizeFound r;
    auto k = kw.Find(KwKbytesInUse, line);
    if (k == 0)
        return r;
    r.found = true;
    r.size = KilobytesToMegabytes(TrimBlanks(Copy(line, 1, k - 1)));
    return r;
}

SizeFound ParseBytesInUse(const KeywordTable& kw, std::string_view line) {
    SizeFound r;
    auto k = kw.Find(KwBytesInUse, line);
    if (k == 0)
        return r;
    r.found = true;
    std::string_view figure = TrimBlanks(Copy(line, 1, k - 1));
    // A figure written with group separators loses them.
    Text digits = IsAllDigits(figure) ? Text(figure) : DigitsOnly(figure);
    r.size = IntToText(StrToInt64(digits.view()) / 1024 / 1024);
    return r;
}

DiskSpace ParseDiskSpace(const KeywordTable& kw, std::string_view line) {
    DiskSpace r;
    if (!kw.Holds(line, KwDiskSpace))
        return r;
    auto l = kw.Find(KwSizeLimit, line), t = kw.Find(KwThreshold, line);
    if (l == 0 || t == 0)
        return r;
    r.found = true;
    // The four characters before the threshold word ("KB, ") are left out.
    Text limit = DigitsOnly(CopyRange(line, l + Len(kw[KwSizeLimit]), t - 5));
    r.limit = KilobytesToMegabytes(limit.view());
    r.threshold = CopyFrom(line, t + Len(kw[KwThreshold]));
    return r;
}

ProblemFound ParseProblemLine(RunContext& ctx, const KeywordTable& kw, std::string_view line) {
    ProblemFound r;
    // The current size runs from after the keyword, colon and blank up to the line's third
    // character from the end (the unit "KB" is left out).
    auto currentSize = [&](Keyword sizeWord) {
        auto c = kw.Find(sizeWord, line);
        Text digits = DigitsOnly(CopyRange(line, c + Len(kw[sizeWord]) + 2, Len(line) - 2));
        return KilobytesToMegabytes(digits.view());
    };
    if (kw.Holds(line, KwProblem89) && kw.Holds(line, KwSizeLimitExceeded)) {
        AddDebugLine(ctx, "Problem 89 found", "true");
        r = {true, "Size", currentSize(KwCurrentSize89)};
    }
    if (kw.Holds(line, KwProblem90) && kw.Holds(line, KwThresholdExceeded)) {
        AddDebugLine(ctx, "Problem 90 found", "true");
        r = {true, "Threshold", currentSize(KwCurrentSize90)};
    }
    return r;
}

}  // namespace k32
