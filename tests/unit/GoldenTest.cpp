// Whole reports compared with approved copies. Each folder under tests/golden/ is one case:
//   command       line 1: the log (a path below the project, "./NAME" for a file in the case's
//                 folder, or "dummy COUNT VERSION [problems]" for a log made by the dummy log
//                 writer); every further line: one more
//                 command-line parameter after /IN: and /OUT: (the options, the columns, ...)
//   expected.*    the approved reports (report.csv, later report.mht), with the output folder
//                 written as @OUT@
// Run tests/update_golden.sh to write the current output over the approved copies, then read
// the diff before committing it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"

namespace fs = std::filesystem;
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

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, ReportsMatchApprovedCopies) {
    const std::string caseDir = kGoldenDir + "/" + GetParam();
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
    std::vector<std::string> args = {Kestrama32(), "/IN:" + log, "/OUT:" + (out / "report")};
    while (std::getline(command, line))
        if (!line.empty())
            args.push_back(line);
    ProcessResult r = RunProcess(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const bool update = std::getenv("KESTRAMA_UPDATE_GOLDEN") != nullptr;
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
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(Cases()), [](const auto& info) {
    std::string n = info.param;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
});

}  // namespace
