#include "settings/StoredSettings.h"

#include <string>

#include "settings/SettingsStore.h"
#include "state/DebugLog.h"
#include "state/ProgramVersion.h"
#include "state/ReportSettings.h"
#include "text/Convert.h"
#include "text/Errors.h"

namespace k32 {

namespace {

// "ENABLEHTML" and 3 give "ENABLEHTML03"; slots count from 1.
std::string SlotName(std::string_view group, std::size_t slot) {
    std::string name(group);
    name += static_cast<char>('0' + (slot + 1) / 10);
    name += static_cast<char>('0' + (slot + 1) % 10);
    return name;
}

// A stored number through `convert`; a conversion error names the store and the value, so the
// user can find what to mend.
template <typename Convert>
auto ReadNumber(std::string_view name, Convert convert) {
    try {
        return convert(ReadSettingValue(name));
    } catch (KestramaError& e) {
        if (e.where.empty())
            e.where = SettingsStorePath() + ", value " + std::string(name);
        throw;
    }
}

std::uint8_t ReadByteValue(std::string_view name) {
    return ReadNumber(name, [](std::string_view text) {
        return static_cast<std::uint8_t>(StrToInt32(text) & 0xFF);
    });
}

std::uint32_t ReadCount(std::string_view name) {
    return ReadNumber(name, [](std::string_view text) { return StrToUInt32(text); });
}

// "0" turns the flag off, "1" on; any other text leaves it as it was.
void ReadFlag(std::string_view name, bool& flag) {
    const std::string text = ReadSettingValue(name);
    if (text == "0")
        flag = false;
    else if (text == "1")
        flag = true;
}

void WriteFlag(std::string_view name, bool flag) {
    WriteSettingValue(name, flag ? "1" : "0");
}

}  // namespace

void LoadStoredSettings(ReportSettings& settings, std::string& statusText, RunContext& ctx,
                        const std::function<void(std::string_view)>& message) {
    if (StoreKeyExists()) {
        statusText = "Reg key exist, read settings.";
        ReadAllSettings(settings, ctx);
        return;
    }
    statusText = "No reg key found, first runtime, settings defaults.";
    if (message)
        message("First run, settings default settings.");
    SetDefaultSettings(settings);
    SetDefaultHistorySettings(settings);
    SaveAllSettings(settings, ctx);
}

void ReadAllSettings(ReportSettings& s, RunContext& ctx) {
    s.Sort = ReadByteValue("Sort");
    s.SortDir = ReadByteValue("SortDir");
    s.DebugMode = ReadByteValue("DebugMode");
    s.CSVSeperator = ReadSettingValue("CSVSeperator");
    s.DECSeperator = ReadSettingValue("DECSeperator");
    s.InputPath = ReadSettingValue("IN");
    s.OutputBasePath = ReadSettingValue("OUT");
    s.CSVHeader = ReadSettingValue("CSVHeader");
    if (ReadSettingValue("Version") != kProgramVersion) {
        AddProgressLine(ctx, "Version mismatch, setting defaults");
        SetDefaultSettings(s);
        SetDefaultHistorySettings(s);
        SaveAllSettings(s, ctx);
    }
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        ReadFlag(SlotName("ENABLEHTML", i), s.columns[i].html);
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        ReadFlag(SlotName("ENABLECSV", i), s.columns[i].csv);
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        s.columns[i].ColumnFieldCode = ReadSettingValue(SlotName("COLUMN", i));
    s.TOP = ReadCount("TOP");
    s.TOPVALUE = ReadCount("TOPVALUE");
    SetDefaultHistorySettings(s);
    ReadFlag("KEEPHISTORY", s.KeepHistory);
    s.HistoryFile = ReadSettingValue("HISTORYFILE");
}

void SaveAllSettings(const ReportSettings& s, RunContext& ctx) {
    AddProgressLine(ctx, "Saving registry");
    WriteSettingValue("Sort", std::to_string(s.Sort));
    WriteSettingValue("SortDir", std::to_string(s.SortDir));
    WriteSettingValue("DebugMode", std::to_string(s.DebugMode));
    WriteSettingValue("CSVSeperator", s.CSVSeperator.view());
    WriteSettingValue("DECSeperator", s.DECSeperator.view());
    WriteSettingValue("IN", s.InputPath.view());
    WriteSettingValue("OUT", s.OutputBasePath.view());
    WriteSettingValue("CSVHeader", s.CSVHeader.view());
    WriteSettingValue("Version", kProgramVersion);
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        WriteFlag(SlotName("ENABLEHTML", i), s.columns[i].html);
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        WriteFlag(SlotName("ENABLECSV", i), s.columns[i].csv);
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        WriteSettingValue(SlotName("COLUMN", i), s.columns[i].ColumnFieldCode.view());
    WriteSettingValue("TOP", std::to_string(s.TOP));
    WriteSettingValue("TOPVALUE", std::to_string(s.TOPVALUE));
    WriteFlag("KEEPHISTORY", s.KeepHistory);
    WriteSettingValue("HISTORYFILE", s.HistoryFile);
}

void SaveLastPaths(const ReportSettings& settings) {
    WriteSettingValue("IN", settings.InputPath.view());
    WriteSettingValue("OUT", settings.OutputBasePath.view());
}

}  // namespace k32
