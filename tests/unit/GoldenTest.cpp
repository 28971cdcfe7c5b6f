// Whole reports compared with approved copies. Each folder under tests/golden/ is one case:
//   command       line 1: the log (a path below the project, "./NAME" for a file in the case's
//                 folder, or "dummy COUNT VERSION [problems]" for a log made by the dummy log
//                 writer); every further line: one more
//                 command-line parameter after /IN: and /OUT: (the options, the columns, ...)
//   expected.*    the approved reports (report.csv, later report.mht), with the output folder
//                 written as @OUT@
// Run tests/update_golden.sh to write the current output over the approved copies, then read
// the diff before committing it.
//
// Each case runs twice: through the real program, which reads these small logs in one pass, and
// through the same batch sequence in this process with the mailbox log cut into two parts read
// side by side. Both must give the approved bytes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "TestSupport.h"
#include "app/Startup.h"

namespace fs = std::filesystem;
using namespace k32;
using namespace k32::test;

namespace {

const std::string kGoldenDir = std::string(KESTRAMA_TESTS_DIR) + "/golden";
const std::string kProjectDir = std::string(KESTRAMA_TESTS_DIR) + "/..";

std::vector<std::string> Cases() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kGoldenDir))
        if (e.is_directory())
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size())
        s.replace(p, from.size(), to);
    return s;
}

enum class Way { Program, InTwoParts };

class Golden : public ::testing::TestWithParam<std::tuple<std::string, Way>> {};

TEST_P(Golden, ReportsMatchApprovedCopies) {
    const auto& [caseName, way] = GetParam();
    const std::string caseDir = kGoldenDir + "/" + caseName;
    std::istringstream command(ReadFile(caseDir + "/command"));
    std::string logSpec, line;
    std::getline(command, logSpec);
    TempDir out;
    std::string log;
    if (logSpec.rfind("dummy ", 0) == 0) {
        std::istringstream words(logSpec.substr(6));
        std::string count, version, problems;
        words >> count >> version >> problems;
        log = out / "dummy.log";
        std::vector<std::string> args = {DummyLogTool(), log, count, version};
        if (problems == "problems")
            args.push_back("--problems");
        ASSERT_EQ(RunProcess(args).exitCode, 0);
    } else if (logSpec.rfind("./", 0) == 0) {
        log = caseDir + "/" + logSpec.substr(2);
    } else {
        log = kProjectDir + "/" + logSpec;
    }
    std::vector<std::string> params = {"/IN:" + log, "/OUT:" + (out / "report")};
    while (std::getline(command, line))
        if (!line.empty())
            params.push_back(line);
    if (way == Way::Program) {
        std::vector<std::string> args = {Kestrama32()};
        args.insert(args.end(), params.begin(), params.end());
        ProcessResult r = RunProcess(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    } else {
        // The output folder stands in for the program's folder, where the debug log goes.
        AppState state;
        ASSERT_EQ(StartFromCommandLine(state, params, out.path()), StartMode::Batch);
        state.readPlan = ReadPlan{2, 1};
        ASSERT_EQ(RunBatch(state), kExitReportsWritten);
    }

    // The approved copies are written by the program's run alone.
    const bool update = way == Way::Program && std::getenv("KESTRAMA_UPDATE_GOLDEN") != nullptr;
    for (const auto& e : fs::directory_iterator(out.path())) {
        const std::string name = e.path().filename().string();
        if (name.rfind("report.", 0) != 0)
            continue;
        const std::string actual = Replace(ReadFile(e.path().string()), out.path(), "@OUT@");
        const std::string approved = caseDir + "/expected." + name.substr(7);
        if (update) {
            WriteFile(approved, actual);
            continue;
        }
        ASSERT_TRUE(fs::exists(approved)) << "no approved copy " << approved;
        EXPECT_EQ(actual, ReadFile(approved)) << "differs from " << approved;
    }
    // Every approved report was written.
    for (const auto& e : fs::directory_iterator(caseDir)) {
        const std::string name = e.path().filename().string();
        if (!update && name.rfind("expected.", 0) == 0) {
            EXPECT_TRUE(fs::exists(out / ("report." + name.substr(9)))) << "no report for " << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden,
                         ::testing::Combine(::testing::ValuesIn(Cases()),
                                            ::testing::Values(Way::Program, Way::InTwoParts)),
                         [](const auto& info) {
                             std::string n = std::get<0>(info.param);
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n + (std::get<1>(info.param) == Way::Program ? "_Program"
                                                                                 : "_InTwoParts");
                         });

}  // namespace
