#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "tests/support/temp_dir.h"

namespace vex::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int code;
    std::string out;
    std::string err;
};

class ListCommands : public ::testing::Test {
protected:
    Result runCli(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--data-dir", data_});
        std::istringstream in(input);
        std::ostringstream out, err;
        const int code = run(args, in, out, err);
        return {code, out.str(), err.str()};
    }
    std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }

    test::TempDir dir_;
    std::string data_ = dir_.path();
    std::string a_ = dir_.write("a.dat", "0123456789abc");
    std::string b_ = dir_.write("b.bin", "ABCDEFGHIJ");
    std::string tiny_ = dir_.write("tiny", "xy");
};

TEST_F(ListCommands, sampleRecordsAndPrintsOnlyWhatItRecorded) {
    ASSERT_EQ(runCli({"sample", tiny_}).code, kExitDone);
    const Result result = runCli({"sample", a_, dir_.path(), b_});
    EXPECT_EQ(result.code, kExitDone) << result.err;
    EXPECT_EQ(result.out, "dat\t30313233343536373839\t" + a_ + "\nbin\t4142434445464748494A\t" + b_ + "\n");
    EXPECT_EQ(runCli({"experiments"}).out, "1\t无类型\t无法读取，文件太短\t" + tiny_ +
                                               "\n2\tdat\t30313233343536373839\t" + a_ +
                                               "\n3\tbin\t4142434445464748494A\t" + b_ + "\n");

    const Result deleted = runCli({"experiments", "delete", a_});
    EXPECT_EQ(deleted.code, kExitDone);
    EXPECT_EQ(deleted.out, "2\tdat\t30313233343536373839\t" + a_ + "\n");
    EXPECT_EQ(runCli({"experiments", "clear"}).out, "");
    EXPECT_EQ(runCli({"experiments"}).out, "");
}

TEST_F(ListCommands, identifyFromArgumentsOrStandardInput) {
    const Result direct = runCli({"identify", a_, tiny_});
    EXPECT_EQ(direct.code, kExitDone) << direct.err;
    EXPECT_EQ(direct.out,
              "未知类型\t30313233343536373839\t" + a_ + "\n未知类型\t无法读取，文件太短\t" + tiny_ + "\n");
    EXPECT_TRUE(fs::exists(data_ + "/data.mdb"));  // written out empty, as at start-up

    const Result piped = runCli({"identify", "-"}, b_ + "\r\n\n" + dir_.path() + "\n");
    EXPECT_EQ(piped.out, "未知类型\t4142434445464748494A\t" + b_ + "\n");
    EXPECT_EQ(runCli({"results"}).out,
              "1\tdat\t30313233343536373839\t" + a_ + "\t未知类型\n2\t无类型\t无法读取，文件太短\t" + tiny_ +
                  "\t未知类型\n3\tbin\t4142434445464748494A\t" + b_ + "\t未知类型\n");
}

// A path that names nothing is left out and named; a link to nothing is a file that cannot be read.
TEST_F(ListCommands, identifyLeavesOutPathsThatNameNothing) {
    const std::string missing = dir_.file("no-such-file");
    const std::string dangling = dir_.file("dangling");
    fs::create_symlink(dir_.file("nowhere"), dangling);
    const Result result = runCli({"identify", a_, missing, dangling});
    EXPECT_EQ(result.code, kExitUnreadablePaths) << result.err;
    EXPECT_NE(result.err.find("'" + missing + "' not recorded"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("'" + dangling + "' not recorded"), std::string::npos) << result.err;
    EXPECT_EQ(result.out,
              "未知类型\t30313233343536373839\t" + a_ + "\n未知类型\t无法读取，文件太短\t" + dangling + "\n");
    EXPECT_EQ(runCli({"results"}).out.find(missing), std::string::npos);
}

// Paths are normalised lexically: random absolute paths of slashes, dots and names
// come out as the filesystem library normalises them, without a slash at the end.
TEST(NormalisedPath, isTheFilesystemLibrarysLexicalNormal) {
    std::mt19937 random(20261209);
    const std::string parts[] = {"/", "/", ".", "..", "a", "b.c", "..."};
    for (int round = 0; round < 20000; ++round) {
        std::string path = "/";
        for (int n = static_cast<int>(random() % 8); n > 0; --n) path += parts[random() % std::size(parts)];
        std::string expected = std::filesystem::path(path).lexically_normal().string();
        while (expected.size() > 1 && expected.back() == '/') expected.pop_back();
        ASSERT_EQ(normalisedPath(path), expected) << path;
    }
}

TEST_F(ListCommands, jsonUsesEnglishKeys) {
    runCli({"identify", a_});
    const Result result = runCli({"--json", "results"});
    EXPECT_EQ(result.out, R"([{"index":1,"class":"dat","signature":"30313233343536373839","path":")" + a_ +
                              R"(","type":"未知类型","digits":0,"record":null,"alternatives":[]}])" + "\n");
}

TEST_F(ListCommands, resultsDeleteAndClear) {
    runCli({"identify", a_, b_});
    const Result deleted = runCli({"results", "delete", b_, "/not/listed"});
    EXPECT_EQ(deleted.code, kExitDone);
    EXPECT_EQ(deleted.out, "2\tbin\t4142434445464748494A\t" + b_ + "\t未知类型\n");
    EXPECT_NE(deleted.err.find("/not/listed"), std::string::npos);
    EXPECT_EQ(runCli({"results", "clear"}).code, kExitDone);
    EXPECT_EQ(contents(data_ + "/setok.ini"), "");
}

TEST_F(ListCommands, renamePrintsRenamedFilesAndFailsForTheRest) {
    std::ofstream(data_ + "/setok.ini")
        << "[" << a_ << "]\ntype=30313233343536373839\ntype1=jpg\n[" << b_ << "]\ntype=Y\ntype1=未知类型\n";
    const Result result = runCli({"rename", a_, b_});
    const std::string renamed = dir_.file("a.jpg");
    EXPECT_EQ(result.out, a_ + "\t" + renamed + "\n");
    EXPECT_TRUE(fs::exists(renamed));
    EXPECT_EQ(result.code, kExitDone) << result.err;  // an unknown type is skipped, not failed

    const std::string taken = dir_.write("b.gif", "taken");
    std::ofstream(data_ + "/setok.ini") << "[" << b_ << "]\ntype=4142434445464748494A\ntype1=gif\n";
    const Result refused = runCli({"rename", b_});
    EXPECT_EQ(refused.code, kExitRenameFailed);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find(b_), std::string::npos);
    EXPECT_EQ(contents(taken), "taken");
}

TEST_F(ListCommands, undoPutsTheLastRunBackAndTheListFollows) {
    std::ofstream(data_ + "/setok.ini") << "[" << a_ << "]\ntype=30313233343536373839\ntype1=jpg\n";
    ASSERT_EQ(runCli({"rename", "--all"}).code, kExitDone);
    const std::string renamed = dir_.file("a.jpg");

    const Result undone = runCli({"rename", "--undo"});
    EXPECT_EQ(undone.code, kExitDone) << undone.err;
    EXPECT_EQ(undone.out, renamed + "\t" + a_ + "\n");
    EXPECT_EQ(contents(a_), "0123456789abc");
    EXPECT_EQ(runCli({"results"}).out, "1\tdat\t30313233343536373839\t" + a_ + "\tjpg\n");

    const Result nothing = runCli({"rename", "--undo"});
    EXPECT_EQ(nothing.code, kExitDone);
    EXPECT_EQ(nothing.out, "");
    EXPECT_NE(nothing.err.find("no rename to take back"), std::string::npos) << nothing.err;
    EXPECT_EQ(runCli({"rename", "--undo", "--all"}).code, kExitUsage);
}

// Paths typed in any order and form pick the entries they name, in list order:
// the normal form of a path, or the form typed when only that is listed; the
// rest are named on standard error. Checked against the listing itself.
TEST_F(ListCommands, deleteAndRenamePickTheEntriesTypedInListOrder) {
    std::ostringstream list;
    std::vector<std::string> listed;  // list order
    for (int i = 0; i < 6; ++i) listed.push_back(dir_.write("f" + std::to_string(i) + ".dat", "0123456789"));
    listed.push_back(dir_.path() + "/./f6.dat");  // recorded as typed, before paths were normalised
    dir_.write("f6.dat", "0123456789");
    std::reverse(listed.begin(), listed.begin() + 3);  // list order is not name order
    for (const std::string& path : listed) list << "[" << path << "]\ntype=30313233343536373839\ntype1=zz\n";
    std::vector<std::string> typed;  // every form of every path, and paths not listed
    for (int i = 0; i < 6; ++i) {
        typed.push_back(dir_.file("f" + std::to_string(i) + ".dat"));
        typed.push_back(dir_.path() + "//f" + std::to_string(i) + ".dat");
    }
    typed.insert(typed.end(), {dir_.path() + "/./f6.dat", dir_.file("f6.dat"), dir_.file("none.dat")});

    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        std::ofstream(data_ + "/setok.ini") << list.str();
        std::vector<std::string> args;
        std::set<std::string> wanted;
        bool allListed = true;
        for (std::size_t n = random() % 6 + 1; n > 0; --n) {
            const std::string& path = typed[random() % typed.size()];
            args.push_back(path);
            const std::string normal = normalisedPath(path);
            const bool normalListed = std::count(listed.begin(), listed.end(), normal) > 0;
            const bool typedListed = std::count(listed.begin(), listed.end(), path) > 0;
            if (normalListed || typedListed) wanted.insert(normalListed ? normal : path);
            allListed = allListed && (normalListed || typedListed);
        }
        std::string renames, rows;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            if (!wanted.count(listed[i])) continue;
            renames += listed[i] + "\t" + listed[i].substr(0, listed[i].size() - 3) + "zz\n";
            rows += std::to_string(i + 1) + "\tdat\t30313233343536373839\t" + listed[i] + "\tzz\n";
        }
        const std::string given = ::testing::PrintToString(args);
        std::vector<std::string> preview{"rename", "--dry-run"};
        preview.insert(preview.end(), args.begin(), args.end());
        const Result previewed = runCli(preview);
        EXPECT_EQ(previewed.out, renames) << given;
        EXPECT_EQ(previewed.code, allListed ? kExitDone : kExitRenameFailed) << given << previewed.err;
        EXPECT_EQ(previewed.err.find("no entry for") != std::string::npos, !allListed) << given;

        std::vector<std::string> remove{"results", "delete"};
        remove.insert(remove.end(), args.begin(), args.end());
        const Result deleted = runCli(remove);
        EXPECT_EQ(deleted.out, rows) << given;
        EXPECT_EQ(deleted.code, kExitDone) << given;
        std::string left;
        for (std::size_t i = 0, kept = 0; i < listed.size(); ++i)
            if (!wanted.count(listed[i]))
                left += std::to_string(++kept) + "\tdat\t30313233343536373839\t" + listed[i] + "\tzz\n";
        EXPECT_EQ(runCli({"results"}).out, left) << given;
    }
}

TEST_F(ListCommands, unwritableStoreExitsWithTwo) {
    fs::create_directory(data_ + "/setok.ini");
    const Result result = runCli({"identify", a_});
    EXPECT_EQ(result.code, kExitStoreError);
    EXPECT_NE(result.err, "");
    EXPECT_EQ(runCli({"results"}).code, kExitStoreError);
}

TEST_F(ListCommands, missingArgumentsAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"sample"}, {"identify"}, {"rename"}}) {
        const Result result = runCli(args);
        EXPECT_EQ(result.code, kExitUsage);
    }
}

}  // namespace
}  // namespace vex::cli
