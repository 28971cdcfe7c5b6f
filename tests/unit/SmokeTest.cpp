#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace k32::test;

TEST(Smoke, DummyLogRunsThroughBatchMode) {
    TempDir dir;
    ASSERT_EQ(RunProcess({DummyLogTool(), dir / "d.log", "12", "3"}).exitCode, 0);
    auto r = RunProcess(
        {Kestrama32(), "/IN:" + (dir / "d.log"), "/OUT:" + (dir / "r"), "/OPTIONS:5130;."});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_TRUE(std::filesystem::exists(dir / "r.csv"));
}
