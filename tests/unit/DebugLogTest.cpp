// Progress lines for the Log tab and debug lines for debug32.txt and the Log tab, routed by the
// debug mode.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "TestSupport.h"
#include "app/AppState.h"
#include "state/DebugLog.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FileLines(const std::string& path) {
    return SplitCrLf(ReadFile(path));
}

// The part of a line after its time stamp, which ends with the first " ; ".
std::string AfterTimeStamp(const std::string& line) {
    auto at = line.find(" ; ");
    return at == std::string::npos ? "<no time stamp> " + line : line.substr(at + 3);
}

std::vector<std::string> AfterTimeStamps(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        out.push_back(AfterTimeStamp(l));
    return out;
}

std::string Debug(std::string_view caption, std::string_view value) {
    return "DEBUG ; " + PadRight(caption, 30).str() + ": " + std::string(value);
}

class DebugLog : public ::testing::Test {
  protected:
    DebugLog() {
        state_.DebugLogPath = path_;
        state_.settings.DebugMode = 1;
        state_.WindowMode = false;
    }
    // Window mode with the Log tab's lines collected.
    void ShowLogTab() {
        state_.WindowMode = true;
        state_.screenLine = [this](std::string_view l) { screen_.emplace_back(l); };
    }

    TempDir dir_;
    std::string path_ = dir_ / "debug32.txt";
    AppState state_;
    std::vector<std::string> screen_;
};

}  // namespace

TEST(TimeStamp, EndsWithTheSeparator) {
    const std::string prefix = TimeStampPrefix();
    ASSERT_GE(prefix.size(), 3u);
    EXPECT_EQ(prefix.substr(prefix.size() - 3), " ; ");
    EXPECT_EQ(prefix.find(" ; "), prefix.size() - 3);
}

TEST_F(DebugLog, StartWritesTheThreeStartLines) {
    WriteFile(path_, "an earlier start\r\n");
    StartDebugLog(state_);
    const std::vector<std::string> lines = FileLines(path_);
    EXPECT_EQ(AfterTimeStamps(lines),
              (std::vector<std::string>{"DEBUG ; Start debug" + std::string(19, ' ') + ": " + path_,
                                        Debug("Debug mode", "1"), Debug("", "n/a")}));
}

TEST_F(DebugLog, StartWritesTheStoreStatusAsTheThirdLine) {
    state_.StoreStatusText = "Reg key exist, read settings.";
    StartDebugLog(state_);
    ASSERT_EQ(FileLines(path_).size(), 3u);
    EXPECT_EQ(AfterTimeStamp(FileLines(path_)[2]), Debug("Reg key exist, read settings.", "n/a"));
}

TEST_F(DebugLog, CaptionPaddingEmptyValueAndTheCut) {
    StartDebugLog(state_);
    const std::string thirty(30, 'c'), thirtyOne(31, 'd');
    AddDebugLine(state_, thirty, "v");
    AddDebugLine(state_, thirtyOne, "v");
    AddDebugLine(state_, "Empty", "");
    AddDebugLine(state_, "Long", std::string(300, 'x'));
    const std::vector<std::string> lines = FileLines(path_);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(AfterTimeStamp(lines[3]), "DEBUG ; " + thirty + ": v");
    EXPECT_EQ(AfterTimeStamp(lines[4]), "DEBUG ; " + thirtyOne + ": v");
    EXPECT_EQ(AfterTimeStamp(lines[5]), "DEBUG ; Empty" + std::string(25, ' ') + ": n/a");
    EXPECT_EQ(lines[6].size(), 255u);
    EXPECT_EQ(AfterTimeStamp(lines[6]).substr(0, 44), Debug("Long", "xxxx"));
}

TEST_F(DebugLog, RoutingByMode) {
    struct Case {
        int mode;
        bool window;
        bool file, screen;
    };
    const Case cases[] = {
        {0, true, true, true},   {0, false, true, false},  {1, true, true, false},
        {2, true, false, true},  {2, false, false, false}, {3, true, false, false},
        {9, true, false, false},
    };
    for (const Case& c : cases) {
        AppState state;
        state.DebugLogPath = path_;
        state.settings.DebugMode = static_cast<std::uint8_t>(c.mode);
        state.WindowMode = c.window;
        std::vector<std::string> screen;
        state.screenLine = [&](std::string_view l) { screen.emplace_back(l); };
        fs::remove(path_);
        StartDebugLog(state);
        AddDebugLine(state, "Caption", "value");
        CloseDebugLog(state);
        const std::string where =
            "mode " + std::to_string(c.mode) + (c.window ? " window" : " batch");
        EXPECT_EQ(fs::exists(path_), c.file) << where;
        if (c.file) {
            EXPECT_EQ(AfterTimeStamps(FileLines(path_)),
                      (std::vector<std::string>{
                          "DEBUG ; Start debug" + std::string(19, ' ') + ": " + path_,
                          Debug("Debug mode", std::to_string(c.mode)), Debug("", "n/a"),
                          Debug("Caption", "value"), Debug("Close debug", "n/a")}))
                << where;
        }
        if (c.screen) {
            // The same lines, but no "Close debug" line outside the disk modes.
            std::vector<std::string> expected = {
                "DEBUG ; Start debug" + std::string(19, ' ') + ": " + path_,
                Debug("Debug mode", std::to_string(c.mode)), Debug("", "n/a"),
                Debug("Caption", "value")};
            if (c.file)
                expected.push_back(Debug("Close debug", "n/a"));
            EXPECT_EQ(AfterTimeStamps(screen), expected) << where;
        } else {
            EXPECT_TRUE(screen.empty()) << where;
        }
    }
}

TEST_F(DebugLog, ASecondStartReplacesTheFile) {
    StartDebugLog(state_);
    AddDebugLine(state_, "First run", "");
    StartDebugLog(state_);
    EXPECT_EQ(FileLines(path_).size(), 3u);
}

TEST_F(DebugLog, SwitchingToADiskModeLaterDoesNotFail) {
    state_.settings.DebugMode = 3;
    StartDebugLog(state_);
    EXPECT_FALSE(fs::exists(path_));
    state_.settings.DebugMode = 1;
    EXPECT_NO_THROW(AddDebugLine(state_, "After apply", "x"));
    EXPECT_EQ(AfterTimeStamps(FileLines(path_)),
              std::vector<std::string>{Debug("After apply", "x")});
}

TEST_F(DebugLog, AFileRemovedMeanwhileIsCreatedAgain) {
    StartDebugLog(state_);
    fs::remove(path_);
    AddDebugLine(state_, "Later", "x");
    EXPECT_EQ(AfterTimeStamps(FileLines(path_)), std::vector<std::string>{Debug("Later", "x")});
}

TEST_F(DebugLog, AMissingFolderIsAnInputOutputError) {
    state_.DebugLogPath = dir_ / "missing/debug32.txt";
    try {
        StartDebugLog(state_);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "Path not found");
    }
}

TEST_F(DebugLog, ProgressLinesReachTheLogTabInWindowModeOnly) {
    state_.settings.DebugMode = 3;
    state_.screenLine = [this](std::string_view l) { screen_.emplace_back(l); };
    AddProgressLine(state_, "batch line");
    EXPECT_TRUE(screen_.empty());

    ShowLogTab();
    AddProgressLine(state_, "Sorting.");
    AddProgressLine(state_, "");
    AddProgressLine(state_, std::string(300, 'p'));
    ASSERT_EQ(screen_.size(), 3u);
    EXPECT_EQ(AfterTimeStamp(screen_[0]), "Sorting.");
    EXPECT_EQ(AfterTimeStamp(screen_[1]), "");
    EXPECT_EQ(screen_[1].substr(screen_[1].size() - 3), " ; ");
    EXPECT_EQ(screen_[2].size(), 255u);
    EXPECT_FALSE(fs::exists(path_));
}

// A FIFO or a hard link at the log's name is never written: a FIFO would hang the run, and a
// hard link's other name would be overwritten. The log goes to the user's state folder.
TEST_F(DebugLog, NoPlainFileWithOneNameSendsTheLogToTheStateFolder) {
    ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
    WriteFile(dir_ / "precious.txt", "keep me");
    struct Case {
        const char* name;
        std::function<void()> plant;
    };
    const Case cases[] = {
        {"fifo", [&] { ASSERT_EQ(::mkfifo(path_.c_str(), 0666), 0); }},
        {"hard link", [&] { fs::create_hard_link(dir_ / "precious.txt", path_); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path_);
        c.plant();
        state_.DebugLogPath = path_;
        StartDebugLog(state_);
        EXPECT_EQ(state_.DebugLogPath.str(), dir_ / "state/kestrama32/debug32.txt");
        EXPECT_EQ(FileLines(dir_ / "state/kestrama32/debug32.txt").size(), 3u);
    }
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(ReadFile(dir_ / "precious.txt"), "keep me");
}

// An installed program's folder gets no debug log, even when it could be written (as by root):
// the log goes to the user's state folder.
TEST_F(DebugLog, AnInstalledProgramWritesItsLogInTheUsersStateFolder) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/opt/kestrama32/bin"})
        EXPECT_TRUE(InSystemProgramFolder(std::string(folder) + "/debug32.txt")) << folder;
    for (const char* folder : {"/home/ann/kestrama32", "/srv/usrdata", "/tmp/build/src"})
        EXPECT_FALSE(InSystemProgramFolder(std::string(folder) + "/debug32.txt")) << folder;
    ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
    state_.DebugLogPath = "/usr/bin/debug32.txt";
    const bool existed = fs::exists("/usr/bin/debug32.txt");
    StartDebugLog(state_);
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(state_.DebugLogPath.str(), dir_ / "state/kestrama32/debug32.txt");
    EXPECT_EQ(FileLines(dir_ / "state/kestrama32/debug32.txt").size(), 3u);
    EXPECT_EQ(fs::exists("/usr/bin/debug32.txt"), existed);
}
