// The settings store: first run, reading, saving, the version check, every failure of a read or
// a save, and texts that must come back byte for byte. Each test uses a store file of its own
// in a fresh temporary folder, never the user's.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSettings>
#include <map>

#include "SettingsExpect.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "settings/SettingsStore.h"
#include "settings/StoredSettings.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

const char* const kValueNames[] = {
    "Sort",         "SortDir",      "DebugMode",    "CSVSeperator", "DECSeperator", "IN",
    "OUT",          "CSVHeader",    "Version",      "ENABLEHTML01", "ENABLEHTML02", "ENABLEHTML03",
    "ENABLEHTML04", "ENABLEHTML05", "ENABLEHTML06", "ENABLEHTML07", "ENABLEHTML08", "ENABLEHTML09",
    "ENABLEHTML10", "ENABLECSV01",  "ENABLECSV02",  "ENABLECSV03",  "ENABLECSV04",  "ENABLECSV05",
    "ENABLECSV06",  "ENABLECSV07",  "ENABLECSV08",  "ENABLECSV09",  "ENABLECSV10",  "COLUMN01",
    "COLUMN02",     "COLUMN03",     "COLUMN04",     "COLUMN05",     "COLUMN06",     "COLUMN07",
    "COLUMN08",     "COLUMN09",     "COLUMN10",     "TOP",          "TOPVALUE",     "KEEPHISTORY",
    "HISTORYFILE"};

// What the store holds after a first run: the defaults, empty paths, the program's version.
std::map<std::string, std::string> DefaultStore() {
    std::map<std::string, std::string> values = {
        {"Sort", "5"},         {"SortDir", "1"}, {"DebugMode", "1"}, {"CSVSeperator", ";"},
        {"DECSeperator", "."}, {"IN", ""},       {"OUT", ""},        {"CSVHeader", "Header"},
        {"Version", "0.3.3"},  {"TOP", "0"},     {"TOPVALUE", "0"},  {"KEEPHISTORY", "1"},
        {"HISTORYFILE", ""}};
    for (int i = 1; i <= 10; ++i) {
        const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
        values["ENABLEHTML" + n] = "1";
        values["ENABLECSV" + n] = "1";
        values["COLUMN" + n] = std::to_string(i - 1);
    }
    return values;
}

// Where the store's first-run message goes in these tests.
std::function<void(std::string_view)> g_message;

// The store's entries as the window calls them, on a program state.
void LoadStoredSettings(AppState& state) {
    RunContext ctx = ContextOf(state);
    std::string status;
    try {
        k32::LoadStoredSettings(state.settings, status, ctx, g_message);
    } catch (...) {
        state.StoreStatusText = status;
        throw;
    }
    state.StoreStatusText = status;
}
void ReadAllSettings(AppState& state) {
    RunContext ctx = ContextOf(state);
    k32::ReadAllSettings(state.settings, ctx);
}
void SaveAllSettings(AppState& state) {
    RunContext ctx = ContextOf(state);
    k32::SaveAllSettings(state.settings, ctx);
}
void SaveLastPaths(AppState& state) {
    k32::SaveLastPaths(state.settings);
}

class StoredSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder that does not exist yet: the first write must create it.
        path_ = dir_ / "config/Kestrama32.ini";
        ::setenv("KESTRAMA32_SETTINGS", path_.c_str(), 1);
        g_message = [this](std::string_view text) { messages_.emplace_back(text); };
    }
    void TearDown() override {
        ::unsetenv("KESTRAMA32_SETTINGS");
        g_message = nullptr;
    }

    // Writes a store file holding exactly `values` (plain texts without quotes or backslashes),
    // by hand: much faster than a synced write per value. Each call makes the store a new file:
    // Qt keeps a store it has read and reads it again only when its time stamp or size changed,
    // and two hand-written stores of one size within the same instant look alike to it.
    void Store(const std::map<std::string, std::string>& values) {
        std::string ini = "[General]\n";
        for (const auto& [name, text] : values)
            ini += name + "=\"" + text + "\"\n";
        std::filesystem::create_directories(dir_ / "config");
        path_ = dir_ / ("config/Kestrama32-" + std::to_string(++stores_) + ".ini");
        ::setenv("KESTRAMA32_SETTINGS", path_.c_str(), 1);
        WriteFile(path_, ini);
    }
    void RemoveValue(const std::string& name) {
        QSettings store(QString::fromStdString(path_), QSettings::IniFormat);
        store.remove(QString::fromStdString(name));
    }
    std::string ErrorOf(void (*action)(AppState&)) {
        try {
            action(state_);
        } catch (const KestramaError& e) {
            return e.what();
        }
        return "no error";
    }

    TempDir dir_;
    std::string path_;
    int stores_ = 0;
    AppState state_;
    std::vector<std::string> messages_;
};

ReportSettings Defaults(const std::string& in = "", const std::string& out = "") {
    ReportSettings s;
    SetDefaultSettings(s);
    SetDefaultHistorySettings(s);
    s.InputPath = in;
    s.OutputBasePath = out;
    return s;
}

TEST_F(StoredSettingsTest, FirstRunShowsItsMessageOnceAndStoresTheDefaults) {
    LogCapture log(state_, 0);
    ASSERT_FALSE(StoreKeyExists());
    LoadStoredSettings(state_);
    EXPECT_EQ(messages_, std::vector<std::string>{"First run, settings default settings."});
    EXPECT_EQ(state_.StoreStatusText, "No reg key found, first runtime, settings defaults.");
    EXPECT_EQ(log.lines, std::vector<std::string>{"Saving registry"});
    ExpectSameSettings(state_.settings, Defaults());

    ASSERT_TRUE(StoreKeyExists());
    QSettings raw(QString::fromStdString(path_), QSettings::IniFormat);
    EXPECT_EQ(raw.allKeys().size(), static_cast<qsizetype>(std::size(kValueNames)));
    const auto expected = DefaultStore();
    for (const char* name : kValueNames)
        EXPECT_EQ(ReadSettingValue(name), expected.at(name)) << name;

    // The next start finds the store and reads it without a message.
    AppState next;
    LoadStoredSettings(next);
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(next.StoreStatusText, "Reg key exist, read settings.");
    ExpectSameSettings(next.settings, Defaults());
}

TEST_F(StoredSettingsTest, AnotherVersionOrNoneGivesTheDefaultsAndKeepsThePaths) {
    for (const std::string version : {"0.3.2", "0.3.3 ", "", "missing"}) {
        SCOPED_TRACE(version);
        auto stored = DefaultStore();
        stored["Sort"] = "2";
        stored["CSVSeperator"] = ",";
        stored["IN"] = "/logs/po1.log";
        stored["OUT"] = "/reports/po1";
        stored["ENABLEHTML04"] = "0";
        stored["COLUMN02"] = "7";
        stored["TOP"] = "25";
        stored["Version"] = version;
        Store(stored);
        if (version == "missing")
            RemoveValue("Version");

        AppState state;
        LogCapture log(state, 0);
        LoadStoredSettings(state);
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Version mismatch, setting defaults",
                                                       "Saving registry"}));
        ExpectSameSettings(state.settings, Defaults("/logs/po1.log", "/reports/po1"));
        EXPECT_EQ(ReadSettingValue("Version"), "0.3.3");
        EXPECT_EQ(ReadSettingValue("Sort"), "5");
        EXPECT_EQ(ReadSettingValue("IN"), "/logs/po1.log");
    }
}

TEST_F(StoredSettingsTest, OnlyExactZeroOrOneChangesAFlag) {
    struct Case {
        std::string stored;  // "missing" removes the value
        bool before, after;
    };
    const Case cases[] = {
        {"0", true, false},    {"1", false, true},        {"yes", true, true},
        {"yes", false, false}, {" 1", false, false},      {"1 ", false, false},
        {"", true, true},      {"missing", false, false}, {"01", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.stored + "' before " + std::to_string(c.before));
        Store(DefaultStore());
        WriteSettingValue("ENABLEHTML05", c.stored);
        WriteSettingValue("ENABLECSV05", c.stored);
        if (c.stored == "missing") {
            RemoveValue("ENABLEHTML05");
            RemoveValue("ENABLECSV05");
        }
        AppState state;
        state.settings.columns[4].html = c.before;
        state.settings.columns[4].csv = c.before;
        ReadAllSettings(state);
        EXPECT_EQ(state.settings.columns[4].html, c.after);
        EXPECT_EQ(state.settings.columns[4].csv, c.after);
        EXPECT_TRUE(state.settings.columns[3].html);
    }
}

TEST_F(StoredSettingsTest, MissingTextValuesReadAsEmpty) {
    Store(DefaultStore());
    for (const char* name : {"COLUMN03", "CSVSeperator", "IN", "CSVHeader"})
        RemoveValue(name);
    ReadAllSettings(state_);
    EXPECT_EQ(state_.settings.columns[2].ColumnFieldCode, "");
    EXPECT_EQ(state_.settings.columns[3].ColumnFieldCode, "3");
    EXPECT_EQ(state_.settings.CSVSeperator, "");
    EXPECT_EQ(state_.settings.InputPath, "");
    EXPECT_EQ(state_.settings.CSVHeader, "");
}

TEST_F(StoredSettingsTest, NumbersConvertStrictlyAndAFailedOneStopsTheRead) {
    struct Case {
        std::string name, stored;  // "missing" removes the value
        std::string error;         // empty: reads
    };
    const Case cases[] = {
        {"Sort", "300", ""},  // low 8 bits: 44
        {"Sort", "-1", ""},   // low 8 bits: 255
        {"Sort", "missing", "'' is not a valid integer value"},
        {"SortDir", "1x", "'1x' is not a valid integer value"},
        {"DebugMode", " 1", "' 1' is not a valid integer value"},
        {"Sort", "99999999999", "'99999999999' is not a valid integer value"},
        {"TOP", "4294967295", ""},
        {"TOP", "12a", "'12a' is not a valid integer value"},
        {"TOP", "-1", "'-1' is not a valid integer value"},
        {"TOP", "4294967296", "'4294967296' is not a valid integer value"},
        {"TOPVALUE", "", "'' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + "=" + c.stored);
        auto stored = DefaultStore();
        stored["CSVSeperator"] = "#";
        stored["COLUMN10"] = "4";
        stored["TOP"] = "7";
        stored[c.name] = c.stored;
        Store(stored);
        if (c.stored == "missing")
            RemoveValue(c.name);

        AppState state;
        state.settings.CSVSeperator = "before";
        state.settings.TOPVALUE = 99;
        std::string error = "";
        try {
            ReadAllSettings(state);
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::Conversion);
            EXPECT_EQ(e.where, path_ + ", value " + c.name);
            error = e.what();
        }
        EXPECT_EQ(error, c.error);
        const bool numberFirst = c.name == "Sort" || c.name == "SortDir" || c.name == "DebugMode";
        if (c.error.empty()) {
            EXPECT_EQ(state.settings.TOPVALUE, 0u);
        } else if (numberFirst) {
            // Nothing after the failed value is read.
            EXPECT_EQ(state.settings.CSVSeperator, "before");
        } else {
            // Everything before it stays read; TOPVALUE after TOP is not.
            EXPECT_EQ(state.settings.CSVSeperator, "#");
            EXPECT_EQ(state.settings.columns[9].ColumnFieldCode, "4");
            if (c.name == "TOP") {
                EXPECT_EQ(state.settings.TOPVALUE, 99u);
            }
        }
    }
    // The successful rows of the table, once more for their values.
    Store(DefaultStore());
    WriteSettingValue("Sort", "300");
    WriteSettingValue("SortDir", "-1");
    WriteSettingValue("TOP", "4294967295");
    ReadAllSettings(state_);
    EXPECT_EQ(state_.settings.Sort, 44);
    EXPECT_EQ(state_.settings.SortDir, 255);
    EXPECT_EQ(state_.settings.TOP, 4294967295u);
}

TEST_F(StoredSettingsTest, AValueThatIsNotPlainTextIsADataTypeError) {
    // Written by hand: a value with an unquoted comma is a list, "@Rect" a typed value.
    for (const std::string line : {"COLUMN04=1, 2", "COLUMN04=@Rect(1 2 3 4)", "COLUMN04=a,b,c"}) {
        SCOPED_TRACE(line);
        std::string ini = "[General]\n";
        for (const auto& [name, text] : DefaultStore())
            if (name != "COLUMN04" && name != "CSVSeperator")
                ini += name + "=" + text + "\n";
        ini += "CSVSeperator=\";\"\n" + line + "\n";
        std::filesystem::create_directories(dir_ / "config");
        const std::string own = dir_ / ("config/" + std::to_string(line.size()) + ".ini");
        WriteFile(own, ini);
        ::setenv("KESTRAMA32_SETTINGS", own.c_str(), 1);

        AppState state;
        try {
            ReadAllSettings(state);
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_STREQ(e.what(), "Invalid data type for 'COLUMN04'");
        }
        EXPECT_EQ(state.settings.columns[2].ColumnFieldCode, "2");
        EXPECT_EQ(state.settings.columns[4].ColumnFieldCode, "");
    }
}

TEST_F(StoredSettingsTest, AStoreThatCannotBeWrittenIsASetDataError) {
    // Places even the superuser cannot write: below a plain file, or a folder in the file's place.
    WriteFile(dir_ / "plain", "x");
    std::filesystem::create_directories(dir_ / "folder.ini");
    for (const std::string& place : {dir_ / "plain/Kestrama32.ini", dir_ / "folder.ini"}) {
        SCOPED_TRACE(place);
        ::setenv("KESTRAMA32_SETTINGS", place.c_str(), 1);
        AppState state;
        try {
            LoadStoredSettings(state);
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_STREQ(e.what(), "Failed to set data for 'Sort'");
        }
        EXPECT_EQ(state.StoreStatusText, "No reg key found, first runtime, settings defaults.");
        EXPECT_THROW(SaveLastPaths(state), KestramaError);
        EXPECT_FALSE(StoreKeyExists());
    }
}

TEST_F(StoredSettingsTest, AReadOnlyStoreKeepsItsValuesAfterAFailedWrite) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser writes read-only files";
    Store(DefaultStore());
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
    try {
        WriteSettingValue("Sort", "2");
        ADD_FAILURE() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Sort'");
    }
    // The value that could not be written does not show in later reads.
    EXPECT_EQ(ReadSettingValue("Sort"), "5");
}

TEST_F(StoredSettingsTest, SaveLastPathsWritesOnlyInAndOut) {
    Store(DefaultStore());
    state_.settings = Defaults("/new/in.log", "/new/out");
    state_.settings.Sort = 2;
    state_.settings.TOP = 9;
    SaveLastPaths(state_);
    auto expected = DefaultStore();
    expected["IN"] = "/new/in.log";
    expected["OUT"] = "/new/out";
    for (const char* name : kValueNames)
        EXPECT_EQ(ReadSettingValue(name), expected.at(name)) << name;
}

TEST_F(StoredSettingsTest, AwkwardTextsComeBackByteForByte) {
    const std::string texts[] = {
        ",",
        ";",
        "a,b",
        "a, b;c",
        "=",
        "#",
        "\"",
        "\\",
        "@",
        "@ByteArray(x)",
        "@Variant(x)",
        "/home/ann/Post Office #1/log=a\\b.log",
        " lead and trail ",
        "tab\tand\r\nline ends",
        "\"quoted\", 'single'",
        "M\xC3\xBCller/\xE2\x82\xAC",  // valid UTF-8
        "caf\xE9 \x80\xFF",            // not UTF-8: Windows-1252 bytes
        std::string("nul\0inside", 10),
        std::string(255, 'x'),
        "",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        WriteSettingValue("IN", text);
        EXPECT_EQ(ReadSettingValue("IN"), text);
    }

    // The whole model through a save and a read.
    ReportSettings s = Defaults("/logs/a b/\"po\" $1.log", "/reports/po,1;x");
    s.Sort = 9;
    s.SortDir = 0;
    s.DebugMode = 3;
    s.CSVSeperator = ",";
    s.DECSeperator = ";";
    s.CSVHeader = "Footer";
    s.columns[2].ColumnFieldCode = "2";
    s.columns[6].ColumnFieldCode = "2";
    s.columns[0].html = false;
    s.columns[9].csv = false;
    s.TOP = 4294967295u;
    s.TOPVALUE = 123456;
    state_.settings = s;
    SaveAllSettings(state_);
    EXPECT_EQ(ReadSettingValue("TOPVALUE"), "123456");
    EXPECT_EQ(ReadSettingValue("ENABLEHTML01"), "0");
    AppState fresh;
    ReadAllSettings(fresh);
    ExpectSameSettings(fresh.settings, s);
}

TEST(SettingsStorePathTest, TheOverrideThenTheConfigFolderThenHome) {
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    struct Case {
        const char* own;  // KESTRAMA32_SETTINGS, nullptr for unset
        const char* xdg;  // XDG_CONFIG_HOME, nullptr for unset
        std::string expected;
    };
    const Case cases[] = {
        {"/tmp/own.ini", "/xdg", "/tmp/own.ini"},
        {"", "/xdg", "/xdg/Kestrama32/Kestrama32.ini"},
        {nullptr, "/xdg", "/xdg/Kestrama32/Kestrama32.ini"},
        {nullptr, "relative", std::string(home) + "/.config/Kestrama32/Kestrama32.ini"},
        {nullptr, nullptr, std::string(home) + "/.config/Kestrama32/Kestrama32.ini"},
    };
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdgBefore = savedXdg ? savedXdg : "";
    for (const Case& c : cases) {
        c.own ? ::setenv("KESTRAMA32_SETTINGS", c.own, 1) : ::unsetenv("KESTRAMA32_SETTINGS");
        c.xdg ? ::setenv("XDG_CONFIG_HOME", c.xdg, 1) : ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsStorePath(), c.expected);
    }
    ::unsetenv("KESTRAMA32_SETTINGS");
    savedXdg ? ::setenv("XDG_CONFIG_HOME", xdgBefore.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
