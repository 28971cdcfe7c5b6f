#pragma once
// How a mailbox log is read: in at most `parts` parts, side by side, of at least `minPartBytes`
// each. A log below twice that size is read in one pass.

#include <algorithm>
#include <cstdint>
#include <thread>

namespace k32 {

struct ReadPlan {
    unsigned parts = 1;
    std::uint64_t minPartBytes = 8u << 20;
};

// One part per processor core (at most 8), for logs of some megabytes and more.
inline ReadPlan DefaultReadPlan() {
    ReadPlan plan;
    plan.parts = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    return plan;
}

}  // namespace k32
