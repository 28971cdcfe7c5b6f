// The text of the progress line on a terminal, and that nothing is drawn off a terminal.

#include <gtest/gtest.h>

#include <unistd.h>

#include "app/TerminalProgress.h"

using namespace k32;

TEST(TerminalProgress, Text) {
    constexpr std::uint64_t MB = 1024 * 1024;
    struct Case {
        std::uint64_t done, total;
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {0, 100 * MB, 0.0, "reading   0%   --.- MB/s --:-- left"},
        // Too early for a rate that means anything.
        {10 * MB, 100 * MB, 0.1, "reading  10%   --.- MB/s --:-- left"},
        {25 * MB, 100 * MB, 0.5, "reading  25%   50.0 MB/s  0:02 left"},
        {1 * MB, 601 * MB, 1.0, "reading   0%    1.0 MB/s 10:00 left"},
        {100 * MB, 100 * MB, 2.0, "reading 100%   50.0 MB/s  0:00 left"},
        // A second pass over the same log stays at 100%.
        {150 * MB, 100 * MB, 3.0, "reading 100%   33.3 MB/s  0:00 left"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProgressText(c.done, c.total, c.seconds), c.text) << c.done << " " << c.seconds;
}

TEST(TerminalProgress, NothingOffATerminal) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::atomic<std::uint64_t> counter{0};
    {
        TerminalProgress progress(counter, 10 * kProgressFromBytes, fds[1]);
        counter += kProgressFromBytes;
    }
    ::close(fds[1]);
    char buf[16];
    EXPECT_EQ(::read(fds[0], buf, sizeof buf), 0);
    ::close(fds[0]);
}
