#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace vex::cli {
namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result runCli(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = run(args, in, out, err);
    return {code, out.str(), err.str()};
}

TEST(Cli, signaturePrintsValueClassAndTrimmedPathPerFile) {
    test::TempDir dir;
    const auto exe = dir.write("tool.exe", std::string("MZ\x90\0\x03\0\0\0\x04\0rest", 14));
    const auto tiny = dir.write("tiny", "abc");
    const Result result = runCli({"signature", exe, " " + tiny + " "});
    EXPECT_EQ(result.code, kExitDone);
    EXPECT_EQ(result.out,
              "4D5A9000030000000400\texe\t" + exe + "\n无法读取，文件太短\t无类型\t" + tiny + "\n");
}

TEST(Cli, jsonPrintsOneArrayWithEnglishKeys) {
    test::TempDir dir;
    const auto file = dir.write("a.txt", "0123456789");
    const Result result = runCli({"--json", "signature", file});
    EXPECT_EQ(result.code, kExitDone);
    EXPECT_EQ(result.out, R"([{"signature":"30313233343536373839","class":"txt","path":")" + file + "\"}]\n");
}

TEST(Cli, usageErrorsExitWithOneAndShowTheUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"no-such-command"}, {"signature"}}) {
        const Result result = runCli(args);
        EXPECT_EQ(result.code, kExitUsage);
        EXPECT_NE(result.err.find("Usage:"), std::string::npos);
    }
}

TEST(Cli, helpExitsWithZero) {
    const Result result = runCli({"--help"});
    EXPECT_EQ(result.code, kExitDone);
    EXPECT_NE(result.out.find("signature"), std::string::npos);
}

}  // namespace
}  // namespace vex::cli

namespace vex::cli {
namespace {

TEST(CliDataDirectory, isCreatedWithTheEmptyStoreForCommandsThatUseIt) {
    test::TempDir dir;
    const std::string data = dir.file("nested/data");
    runCli({"--data-dir", data, "library"});
    EXPECT_TRUE(std::filesystem::is_regular_file(data + "/data.mdb"));
}

TEST(CliDataDirectory, isLeftAloneByTheSignatureCommand) {
    test::TempDir dir;
    const std::string data = dir.file("data");
    const auto file = dir.write("a.bin", "0123456789");
    EXPECT_EQ(runCli({"--data-dir", data, "signature", file}).code, kExitDone);
    EXPECT_FALSE(std::filesystem::exists(data + "/data.mdb"));
}

TEST(CliDataDirectory, thatCannotBeCreatedIsAStoreErrorWithItsReason) {
    test::TempDir dir;
    const auto blocker = dir.write("plain-file", "x");
    const Result result = runCli({"--data-dir", blocker + "/data", "library"});
    EXPECT_EQ(result.code, kExitStoreError);
    EXPECT_NE(result.err.find(blocker + "/data"), std::string::npos);
}

}  // namespace
}  // namespace vex::cli
