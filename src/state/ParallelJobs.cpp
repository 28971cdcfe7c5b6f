#include "state/ParallelJobs.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>

#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/BackgroundJob.h"

namespace k32 {

void DeferredLines::Push(Kind kind, std::string_view text) {
    std::lock_guard lock(mutex_);
    lines_.push_back(FinishedLine{kind == Kind::Debug, std::string(text)});
}

void DeferredLines::TakeAll(std::vector<FinishedLine>& out) {
    out.clear();
    std::lock_guard lock(mutex_);
    out.swap(lines_);
}

namespace {

struct JobSlot {
    DeferredLines lines;
    std::exception_ptr error;
    std::atomic<bool> done{false};
};

// Passes the lines a job has finished so far on to the controller's context.
void PassOn(RunContext& ctx, JobSlot& slot, std::vector<FinishedLine>& scratch) {
    slot.lines.TakeAll(scratch);
    PassOnLines(ctx, scratch);
}

}  // namespace

void RunJobsInOrder(RunContext& ctx, const std::vector<ParallelJob>& jobs) {
    if (jobs.size() == 1) {
        jobs.front()(ctx);
        return;
    }
    const std::size_t n = jobs.size();
    auto slots = std::make_unique<JobSlot[]>(n);
    std::mutex mutex;
    std::condition_variable ended;

    // Declared after everything the jobs use: on any way out, the jobs are asked to stop and
    // joined before their slots go.
    auto threads = std::make_unique<BackgroundJob[]>(n);
    auto stopAll = [&] {
        for (std::size_t i = 0; i < n; ++i)
            threads[i].RequestStop();
    };
    std::exception_ptr failure;
    try {
        for (std::size_t i = 0; i < n; ++i) {
            threads[i].Start([&, i](std::stop_token stop) {
                RunContext job;
                job.windowMode = ctx.windowMode;
                job.debugMode = ctx.debugMode;
                job.stop = stop;
                job.bytesRead = ctx.bytesRead;
                job.encodingSeen = ctx.encodingSeen;
                job.deferred = &slots[i].lines;
                try {
                    jobs[i](job);
                } catch (...) {
                    slots[i].error = std::current_exception();
                }
                {
                    std::lock_guard lock(mutex);
                    slots[i].done.store(true, std::memory_order_release);
                }
                ended.notify_all();
            });
        }
        std::vector<FinishedLine> scratch;
        for (std::size_t current = 0; current < n;) {
            JobSlot& slot = slots[current];
            // Read before passing the lines on: once done is seen, every line is there.
            const bool done = slot.done.load(std::memory_order_acquire);
            PassOn(ctx, slot, scratch);
            if (done) {
                if (slot.error) {
                    failure = slot.error;
                    break;
                }
                ++current;
                continue;
            }
            {
                std::unique_lock lock(mutex);
                ended.wait_for(lock, std::chrono::milliseconds(10),
                               [&] { return slot.done.load(std::memory_order_acquire); });
            }
            if (ctx.stop.stop_requested())
                throw RunStopped{};
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        stopAll();
    for (std::size_t i = 0; i < n; ++i)
        threads[i].Wait();  // the jobs' own errors are in their slots
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace k32
