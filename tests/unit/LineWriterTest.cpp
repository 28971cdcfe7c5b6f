// Writing text files line by line: CR LF endings, and a report that is replaced only whole.

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "TestSupport.h"
#include "text/Errors.h"
#include "text/LineWriter.h"

using namespace k32;
using namespace k32::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(LineWriter, EndsEveryLineWithCrLfAndKeepsTheBytes) {
    TempDir dir;
    for (auto mode : {LineWriter::Mode::Replace, LineWriter::Mode::Direct}) {
        LineWriter out(dir / "f.txt", mode);
        out.WriteLine("first");
        out.WriteLine("");
        out.Put("a;");
        out.Put(std::string("\xE9\0", 2));
        out.EndLine();
        out.Commit();
        EXPECT_EQ(ReadFile(dir / "f.txt"), std::string("first\r\n\r\na;\xE9\0\r\n", 15));
    }
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"f.txt"});
}

TEST(LineWriter, LargeOutputIsWrittenCompletely) {
    TempDir dir;
    std::string expected;
    {
        LineWriter out(dir / "big.txt", LineWriter::Mode::Replace);
        for (int i = 0; i < 100000; ++i) {
            std::string line = "line " + std::to_string(i);
            out.WriteLine(line);
            expected += line + "\r\n";
        }
        out.Commit();
    }
    EXPECT_EQ(ReadFile(dir / "big.txt"), expected);
}

TEST(LineWriter, AbandonedReplaceLeavesThePreviousFileAndNoTemporary) {
    TempDir dir;
    WriteFile(dir / "report.csv", "previous\r\n");
    try {
        LineWriter out(dir / "report.csv", LineWriter::Mode::Replace);
        out.WriteLine("new content");
        throw std::runtime_error("run failed part-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadFile(dir / "report.csv"), "previous\r\n");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"report.csv"});
}

TEST(LineWriter, ReplaceSwapsInTheNewFileOnlyAtCommit) {
    TempDir dir;
    WriteFile(dir / "report.csv", "previous\r\n");
    LineWriter out(dir / "report.csv", LineWriter::Mode::Replace);
    out.WriteLine("new");
    EXPECT_EQ(ReadFile(dir / "report.csv"), "previous\r\n");
    out.Commit();
    EXPECT_EQ(ReadFile(dir / "report.csv"), "new\r\n");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"report.csv"});
}

TEST(LineWriter, MissingFolderRaisesPathNotFound) {
    TempDir dir;
    for (auto mode : {LineWriter::Mode::Replace, LineWriter::Mode::Direct}) {
        try {
            LineWriter out(dir / "no/such/folder/report.csv", mode);
            FAIL() << "no error";
        } catch (const KestramaError& e) {
            EXPECT_EQ(e.kind, ErrorKind::InputOutput);
            EXPECT_STREQ(e.what(), "Path not found");
            EXPECT_EQ(e.where, dir / "no/such/folder/report.csv");
        }
    }
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(LineWriter, FailedRenameLeavesNoTemporary) {
    // The target name is taken by a folder, so the finished file cannot be put in place.
    TempDir dir;
    fs::create_directory(dir / "report.csv");
    {
        LineWriter out(dir / "report.csv", LineWriter::Mode::Replace);
        out.WriteLine("new");
        EXPECT_THROW(out.Commit(), KestramaError);
    }
    EXPECT_TRUE(fs::is_directory(dir / "report.csv"));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"report.csv"});
}

TEST(LineWriter, ANameNearTheFileNameLimitCanBeReplaced) {
    // 250 bytes is a valid file name; the report must not fail because of its temporary.
    TempDir dir;
    const std::string path = dir / std::string(250, 'n');
    LineWriter out(path, LineWriter::Mode::Replace);
    out.WriteLine("report");
    out.Commit();
    EXPECT_EQ(ReadFile(path), "report\r\n");
}
