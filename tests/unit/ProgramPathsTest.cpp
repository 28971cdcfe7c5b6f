// Where kestrama32 looks for the window program and where the window program looks for the
// manual, in fake trees laid out as the build tree and as an installed tree.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "app/ProgramPaths.h"

namespace k32::test {
namespace {

namespace fs = std::filesystem;

// An installed tree under a temporary prefix, with the configured install folders.
struct InstalledTree {
    TempDir prefix;
    const std::string bin = prefix / KESTRAMA_INSTALL_BINDIR;
    const std::string window = prefix / KESTRAMA_INSTALL_LIBEXECDIR "/kestrama32";
    const std::string data = prefix / KESTRAMA_INSTALL_DATADIR "/kestrama32";
    InstalledTree() {
        for (const std::string& folder : {bin, window, data})
            fs::create_directories(folder);
    }
};

void MakeFile(const std::string& path, mode_t mode) {
    WriteFile(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), mode);
}

enum class Beside { None, Program, NotExecutable, Folder };

struct WindowCase {
    const char* name;
    Beside beside;
    bool installed;
    bool expectBeside;  // else the installed path
    int expectError;
};

class FindWindowProgramTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(FindWindowProgramTest, TakesTheFirstThatExistsAndSaysWhyItCannotStart) {
    const WindowCase& c = GetParam();
    InstalledTree tree;
    const std::string beside = tree.bin + "/" + kWindowProgramName;
    const std::string installed = tree.window + "/" + kWindowProgramName;
    switch (c.beside) {
        case Beside::None:
            break;
        case Beside::Program:
            MakeFile(beside, 0755);
            break;
        case Beside::NotExecutable:
            MakeFile(beside, 0644);
            break;
        case Beside::Folder:
            fs::create_directories(beside);
            break;
    }
    if (c.installed)
        MakeFile(installed, 0755);
    const WindowProgram found = FindWindowProgram(tree.bin);
    EXPECT_EQ(found.path, c.expectBeside ? beside : installed);
    EXPECT_EQ(found.error, c.expectError);
}

INSTANTIATE_TEST_SUITE_P(Cases, FindWindowProgramTest,
                         ::testing::Values(
                             // The build tree: both programs in one folder.
                             WindowCase{"BesideTheProgram", Beside::Program, false, true, 0},
                             WindowCase{"InstalledOnly", Beside::None, true, false, 0},
                             // Nothing anywhere: the installed place is named as the missing one.
                             WindowCase{"Missing", Beside::None, false, false, ENOENT},
                             // A broken part is reported, not passed over for another one.
                             WindowCase{"BesideNotExecutable", Beside::NotExecutable, true, true,
                                        EACCES},
                             WindowCase{"BesideIsAFolder", Beside::Folder, true, true, EACCES}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WindowProgramCandidates, AreNormalisedBesideThenInstalled) {
    const auto candidates = WindowProgramCandidates("/opt/k/" KESTRAMA_INSTALL_BINDIR);
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], "/opt/k/" KESTRAMA_INSTALL_BINDIR "/kestrama32-window");
    EXPECT_EQ(candidates[1], "/opt/k/" KESTRAMA_INSTALL_LIBEXECDIR "/kestrama32/kestrama32-window");
}

TEST(WindowProgramFolder, IsTheHandedOverAbsoluteFolderElseItsOwn) {
    struct Case {
        const char* handed;  // nullptr: not set
        const char* expect;
    };
    for (const Case& c : {Case{nullptr, "/own"}, Case{"/usr/bin", "/usr/bin"}, Case{"", "/own"},
                          Case{"relative/bin", "/own"}}) {
        if (c.handed)
            ::setenv(kProgramFolderVariable, c.handed, 1);
        else
            ::unsetenv(kProgramFolderVariable);
        EXPECT_EQ(WindowProgramFolder("/own"), c.expect) << (c.handed ? c.handed : "(unset)");
    }
    ::unsetenv(kProgramFolderVariable);
}

TEST(FindManual, BesideTheProgramInTheBuildTree) {
    TempDir build;
    WriteFile(build / "manual.mht", "m");
    EXPECT_EQ(FindManual(build.path(), build.path()), build / "manual.mht");
}

TEST(FindManual, InTheInstalledDataFolderWhereverTheTreeLies) {
    InstalledTree tree;
    const std::string manual = tree.data + "/manual.mht";
    WriteFile(manual, "m");
    // Started by kestrama32, which hands over its folder.
    EXPECT_EQ(FindManual(tree.bin, tree.window), manual);
    // The window program started by itself: only its own folder is known.
    EXPECT_EQ(FindManual(tree.window, tree.window), manual);
}

TEST(FindManual, BesideTheProgramComesFirst) {
    InstalledTree tree;
    WriteFile(tree.data + "/manual.mht", "installed");
    WriteFile(tree.bin + "/manual.mht", "beside");
    EXPECT_EQ(FindManual(tree.bin, tree.window), tree.bin + "/manual.mht");
}

TEST(FindManual, MissingGivesThePathBesideTheProgram) {
    InstalledTree tree;
    const auto candidates = ManualCandidates(tree.bin, tree.window);
    // The configured data folder comes last; it may hold a real installation on this machine.
    const std::string expect =
        fs::exists(candidates.back()) ? candidates.back() : tree.bin + "/manual.mht";
    EXPECT_EQ(FindManual(tree.bin, tree.window), expect);
}

}  // namespace
}  // namespace k32::test
