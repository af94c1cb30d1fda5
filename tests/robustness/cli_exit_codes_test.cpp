// Each exit code of vexorin-cli, produced by the real program in a separate process,
// as a script sees it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "tests/robustness/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

struct ExitCase {
    const char* label;
    // Prepares the folder (files in `dir`, stores in `dir`/data) and returns the command's arguments.
    std::function<std::vector<std::string>(const TempDir& dir, ChildOptions& options)> prepare;
    int expected;
};

void runOk(const TempDir& dir, const std::vector<std::string>& args) {
    const ChildResult result = runCli(dir.file("data"), args);
    ASSERT_EQ(result.exitCode, 0) << describe(result);
}

const ExitCase kExitCases[] = {
    {"done",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         return {"signature", dir.write("a.bin", "0123456789")};
     },
     0},
    {"unknown option",
     [](const TempDir&, ChildOptions&) -> std::vector<std::string> {
         return {"library", "--no-such-option"};
     },
     1},
    {"misspelt command",
     [](const TempDir&, ChildOptions&) -> std::vector<std::string> {
         return {"identfy", "x"};
     },
     1},
    {"list file unwritable",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         fs::create_directories(dir.file("data/setok.ini"));
         return {"identify", dir.write("a.bin", "0123456789")};
     },
     2},
    {"duplicate value",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         runOk(dir, {"confirm", "30313233343536373839", "bin"});
         return {"confirm", "30313233343536373839", "dat"};
     },
     3},
    {"rename target taken",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         const std::string file = dir.write("a.dat", "0123456789");
         dir.write("a.bin", "taken");
         runOk(dir, {"confirm", "30313233343536373839", "bin"});
         runOk(dir, {"identify", file});
         return {"rename", "--all"};
     },
     4},
    {"undo with an old name taken meanwhile",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         const std::string file = dir.write("a.dat", "0123456789");
         runOk(dir, {"confirm", "30313233343536373839", "bin"});
         runOk(dir, {"identify", file});
         runOk(dir, {"rename", "--all"});
         dir.write("a.dat", "newcomer");
         return {"rename", "--undo"};
     },
     4},
    {"library with conflicts",
     [](const TempDir& dir, ChildOptions&) -> std::vector<std::string> {
         runOk(dir, {"confirm", "4D5A", "exe"});
         runOk(dir, {"confirm", "4D5A90000300", "dll"});
         return {"library", "check"};
     },
     6},
    {"path holding a NUL",
     [](const TempDir& dir, ChildOptions& options) -> std::vector<std::string> {
         options.input = dir.write("a.bin", "0123456789") + std::string(1, '\0') + "x\n";
         return {"identify", "-"};
     },
     5},
    {"unreadable folder in a walk",
     [](const TempDir& dir, ChildOptions& options) -> std::vector<std::string> {
         fs::create_directories(dir.file("tree/closed"));
         dir.write("tree/a.bin", "0123456789");
         ::chmod(dir.path().c_str(), 0777);
         fs::create_directories(dir.file("data"));
         ::chmod(dir.file("data").c_str(), 0777);
         ::chmod(dir.file("tree").c_str(), 0777);
         ::chmod(dir.file("tree/closed").c_str(), 0);
         options.dropRootRights = true;
         return {"identify", "-r", dir.file("tree")};
     },
     5},
};

class CliExitCodes : public ::testing::TestWithParam<ExitCase> {};

TEST_P(CliExitCodes, tellTheScriptWhatHappened) {
    VEX_REQUIRE_CLI_COMMANDS("signature", "identify", "confirm", "rename");
    TempDir dir;
    ChildOptions options;
    const std::vector<std::string> args = GetParam().prepare(dir, options);
    const ChildResult result = runCli(dir.file("data"), args, options);
    EXPECT_EQ(result.exitCode, GetParam().expected) << describe(result);
    if (GetParam().expected != 0) {
        EXPECT_NE(result.err, "") << "a failure must say why";
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, CliExitCodes, ::testing::ValuesIn(kExitCases), [](const auto& info) {
    std::string name = info.param.label;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

}  // namespace
}  // namespace vex::test
