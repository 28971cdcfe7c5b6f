// Reports that replace their previous versions together or not at all, under temporary names
// nobody can plant a link at, and links at the reports' own names replaced, never followed.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "text/Errors.h"
#include "text/FileJournal.h"
#include "text/LineWriter.h"
#include "text/PendingFiles.h"
#include "text/TemporaryFiles.h"

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

namespace {

// A finished temporary file for `target` whose writer is gone (killed after finishing it): the
// file stays, and nobody holds it.
std::string LeftByAKilledWriter(const std::string& target, const std::string& content) {
    LineWriter out(target, LineWriter::Mode::Replace);
    out.WriteLine(content);
    FinishedFile f = out.Finish();
    f.lock.Reset();
    return f.temporary;
}

}  // namespace

// What the files belong with (a database transaction) commits before any target changes, and
// a commit that fails leaves the targets, and no journal and no temporary file.
TEST(PendingFiles, TheLastStepCommitsBeforeAnyTargetChanges) {
    for (bool commitFails : {false, true}) {
        SCOPED_TRACE(commitFails ? "commit fails" : "commit succeeds");
        TempDir dir;
        WriteFile(dir / "r.csv", "old csv\r\n");
        const std::string journal = JournalPathOf(dir / "r");
        bool sawOld = false;
        {
            PendingFiles pending;
            Stage(pending, dir / "r.csv", "new csv");
            Stage(pending, dir / "r.mht", "new mht");
            pending.SetJournal(journal, {{"store", "h.sqlite"}});
            auto commit = [&] {
                sawOld = ReadFile(dir / "r.csv") == "old csv\r\n" && !fs::exists(dir / "r.mht") &&
                         fs::exists(journal);
                if (commitFails)
                    throw KestramaError(ErrorKind::InputOutput, "disk full", "h.sqlite");
            };
            if (commitFails)
                EXPECT_THROW(pending.CommitAll(commit), KestramaError);
            else
                pending.CommitAll(commit);
        }
        EXPECT_TRUE(sawOld);
        EXPECT_EQ(ReadFile(dir / "r.csv"), commitFails ? "old csv\r\n" : "new csv\r\n");
        const std::set<std::string> left =
            commitFails ? std::set<std::string>{"r.csv"} : std::set<std::string>{"r.csv", "r.mht"};
        EXPECT_EQ(FolderEntries(dir.path()), left);
    }
}

// A run killed while its files replaced the previous ones: the next run finishes the commit
// when its record got in (or there was none to get in), and removes the new files otherwise.
TEST(PendingFiles, TheNextRunFinishesOrUndoesAKilledCommit) {
    enum class Left { BothTemporaries, OneAlreadyInPlace };
    struct Case {
        const char* name;
        bool withFacts, recorded;
        Left left;
        Recovery want;
    };
    const Case cases[] = {
        {"reports only", false, false, Left::BothTemporaries, Recovery::Finished},
        {"record in", true, true, Left::BothTemporaries, Recovery::Finished},
        {"record in, killed between renames", true, true, Left::OneAlreadyInPlace,
         Recovery::Finished},
        {"record not in", true, false, Left::BothTemporaries, Recovery::Undone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "r.csv", "old csv\r\n");
        WriteFile(dir / "r.mht", "old mht\r\n");
        const std::vector<std::string> targets = {dir / "r.csv", dir / "r.mht"};
        FileJournal j;
        if (c.withFacts)
            j.facts = {{"run-id", "7"}};
        j.files = {{LeftByAKilledWriter(dir / "r.csv", "new csv"), dir / "r.csv"},
                   {LeftByAKilledWriter(dir / "r.mht", "new mht"), dir / "r.mht"}};
        const std::string journal = JournalPathOf(dir / "r");
        WriteJournal(journal, j);
        if (c.left == Left::OneAlreadyInPlace)
            fs::rename(j.files[0].temporary, j.files[0].target);
        bool asked = false;
        const Recovery done = RecoverFiles(journal, targets, [&](const FileJournal& found) {
            asked = true;
            EXPECT_EQ(found.Fact("run-id"), "7");
            return c.recorded;
        });
        EXPECT_EQ(done, c.want);
        EXPECT_EQ(asked, c.withFacts);
        const bool finished = c.want == Recovery::Finished;
        EXPECT_EQ(ReadFile(dir / "r.csv"), finished ? "new csv\r\n" : "old csv\r\n");
        EXPECT_EQ(ReadFile(dir / "r.mht"), finished ? "new mht\r\n" : "old mht\r\n");
        EXPECT_EQ(FolderEntries(dir.path()), (std::set<std::string>{"r.csv", "r.mht"}));
        EXPECT_EQ(RecoverFiles(journal, targets, {}), Recovery::None);
    }
}

// A journal is followed only when it is whole and moves temporary files of the reports onto
// the reports: one that names other files, or is cut short, changes nothing.
TEST(PendingFiles, AJournalThatIsNotWholeOrNamesOtherFilesIsNotFollowed) {
    TempDir dir;
    WriteFile(dir / "r.csv", "old csv\r\n");
    WriteFile(dir / "victim", "someone else's file\n");
    const std::string journal = JournalPathOf(dir / "r");
    const std::string temporary = LeftByAKilledWriter(dir / "r.csv", "new csv");
    struct Case {
        const char* name;
        FileJournal::File file;
        bool cut;
    };
    const Case cases[] = {
        {"another target", {temporary, dir / "victim"}, false},
        {"another source", {dir / "victim", dir / "r.csv"}, false},
        {"cut short", {temporary, dir / "r.csv"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteJournal(journal, FileJournal{{}, {c.file}, true});
        if (c.cut) {
            const std::string text = ReadFile(journal);
            WriteFile(journal, text.substr(0, text.size() - 4));
        }
        EXPECT_EQ(RecoverFiles(journal, {dir / "r.csv", dir / "r.mht"}, {}), Recovery::Unreadable);
        EXPECT_EQ(ReadFile(dir / "r.csv"), "old csv\r\n");
        EXPECT_EQ(ReadFile(dir / "victim"), "someone else's file\n");
        EXPECT_TRUE(fs::exists(temporary));
        EXPECT_FALSE(fs::exists(journal));
    }
}

// The temporary files that killed writers left are removed; those of live writers (still
// writing, or finished and waiting for their commit) and those of other targets are kept.
TEST(TemporaryFiles, OnlyThoseWhoseWriterIsGoneAreRemoved) {
    TempDir dir;
    const std::string stale = LeftByAKilledWriter(dir / "r.csv", "killed");
    const std::string otherTarget = LeftByAKilledWriter(dir / "other.csv", "not ours");
    LineWriter writing(dir / "r.mht", LineWriter::Mode::Replace);
    writing.WriteLine("still writing");
    PendingFiles waiting;
    Stage(waiting, dir / "r.csv", "finished, not yet committed");
    // Earlier versions named their temporary files without the target: one untouched for an
    // hour is stale, a fresh one may still be written.
    const std::string oldStale = dir / ".kestrama32-0123456789abcdef.tmp";
    const std::string oldFresh = dir / ".kestrama32-fedcba9876543210.tmp";
    WriteFile(oldStale, "left by an earlier version");
    WriteFile(oldFresh, "being written by an earlier version");
    const auto twoHoursAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(oldStale, twoHoursAgo);
    const std::set<std::string> before = FolderEntries(dir.path());
    ASSERT_EQ(before.size(), 6u);

    std::vector<std::string> removed = RemoveStaleTemporaries({dir / "r.csv", dir / "r.mht"});
    std::sort(removed.begin(), removed.end());
    std::vector<std::string> want = {stale, oldStale};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(removed, want);
    std::set<std::string> after = before;
    after.erase(fs::path(stale).filename());
    after.erase(fs::path(oldStale).filename());
    EXPECT_EQ(FolderEntries(dir.path()), after);
    EXPECT_TRUE(fs::exists(otherTarget));
    writing.Commit();
    waiting.CommitAll();
    EXPECT_EQ(ReadFile(dir / "r.csv"), "finished, not yet committed\r\n");
}
