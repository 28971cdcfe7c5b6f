#include "text/LogDates.h"

#include <array>
#include <cstdio>
#include <vector>

namespace k32 {

namespace {

bool IsWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

std::string Lower(std::string_view word) {
    std::string s(word);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The month a word names, 1..12, or 0. Full names and the short forms a header may carry.
int MonthOf(std::string_view word) {
    struct Name {
        const char* text;
        int month;
    };
    static const std::array<Name, 40> kNames = {{
        {"january", 1},     {"jan", 1},        {"januar", 1},
        {"janvier", 1},     {"february", 2},   {"feb", 2},
        {"februar", 2},     {"f\xe9vrier", 2}, {"f\xc3\xa9vrier", 2},
        {"march", 3},       {"mar", 3},        {"m\xe4rz", 3},
        {"m\xc3\xa4rz", 3}, {"mars", 3},       {"april", 4},
        {"apr", 4},         {"avril", 4},      {"may", 5},
        {"mai", 5},         {"june", 6},       {"jun", 6},
        {"juni", 6},        {"juin", 6},       {"july", 7},
        {"jul", 7},         {"juli", 7},       {"juillet", 7},
        {"august", 8},      {"aug", 8},        {"ao\xfbt", 8},
        {"ao\xc3\xbbt", 8}, {"september", 9},  {"sep", 9},
        {"septembre", 9},   {"october", 10},   {"oktober", 10},
        {"octobre", 10},    {"november", 11},  {"novembre", 11},
        {"december", 12},
    }};
    const std::string w = Lower(word);
    for (const Name& n : kNames)
        if (w == n.text)
            return n.month;
    if (w == "oct" || w == "okt")
        return 10;
    if (w == "nov")
        return 11;
    if (w == "dec" || w == "dez" || w == "dezember" ||
        w == "d\xe9"
             "cembre" ||
        w == "d\xc3\xa9"
             "cembre")
        return 12;
    return 0;
}

int DaysIn(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

std::optional<std::string> ParseLogDate(std::string_view text) {
    int day = 0, month = 0, year = 0, hour = 0, minute = 0;
    bool pm = false, am = false, haveTime = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= '0' && c <= '9') {
            std::size_t j = i;
            int value = 0;
            while (j < n && text[j] >= '0' && text[j] <= '9' && j - i < 6)
                value = value * 10 + (text[j++] - '0');
            if (j < n && text[j] == ':' && j + 1 < n && text[j + 1] >= '0' && text[j + 1] <= '9') {
                // A time of day: h:mm
                hour = value;
                minute = 0;
                std::size_t k = j + 1;
                while (k < n && text[k] >= '0' && text[k] <= '9' && k - j <= 2)
                    minute = minute * 10 + (text[k++] - '0');
                haveTime = true;
                i = k;
                continue;
            }
            if (j - i == 4 && year == 0)
                year = value;
            else if (j - i <= 2 && day == 0 && value >= 1 && value <= 31)
                day = value;
            i = j;
        } else if (IsWordByte(c)) {
            std::size_t j = i;
            while (j < n && IsWordByte(static_cast<unsigned char>(text[j])))
                ++j;
            const std::string w = Lower(text.substr(i, j - i));
            if (w == "pm" && haveTime)
                pm = true;
            else if (w == "am" && haveTime)
                am = true;
            else if (month == 0)
                month = MonthOf(w);
            i = j;
        } else {
            ++i;
        }
    }
    if (day == 0 || month == 0 || year < 1900 || year > 9999 || day > DaysIn(year, month))
        return std::nullopt;
    if (haveTime) {
        if (pm && hour < 12)
            hour += 12;
        if (am && hour == 12)
            hour = 0;
        if (hour > 23 || minute > 59)
            hour = minute = 0;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:00", year, month, day, hour, minute);
    return std::string(buf);
}

std::string IsoUtc(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

}  // namespace k32
