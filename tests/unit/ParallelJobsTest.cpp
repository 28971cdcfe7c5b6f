// Jobs run side by side whose progress and debug lines, errors and stops come out as if the jobs
// had run one after the other.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "state/DebugLog.h"
#include "state/ParallelJobs.h"
#include "state/StopCheck.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

std::string Debug(std::string_view caption, std::string_view value) {
    return "DEBUG ; " + PadRight(caption, 30).str() + ": " + std::string(value);
}

// Waits for another job's signal; a job that waits in vain fails the test rather than hang it.
void Await(std::shared_future<void> signal) {
    if (signal.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        ADD_FAILURE() << "a job waited in vain";
}

// A job's lines: a progress line and a debug line per name.
void AddLines(RunContext& job, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        AddProgressLine(job, name);
        AddDebugLine(job, name, "debug");
    }
}

std::vector<std::string> LinesOf(const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    for (const std::string& name : names) {
        lines.push_back(name);
        lines.push_back(Debug(name, "debug"));
    }
    return lines;
}

KestramaError Failure(const std::string& message) {
    return KestramaError(ErrorKind::InputOutput, message, "job");
}

}  // namespace

TEST(RunJobsInOrder, LinesComeOutInJobOrderWhenALaterJobEndsFirst) {
    ContextCapture log(2);
    std::promise<void> secondDone;
    const std::shared_future<void> second = secondDone.get_future().share();
    RunJobsInOrder(log.ctx, {[&](RunContext& job) {
                                 AddLines(job, {"a1"});
                                 Await(second);
                                 AddLines(job, {"a2"});
                             },
                             [&](RunContext& job) {
                                 AddLines(job, {"b1", "b2"});
                                 secondDone.set_value();
                             },
                             [&](RunContext& job) { AddLines(job, {"c1"}); }});
    EXPECT_EQ(log.lines, LinesOf({"a1", "a2", "b1", "b2", "c1"}));
}

TEST(RunJobsInOrder, LinesGoWhereTheDebugModeRoutesThem) {
    // Batch mode: nothing reaches the screen; the debug lines of both jobs reach the file in
    // job order.
    TempDir dir;
    DebugLogFile file;
    file.path = dir / "debug32.txt";
    RunContext ctx;
    ctx.windowMode = false;
    ctx.debugMode = 1;
    ctx.debugLog = &file;
    std::vector<std::string> screen;
    ctx.screenLine = [&](std::string_view line) { screen.emplace_back(line); };
    std::promise<void> secondDone;
    const std::shared_future<void> second = secondDone.get_future().share();
    RunJobsInOrder(ctx, {[&](RunContext& job) {
                             Await(second);
                             AddLines(job, {"a1"});
                         },
                         [&](RunContext& job) {
                             AddLines(job, {"b1"});
                             secondDone.set_value();
                         }});
    file.Close();
    EXPECT_TRUE(screen.empty());
    std::vector<std::string> lines;
    for (const std::string& line : SplitCrLf(ReadFile(file.path)))
        lines.push_back(line.substr(line.find(" ; ") + 3));
    EXPECT_EQ(lines, (std::vector<std::string>{Debug("a1", "debug"), Debug("b1", "debug")}));
}

// The jobs' lines reach the debug log in bursts; a log deleted before a burst is created again
// and holds the burst's lines.
TEST(RunJobsInOrder, ADebugLogDeletedBeforeABurstIsCreatedAgain) {
    TempDir dir;
    DebugLogFile file;
    file.path = dir / "debug32.txt";
    RunContext ctx;
    ctx.debugMode = 1;
    ctx.debugLog = &file;
    AddDebugLine(ctx, "before", "x");
    std::filesystem::remove(file.path);
    RunJobsInOrder(ctx, {[&](RunContext& job) { AddDebugLine(job, "a", "x"); },
                         [&](RunContext& job) { AddDebugLine(job, "b", "x"); }});
    file.Close();
    std::vector<std::string> lines;
    for (const std::string& line : SplitCrLf(ReadFile(file.path)))
        lines.push_back(line.substr(line.find(" ; ") + 3));
    EXPECT_EQ(lines, (std::vector<std::string>{Debug("a", "x"), Debug("b", "x")}));
}

TEST(RunJobsInOrder, ASingleJobRunsOnTheCallingThread) {
    ContextCapture log(2);
    std::thread::id ranOn;
    RunJobsInOrder(log.ctx, {[&](RunContext& job) {
                       ranOn = std::this_thread::get_id();
                       AddLines(job, {"only"});
                   }});
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(log.lines, LinesOf({"only"}));
}

TEST(RunJobsInOrder, AFailingJobRaisesItsErrorAfterTheLinesBeforeIt) {
    struct Case {
        const char* name;
        bool firstFails;   // after its lines, once the second has failed
        bool secondFails;  // after its first line
        std::string error;
        std::vector<std::string> names;  // whose lines come out
    };
    const Case cases[] = {
        {"the first job's error wins over a later one's", true, true, "first", {"a1"}},
        {"a later job's error comes after the earlier jobs' lines and its own",
         false,
         true,
         "second",
         {"a1", "a2", "b1"}},
        {"the first job's error drops the later jobs' lines", true, false, "first", {"a1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContextCapture log(2);
        std::promise<void> secondDone;
        const std::shared_future<void> second = secondDone.get_future().share();
        try {
            RunJobsInOrder(log.ctx, {[&](RunContext& job) {
                                         AddLines(job, {"a1"});
                                         Await(second);
                                         if (c.firstFails)
                                             throw Failure("first");
                                         AddLines(job, {"a2"});
                                     },
                                     [&](RunContext& job) {
                                         AddLines(job, {"b1"});
                                         if (c.secondFails) {
                                             secondDone.set_value();
                                             throw Failure("second");
                                         }
                                         AddLines(job, {"b2"});
                                         secondDone.set_value();
                                     },
                                     [&](RunContext& job) { AddLines(job, {"c1"}); }});
            ADD_FAILURE() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.what(), c.error);
            EXPECT_EQ(e.where, "job");
        }
        EXPECT_EQ(log.lines, LinesOf(c.names));
    }
}

TEST(RunJobsInOrder, AStopRequestStopsEveryJobAndRaisesRunStopped) {
    ContextCapture log(2);
    // The user closes the window while the jobs run.
    std::stop_source source;
    log.ctx.stop = source.get_token();
    std::jthread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        source.request_stop();
    });
    std::atomic<int> stopped = 0;
    auto endless = [&](RunContext& job) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        try {
            while (std::chrono::steady_clock::now() < until)
                ThrowIfStopped(job);
        } catch (const RunStopped&) {
            ++stopped;
            throw;
        }
    };
    EXPECT_THROW(RunJobsInOrder(log.ctx, {endless, endless}), RunStopped);
    EXPECT_EQ(stopped, 2);
}

// A job may run jobs of its own, as a mailbox reader that reads its log in parts does when it
// runs as one of several jobs: their lines come out in order as the job's own.
TEST(RunJobsInOrder, JobsOfAJobPassTheirLinesOn) {
    ContextCapture log(2);
    RunJobsInOrder(log.ctx, {[&](RunContext& job) {
                                 AddLines(job, {"a1"});
                                 RunJobsInOrder(
                                     job, {[](RunContext& inner) { AddLines(inner, {"a2"}); },
                                           [](RunContext& inner) { AddLines(inner, {"a3"}); }});
                             },
                             [&](RunContext& job) { AddLines(job, {"b1"}); }});
    EXPECT_EQ(log.lines, LinesOf({"a1", "a2", "a3", "b1"}));
}
