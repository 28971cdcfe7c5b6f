#include "app/CommandLine.h"

#include <cstring>

#include "history/ConnectionString.h"
#include "history/HistoryStore.h"
#include "state/ReportSettings.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

std::int64_t Len(std::string_view s) {
    return static_cast<std::int64_t>(s.size());
}

// A wrong option character names the parameter, the position and the setting, and keeps the
// conversion error's own text: "/OPTIONS:51x0;.: position 3 (debug mode) must be a digit, not
// 'x' ('X' is not a valid integer value)".
[[noreturn]] void ThrowOptionError(std::string_view parameter, std::size_t offset,
                                   std::size_t position, std::string_view upperChar) {
    static constexpr const char* kNames[] = {"sort field", "sort direction", "debug mode"};
    const std::string typed(parameter.substr(offset, 1));
    throw KestramaError(ErrorKind::Conversion,
                        std::string(parameter) + ": position " + std::to_string(position + 1) +
                            " (" + kNames[position] + ") must be a digit, not '" + typed + "' ('" +
                            std::string(upperChar) + "' is not a valid integer value)");
}

// Reads the options parameter over the defaults. Positions 1-3 are digits; position 4 picks
// the caption placement; 5 and 6 are the separators. Missing positions keep their defaults.
void ReadOptions(ReportSettings& s, std::string_view parameter) {
    SetDefaultSettings(s);
    Text upper = UpperCaseText(parameter);
    std::string_view value = TrimBlanks(CopyFrom(upper.view(), Pos("/OPTIONS", upper.view()) + 9));
    value = value.substr(0, 6);
    auto digit = [&](std::size_t i) {
        const char c = value[i];
        // Upper-casing keeps every byte in its place: the typed character is at the same offset.
        if (c < '0' || c > '9')
            ThrowOptionError(parameter,
                             static_cast<std::size_t>(value.data() - upper.view().data()) + i, i,
                             value.substr(i, 1));
        return static_cast<std::uint8_t>(c - '0');
    };
    if (value.size() > 0)
        s.Sort = digit(0);
    if (value.size() > 1)
        s.SortDir = digit(1);
    if (value.size() > 2)
        s.DebugMode = digit(2);
    if (value.size() > 3) {
        if (value[3] == '0')
            s.CSVHeader = "Header";
        if (value[3] == '1')
            s.CSVHeader = "Footer";
        if (value[3] == '2')
            s.CSVHeader = "Disabled";
    }
    if (value.size() > 4)
        s.CSVSeperator = value.substr(4, 1);
    if (value.size() > 5)
        s.DECSeperator = value.substr(5, 1);
}

// Reads the column parameter by fixed positions (1-based): codes at 9-18, HTML flags at 25-34,
// CSV flags at 40-49. A shorter parameter leaves the missing positions at their defaults.
void ReadColumns(ReportSettings& settings, std::string_view parameter) {
    Text p(parameter);
    auto at = [&](std::size_t pos1) -> int {
        return pos1 <= p.size() ? static_cast<unsigned char>(p[pos1 - 1]) : -1;
    };
    for (std::size_t slot = 0; slot < kColumnSlots; ++slot) {
        ColumnSlot& c = settings.columns[slot];
        if (int ch = at(9 + slot); ch >= 0)
            c.ColumnFieldCode = std::string(1, static_cast<char>(ch));
        if (int ch = at(25 + slot); ch >= 0)
            c.html = ch != '0';
        if (int ch = at(40 + slot); ch >= 0)
            c.csv = ch != '0';
    }
}

// A path that would be cut at 255 bytes names another file than the one typed: refused, naming
// the switch and the limit, before anything is read or written.
void CheckPathLength(std::string_view key, std::string_view parameter, std::string_view path,
                     bool basePath) {
    std::string problem;
    if (parameter.size() > kTextMax)
        problem = "the parameter is " + std::to_string(parameter.size()) + " bytes long; at most " +
                  std::to_string(kTextMax) + " bytes can be used";
    else
        problem = PathLengthProblem(path, basePath);
    if (!problem.empty())
        throw KestramaError(ErrorKind::Conversion, std::string(key) + " " + problem);
}

// A top parameter's number that does not convert names the parameter and which number.
std::uint32_t TopNumber(std::string_view parameter, std::string_view what, std::string_view text) {
    try {
        return StrToUInt32(text);
    } catch (const KestramaError& e) {
        throw KestramaError(ErrorKind::Conversion,
                            std::string(parameter) + ": the " + std::string(what) +
                                " must be a whole number from 0 to 4294967295 (" + e.what() + ")");
    }
}

// "/TOP:<count>,ABOVE:<value>": the count runs from the 6th character to the first comma.
void ReadTop(ReportSettings& settings, std::string_view parameter) {
    Text upper = UpperCaseText(parameter);
    std::string_view u = upper.view();
    auto comma = Pos(',', u);
    std::string_view count = comma > 0 ? CopyRange(u, 6, comma - 1) : CopyFrom(u, 6);
    auto above = Pos(",ABOVE:", u);
    if (above == 0)
        throw KestramaError(ErrorKind::Conversion,
                            std::string(parameter) + ": expected /TOP:<count>,ABOVE:<value>");
    settings.TOP = TopNumber(parameter, "top count", count);
    settings.TOPVALUE = TopNumber(parameter, "above value", CopyFrom(u, above + Len(",ABOVE:")));
}

}  // namespace

std::string KeyedValue(std::string_view parameter, std::string_view key) {
    Text typed(parameter);
    Text upper = UpperCaseText(typed.view());
    auto p = Pos(key, upper.view());
    std::int64_t from = p > 0 ? p + Len(key) : Len(key);
    // Paths keep their case: the value is cut from the parameter as typed.
    return std::string(TrimBlanks(CopyFrom(typed.view(), from)));
}

bool EndsWithHistorySwitch(const std::vector<std::string>& params) {
    constexpr std::string_view kHistory = "/HISTORY:";
    const std::size_t n = params.size();
    return n >= 4 && n <= 6 && params[n - 1].size() >= kHistory.size() &&
           UpperCaseText(std::string_view(params[n - 1]).substr(0, kHistory.size())).view() ==
               kHistory;
}

bool HidePasswordInArguments(int argc, char** argv) {
    if (argc < 2 || !EndsWithHistorySwitch(std::vector<std::string>(argv + 1, argv + argc)))
        return false;
    // The whole switch as typed, not the value cut at 255 bytes: every byte of it is seen.
    char* const value = argv[argc - 1] + std::string_view("/HISTORY:").size();
    const std::size_t blanks = std::strspn(value, " ");
    const std::string_view location(value + blanks);
    if (!IsServerLocation(location))
        return false;
    // A switch hidden already (the window program started by kestrama32) is no news.
    bool hidden = false;
    for (const auto& [begin, end] : PasswordSpans(location)) {
        char* const password = value + blanks + begin;
        hidden = hidden || std::string_view(password, end - begin).find_first_not_of('*') !=
                               std::string_view::npos;
        std::memset(password, '*', end - begin);
    }
    return hidden;
}

std::string PasswordOnCommandLineWarning() {
    return "kestrama32: a password on the command line can be seen by other users of this "
           "machine; keep it in ~/.pgpass (or the file that PGPASSFILE names), in PGPASSWORD, or "
           "in a service file (/HISTORY:postgresql:///?service=NAME)";
}

bool IsBatchCommandLine(const std::vector<std::string>& params) {
    const std::size_t n = params.size() - (EndsWithHistorySwitch(params) ? 1 : 0);
    return n >= 3 && n <= 5;
}

CommandLine ParseCommandLine(const std::vector<std::string>& params, std::string_view programFolder,
                             ReportSettings& settings) {
    CommandLine line;
    std::string folder(programFolder);
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    line.debugLogPath = (folder == "/" ? "" : folder) + "/debug32.txt";
    std::size_t n = params.size();
    if (n == 0)
        return line;
    // An optional last switch, after the three to five of a batch run: keep history.
    if (EndsWithHistorySwitch(params)) {
        settings.KeepHistory = true;
        settings.HistoryFile = KeyedValue(params[n - 1], "/HISTORY:");
        --n;
    }
    if (n < 3 || n > 5) {
        settings.KeepHistory = false;
        settings.HistoryFile.clear();
        line.message = "Incorrect parameters, running GUI version." + std::to_string(params.size());
        return line;
    }
    line.windowMode = false;
    const std::string input = KeyedValue(params[0], "/IN:");
    const std::string base = KeyedValue(params[1], "/OUT:");
    CheckPathLength("/IN:", params[0], input, false);
    CheckPathLength("/OUT:", params[1], base, true);
    settings.InputPath = input;
    settings.OutputBasePath = base;
    ReadOptions(settings, params[2]);
    if (n >= 4)
        ReadColumns(settings, params[3]);
    if (n == 5)
        ReadTop(settings, params[4]);
    return line;
}

std::string PathLengthProblem(std::string_view path, bool basePath) {
    // The longer of the two report names: ".csv" and ".mht" are as long.
    const std::size_t longest = path.size() + (basePath ? std::string_view(".csv").size() : 0);
    if (longest <= kTextMax)
        return {};
    return basePath ? "the report names (the base path with \".csv\" or \".mht\") are " +
                          std::to_string(longest) + " bytes long; at most " +
                          std::to_string(kTextMax) + " bytes can be used"
                    : "the path is " + std::to_string(path.size()) + " bytes long; at most " +
                          std::to_string(kTextMax) + " bytes can be used";
}

}  // namespace k32
