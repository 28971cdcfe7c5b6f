// The window's runs: a request run on a thread of its own, its lines handed over from that
// thread, its end reported once. Also run under ThreadSanitizer, with the core tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/RunProcessing.h"
#include "app/RunThread.h"
#include "testlog/DummyLog.h"
#include "text/Errors.h"

using namespace k32;
using namespace k32::test;

namespace {

// The Log tab's side: lines from the run's thread, collected under a lock without their time
// stamps, and the run's end.
struct Window {
    RunLines Lines(std::uint8_t debugMode = 3) {
        RunLines lines;
        lines.debugMode = debugMode;
        lines.screenLine = [this](std::string_view line) {
            const auto at = line.find(" ; ");
            std::lock_guard lock(mutex);
            shown.emplace_back(line.substr(at + 3));
            if (!stopAt.empty() && shown.back() == stopAt && !reached.exchange(true)) {
                // The run goes on only once the stop has been asked for, so it is seen wherever
                // the run then is.
                stopLine.set_value();
                stopAsked.get_future().wait();
            }
        };
        return lines;
    }
    std::function<void(RunEnd)> Finished() {
        return [this](RunEnd end) { ended.set_value(std::move(end)); };
    }
    std::vector<std::string> Shown() {
        std::lock_guard lock(mutex);
        return shown;
    }

    std::mutex mutex;
    std::vector<std::string> shown;
    std::string stopAt;
    std::atomic<bool> reached = false;
    std::promise<void> stopLine, stopAsked;
    std::promise<RunEnd> ended;
};

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// The run reads its request only: settings changed after the start change nothing of it. Its
// lines arrive in order, and its end brings the result.
TEST(RunThread, RunsItsRequestAndHandsOverItsLinesInOrder) {
    TempDir dir;
    WriteDummyLog(dir / "po.log", kDummyGW652, 2000, false);
    ReportSettings settings;
    SetDefaultSettings(settings);
    settings.InputPath = dir / "po.log";
    settings.OutputBasePath = dir / "po";
    Window window;
    RunThread run(RunProcessing, MakeRunRequest(settings, true), window.Lines(), window.Finished());
    settings.InputPath = dir / "other.log";
    settings.OutputBasePath = dir / "other";
    const RunEnd end = window.ended.get_future().get();
    ASSERT_TRUE(end.result) << (end.stopped ? "stopped" : "error");
    EXPECT_EQ(end.result->log.mailboxes.Count(), 2000u);
    EXPECT_EQ(end.result->log.summary.CsvReportPath.str(), dir / "po.csv");
    EXPECT_TRUE(end.result->grid.filled);
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"po.csv", "po.log", "po.mht"}));
    const std::vector<std::string> shown = window.Shown();
    const std::vector<std::string> order = {"Opening file: " + dir / "po.log",
                                            "Sorting.",
                                            "Done processing",
                                            "Writing to CSV file: " + dir / "po.csv",
                                            "Writing to MHT file: " + dir / "po.mht",
                                            "Done writing files, check the tabs for the results"};
    auto at = shown.begin();
    for (const std::string& line : order) {
        at = std::find(at, shown.end(), line);
        ASSERT_NE(at, shown.end()) << "missing or out of order: " << line;
    }
}

// A stop asked for while the reports are being written ends the run as stopped: the earlier
// reports stay as they were, and no temporary file is left.
TEST(RunThread, AStopLeavesTheEarlierReports) {
    TempDir dir;
    WriteDummyLog(dir / "small.log", kDummyGW652, 5, false);
    WriteDummyLog(dir / "big.log", kDummyGW652, 20000, false);
    ReportSettings settings;
    SetDefaultSettings(settings);
    settings.InputPath = dir / "small.log";
    settings.OutputBasePath = dir / "po";
    {
        Window first;
        RunThread run(RunProcessing, MakeRunRequest(settings, true), first.Lines(),
                      first.Finished());
        ASSERT_TRUE(first.ended.get_future().get().result);
    }
    const std::string csv = ReadFile(dir / "po.csv"), mht = ReadFile(dir / "po.mht");
    const std::vector<std::string> before = FilesIn(dir.path());
    for (const std::string& stopAt :
         std::vector<std::string>{"Sorting.", "Writing to CSV file: " + dir / "po.csv"}) {
        SCOPED_TRACE(stopAt);
        settings.InputPath = dir / "big.log";
        Window window;
        window.stopAt = stopAt;
        RunThread run(RunProcessing, MakeRunRequest(settings, true), window.Lines(),
                      window.Finished());
        window.stopLine.get_future().get();
        run.RequestStop();
        window.stopAsked.set_value();
        const RunEnd end = window.ended.get_future().get();
        EXPECT_TRUE(end.stopped);
        EXPECT_FALSE(end.result);
        EXPECT_EQ(ReadFile(dir / "po.csv"), csv);
        EXPECT_EQ(ReadFile(dir / "po.mht"), mht);
        EXPECT_EQ(FilesIn(dir.path()), before);
    }
}

// A run's error reaches its end, raised where the window shows it.
TEST(RunThread, AnErrorEndsTheRun) {
    TempDir dir;
    ReportSettings settings;
    SetDefaultSettings(settings);
    settings.InputPath = dir / "missing.log";
    settings.OutputBasePath = dir / "po";
    Window window;
    RunThread run(RunProcessing, MakeRunRequest(settings, true), window.Lines(), window.Finished());
    const RunEnd end = window.ended.get_future().get();
    ASSERT_TRUE(end.error);
    EXPECT_THROW(std::rethrow_exception(end.error), KestramaError);
}
