#pragma once
// The one way this program runs work on a thread of its own: a job on a std::jthread that is
// given the thread's stop token. Wait joins the thread and raises in the caller what the job
// raised. Destroying a job that is still running requests a stop and joins, so an abandoned job
// (its owner is unwinding an error of its own) never outlives the data it works on, and an
// error while starting a second job never ends the program.

#include <exception>
#include <functional>
#include <stop_token>
#include <thread>
#include <utility>

namespace k32 {

class BackgroundJob {
  public:
    using Job = std::function<void(std::stop_token)>;

    BackgroundJob() = default;
    // Starts the job at once. Raises std::system_error when no thread can be started.
    explicit BackgroundJob(Job job) { Start(std::move(job)); }
    ~BackgroundJob() = default;  // the jthread requests a stop and joins
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void Start(Job job) {
        error_ = nullptr;
        thread_ = std::jthread([this, job = std::move(job)](std::stop_token stop) {
            try {
                job(stop);
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    }
    // Asks the job to stop; the job decides where it checks its token.
    void RequestStop() { thread_.request_stop(); }
    // True while a started job has not been waited for.
    bool Started() const { return thread_.joinable(); }
    // Waits for the job; raises what it raised. Does nothing for a job waited for already.
    void Wait() {
        if (thread_.joinable())
            thread_.join();
        if (error_)
            std::rethrow_exception(std::exchange(error_, nullptr));
    }

  private:
    std::exception_ptr error_;
    std::jthread thread_;  // last: stopped and joined before the error slot goes
};

}  // namespace k32
