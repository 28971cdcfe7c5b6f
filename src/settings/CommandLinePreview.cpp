#include "settings/CommandLinePreview.h"

#include <string_view>
#include <vector>

namespace k32 {

namespace {

// The longest text one parameter carries; the parser cuts a parameter there.
constexpr std::size_t kParameterMax = 255;

// A double-quoted shell word holding exactly `text`. "!" is closed out of the double quotes
// into single quotes, because an interactive shell expands history inside double quotes. With
// `printfHighBytes`, each byte above 127 becomes a command that prints that one byte: a
// separator such as "§" is one byte of the log's code page, but typed into a UTF-8 terminal it
// would reach the program as two and shift the options after it.
std::string DoubleQuoted(std::string_view text, bool printfHighBytes = false) {
    std::string word = "\"";
    for (char c : text) {
        if (printfHighBytes && static_cast<unsigned char>(c) >= 0x80) {
            const auto byte = static_cast<unsigned char>(c);
            word += "$(printf '\\";
            word += static_cast<char>('0' + (byte >> 6));
            word += static_cast<char>('0' + ((byte >> 3) & 7));
            word += static_cast<char>('0' + (byte & 7));
            word += "')";
            continue;
        }
        if (c == '!') {
            word += "\"'!'\"";
            continue;
        }
        if (c == '$' || c == '`' || c == '"' || c == '\\')
            word += '\\';
        word += c;
    }
    word += '"';
    return word;
}

bool ShellSafe(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::string_view(",.:/_+-@%=").find(c) != std::string_view::npos;
}

// `text` unchanged when no character in it means anything to a shell, else double-quoted with
// its bytes above 127 printed.
std::string ShellWord(std::string_view text) {
    for (char c : text)
        if (!ShellSafe(c))
            return DoubleQuoted(text, true);
    return std::string(text);
}

struct Notes {
    std::vector<std::string> items;
    void Add(std::string_view name, std::string_view why) {
        items.push_back(std::string(name) + " " + std::string(why));
    }
};

char Digit(std::uint8_t value, std::string_view name, Notes& notes) {
    if (value <= 9)
        return static_cast<char>('0' + value);
    notes.Add(name, "is above 9 (9 written)");
    return '9';
}

char HeaderDigit(std::string_view placement, Notes& notes) {
    if (placement == "Header")
        return '0';
    if (placement == "Footer")
        return '1';
    if (placement == "Disabled")
        return '2';
    notes.Add("CSVHeader", "is not Header, Footer or Disabled (2 written: no caption lines)");
    return '2';
}

// One option character read back as it is: one byte, not NUL, not a small letter (the options
// are read in capitals) and, where blanks are trimmed away, not a blank.
char Separator(std::string_view text, bool blankAllowed, char standIn, std::string_view name,
               Notes& notes) {
    if (text.size() == 1) {
        const char c = text[0];
        if (c != '\0' && !(c >= 'a' && c <= 'z') && (blankAllowed || c != ' '))
            return c;
    }
    notes.Add(name,
              std::string("cannot be written as one option character (") + standIn + " written)");
    return standIn;
}

std::string PathSwitch(std::string_view key, std::string_view name, std::string_view path,
                       Notes& notes) {
    const bool trimmed = !path.empty() && (path.front() == ' ' || path.back() == ' ');
    const bool tooLong = key.size() + path.size() > kParameterMax;
    if (trimmed || tooLong || path.find('\0') != std::string_view::npos)
        notes.Add(name, "cannot be passed exactly");
    return std::string(key) + DoubleQuoted(path);
}

std::string OptionsGroup(const ReportSettings& s, Notes& notes) {
    std::string options;
    options += Digit(s.Sort, "Sort", notes);
    options += Digit(s.SortDir, "SortDir", notes);
    options += Digit(s.DebugMode, "DebugMode", notes);
    options += HeaderDigit(s.CSVHeader.view(), notes);
    options += Separator(s.CSVSeperator.view(), true, ';', "CSVSeperator", notes);
    options += Separator(s.DECSeperator.view(), false, '.', "DECSeperator", notes);
    return options;
}

std::string ColumnGroup(const ReportSettings& s, Notes& notes) {
    std::string group;
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        const Text& code = s.columns[i].ColumnFieldCode;
        if (code.size() == 1 && code[0] != '\0') {
            group += code[0];
            continue;
        }
        std::string name = "COLUMN";
        name += static_cast<char>('0' + (i + 1) / 10);
        name += static_cast<char>('0' + (i + 1) % 10);
        notes.Add(name, "is not one character (- written: an empty column)");
        group += '-';
    }
    group += ",HTML:";
    for (const ColumnSlot& slot : s.columns)
        group += slot.html ? '1' : '0';
    group += ",CSV:";
    for (const ColumnSlot& slot : s.columns)
        group += slot.csv ? '1' : '0';
    return group;
}

}  // namespace

std::string BuildCommandLinePreview(const ReportSettings& s) {
    Notes notes;
    std::string line = "kestrama32 ";
    line += PathSwitch("/IN:", "IN", s.InputPath.view(), notes);
    line += ' ';
    line += PathSwitch("/OUT:", "OUT", s.OutputBasePath.view(), notes);
    line += " /OPTIONS:";
    line += DoubleQuoted(OptionsGroup(s, notes), true);
    line += " /COLUMN:";
    line += ShellWord(ColumnGroup(s, notes));
    if (s.TOP != 0 || s.TOPVALUE != 0)
        line += " /TOP:" + std::to_string(s.TOP) + ",ABOVE:" + std::to_string(s.TOPVALUE);
    // Keeping history: the store file, or the default one when none is chosen.
    if (s.KeepHistory)
        line +=
            " /HISTORY:" + (s.HistoryFile.empty() ? std::string() : DoubleQuoted(s.HistoryFile));
    if (!notes.items.empty()) {
        line += " # not as set here: ";
        for (std::size_t i = 0; i < notes.items.size(); ++i)
            line += (i > 0 ? "; " : "") + notes.items[i];
    }
    return line;
}

}  // namespace k32
