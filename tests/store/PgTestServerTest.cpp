// The throwaway server itself: it starts as an ordinary user, serves a new database on its
// socket, and leaves nothing behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "PgTestServer.h"

namespace k32::test {
namespace {

TEST(PgTestServer, StartsServesAndLeavesNothingBehind) {
    std::string folder;
    {
        PgTestServer server;
        if (!server.SkipReason().empty())
            GTEST_SKIP() << server.SkipReason();
        ASSERT_TRUE(server.Running()) << server.Problem();
        folder = server.Folder();
        EXPECT_TRUE(std::filesystem::exists(folder + "/.s.PGSQL.5432"));
        const std::string conninfo = server.CreateDatabase("first");
        ASSERT_FALSE(conninfo.empty()) << server.Problem();
        EXPECT_EQ(conninfo.rfind("postgresql://", 0), 0u) << conninfo;
        // A second database with the same name is refused: the server really answered.
        EXPECT_TRUE(server.CreateDatabase("first").empty());
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
}  // namespace k32::test
