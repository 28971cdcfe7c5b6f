// Reports that replace their previous versions together or not at all, under temporary names
// nobody can plant a link at, and links at the reports' own names replaced, never followed.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "text/Errors.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename());
    return names;
}

// Hands a finished file with `content` for `target` to `pending`.
void Stage(PendingFiles& pending, const std::string& target, const std::string& content) {
    LineWriter out(target, LineWriter::Mode::Replace);
    out.WriteLine(content);
    pending.Add(out.Finish());
}

}  // namespace

TEST(PendingFiles, ReplacesEveryTargetAndThenRunsTheActions) {
    TempDir dir;
    WriteFile(dir / "r.csv", "old csv\r\n");
    bool shown = false;
    {
        PendingFiles pending;
        Stage(pending, dir / "r.csv", "new csv");
        Stage(pending, dir / "r.mht", "new mht");
        pending.AfterCommit([&] { shown = ReadFile(dir / "r.mht") == "new mht\r\n"; });
        EXPECT_EQ(ReadFile(dir / "r.csv"), "old csv\r\n");
        pending.CommitAll();
    }
    EXPECT_TRUE(shown);
    EXPECT_EQ(ReadFile(dir / "r.csv"), "new csv\r\n");
    EXPECT_EQ(FolderEntries(dir.path()), (std::set<std::string>{"r.csv", "r.mht"}));
}

TEST(PendingFiles, AFailingTargetLeavesEveryTargetAsItWas) {
    // The second target's name is taken by a folder, so it cannot be replaced; the first target
    // gets its previous content back, or is removed again when it had none.
    struct Case {
        const char* name;
        bool csvExisted;
    };
    for (const Case& c : {Case{"previous csv", true}, Case{"no previous csv", false}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.csvExisted)
            WriteFile(dir / "r.csv", "old csv\r\n");
        fs::create_directory(dir / "r.mht");
        bool shown = false;
        {
            PendingFiles pending;
            Stage(pending, dir / "r.csv", "new csv");
            Stage(pending, dir / "r.mht", "new mht");
            pending.AfterCommit([&] { shown = true; });
            try {
                pending.CommitAll();
                ADD_FAILURE() << "no error";
            } catch (const KestramaError& e) {
                EXPECT_EQ(e.kind, ErrorKind::InputOutput);
                EXPECT_EQ(e.where, dir / "r.mht");
            }
        }
        EXPECT_FALSE(shown);
        EXPECT_TRUE(fs::is_directory(dir / "r.mht"));
        if (c.csvExisted) {
            EXPECT_EQ(ReadFile(dir / "r.csv"), "old csv\r\n");
            EXPECT_EQ(FolderEntries(dir.path()), (std::set<std::string>{"r.csv", "r.mht"}));
        } else {
            EXPECT_EQ(FolderEntries(dir.path()), std::set<std::string>{"r.mht"});
        }
    }
}

TEST(PendingFiles, ASetNeverCommittedLeavesNoTemporary) {
    TempDir dir;
    WriteFile(dir / "r.csv", "old csv\r\n");
    {
        PendingFiles pending;
        Stage(pending, dir / "r.csv", "new csv");
        Stage(pending, dir / "r.mht", "new mht");
    }
    EXPECT_EQ(ReadFile(dir / "r.csv"), "old csv\r\n");
    EXPECT_EQ(FolderEntries(dir.path()), std::set<std::string>{"r.csv"});
}

TEST(PendingFiles, LinksAtTheTargetsAreReplacedNotFollowed) {
    TempDir dir;
    WriteFile(dir / "victim", "someone else's file\n");
    fs::create_symlink(dir / "victim", dir / "r.csv");
    fs::create_symlink(dir / "victim", dir / "r.mht");
    {
        PendingFiles pending;
        Stage(pending, dir / "r.csv", "new csv");
        pending.CommitAll();
    }
    LineWriter single(dir / "r.mht", LineWriter::Mode::Replace);
    single.WriteLine("new mht");
    single.Commit();
    EXPECT_EQ(ReadFile(dir / "victim"), "someone else's file\n");
    for (const char* name : {"r.csv", "r.mht"}) {
        EXPECT_FALSE(fs::is_symlink(dir / name)) << name;
    }
    EXPECT_EQ(ReadFile(dir / "r.mht"), "new mht\r\n");
}

TEST(PendingFiles, TemporaryNamesDifferEveryTimeAndStayBesideTheTarget) {
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        const std::string name = TemporaryNameBeside(dir / "report.csv");
        EXPECT_EQ(fs::path(name).parent_path(), fs::path(dir.path()));
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
}
