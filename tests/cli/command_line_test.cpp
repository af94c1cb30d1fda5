// The command line's shared behaviour: output formats, where options may stand,
// how paths come in (arguments, standard input, NUL-separated, folders walked)
// and the hint for a misspelt command. Run in-process on temporary folders.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "tests/support/temp_dir.h"

namespace vex::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Result {
    int code;
    std::string out;
    std::string err;
};

class CommandLine : public ::testing::Test {
protected:
    Result run(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--data-dir", data_});
        std::istringstream in(input);
        std::ostringstream out, err;
        const int code = cli::run(args, in, out, err);
        return {code, out.str(), err.str()};
    }

    test::TempDir dir_;
    std::string data_ = dir_.file("data");
    // A name with the characters CSV and JSON must quote or escape.
    std::string odd_ = dir_.write("a,\"b\".dat", "0123456789");
    std::string exe_ = dir_.write("tool.exe", std::string("MZ\x90\0\x03\0\0\0\x04\0", 10));
};

TEST_F(CommandLine, everyFormatPrintsTheSameRowsWithTheSameKeys) {
    ASSERT_EQ(run({"confirm", "30313233343536373839", "dat"}).code, kExitDone);
    ASSERT_EQ(run({"identify", odd_}).code, kExitDone);
    const std::string sig = "30313233343536373839";
    struct Case {
        std::vector<std::string> options;
        std::string expected;
    };
    const std::string quoted = "\"" + dir_.path() + "/a,\"\"b\"\".dat\"";
    const std::string jsonPath = nlohmann::json(odd_).dump();
    const Case cases[] = {
        {{}, "1\tdat\t" + sig + "\t" + odd_ + "\tdat\n"},
        {{"--header"}, "index\tclass\tsignature\tpath\ttype\n1\tdat\t" + sig + "\t" + odd_ + "\tdat\n"},
        {{"--format", "csv"},
         "index,class,signature,path,type,digits,record,alternatives\r\n1,dat," + sig + "," + quoted +
             ",dat,20,107,\r\n"},
        {{"--format", "json"},
         R"([{"index":1,"class":"dat","signature":")" + sig + R"(","path":)" + jsonPath +
             R"(,"type":"dat","digits":20,"record":107,"alternatives":[]}])"
             "\n"},
        {{"--json"},
         R"([{"index":1,"class":"dat","signature":")" + sig + R"(","path":)" + jsonPath +
             R"(,"type":"dat","digits":20,"record":107,"alternatives":[]}])"
             "\n"},
        {{"--format", "jsonl"},
         R"({"index":1,"class":"dat","signature":")" + sig + R"(","path":)" + jsonPath +
             R"(,"type":"dat","digits":20,"record":107,"alternatives":[]})"
             "\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> before = c.options, after{"results"};
        before.push_back("results");
        after.insert(after.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(run(before).out, c.expected) << c.options.front();
        EXPECT_EQ(run(after).out, c.expected) << "after the command: " << c.options.front();
    }
    // An empty listing is still one valid document in JSON, and only the header in CSV.
    ASSERT_EQ(run({"results", "clear"}).code, kExitDone);
    EXPECT_EQ(run({"--json", "results"}).out, "[]\n");
    EXPECT_EQ(run({"--format", "jsonl", "results"}).out, "");
    EXPECT_EQ(run({"--format", "csv", "results"}).out,
              "index,class,signature,path,type,digits,record,alternatives\r\n");
}

TEST_F(CommandLine, typeAndClassAreNeverConfused) {
    ASSERT_EQ(run({"confirm", "4D5A9000030000000400", "program"}).code, kExitDone);
    const auto keysOf = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "--json");
        const nlohmann::ordered_json rows = nlohmann::ordered_json::parse(run(args).out);
        std::vector<std::string> keys;
        for (const auto& [key, value] : rows.at(0).items()) keys.push_back(key + "=" + value.dump());
        return keys;
    };
    EXPECT_THAT(keysOf({"library"}),
                ::testing::ElementsAre("index=1", "type=\"program\"", "signature=\"4D5A9000030000000400\""));
    EXPECT_THAT(keysOf({"identify", exe_}), ::testing::Contains("type=\"program\""));
    EXPECT_THAT(keysOf({"results"}), ::testing::IsSupersetOf({"class=\"exe\"", "type=\"program\""}));
}

TEST_F(CommandLine, misspeltCommandNamesTheNearestOne) {
    const std::pair<std::string, std::string> cases[] = {
        {"identfy", "did you mean 'identify'?"},
        {"libary", "did you mean 'library'?"},
        {"result", "did you mean 'results'?"},
        {"Sample", "did you mean 'sample'?"},
    };
    for (const auto& [word, hint] : cases) {
        const Result result = run({"-q", word, "x"});
        EXPECT_EQ(result.code, kExitUsage) << word;
        EXPECT_THAT(result.err, HasSubstr("'" + word + "' is not a command; " + hint));
    }
    const Result unrelated = run({"photosynthesis"});
    EXPECT_EQ(unrelated.code, kExitUsage);
    EXPECT_THAT(unrelated.err, ::testing::Not(HasSubstr("did you mean")));
}

TEST_F(CommandLine, pathsComeFromStandardInputByLineOrByNul) {
    const std::string withBreak = dir_.write("line\nbreak", "0123456789");
    struct Case {
        const char* label;
        std::vector<std::string> args;
        std::string input;
        std::vector<std::string> printed;  // the paths the command took, in order
        int code;
    };
    const Case cases[] = {
        {"lines", {"signature", "-"}, odd_ + "\r\n\n" + exe_ + "\n", {odd_, exe_}, kExitDone},
        {"nul", {"signature", "-0", "-"}, withBreak + '\0' + exe_ + '\0', {withBreak, exe_}, kExitDone},
        {"nul without -0",
         {"signature", "-"},
         odd_ + '\0' + exe_ + "\n" + exe_ + "\n",
         {exe_},
         kExitUnreadablePaths},
        {"mixed with arguments", {"signature", odd_, "-"}, exe_ + "\n", {odd_, exe_}, kExitDone},
    };
    for (const Case& c : cases) {
        const Result result = run(c.args, c.input);
        EXPECT_EQ(result.code, c.code) << c.label << ": " << result.err;
        std::vector<std::string> printed;
        for (const auto& row : nlohmann::json::parse(run(
                                                         [&] {
                                                             auto args = c.args;
                                                             args.insert(args.begin(), "--json");
                                                             return args;
                                                         }(),
                                                         c.input)
                                                         .out))
            printed.push_back(row.at("path"));
        EXPECT_EQ(printed, c.printed) << c.label;
    }
}

TEST_F(CommandLine, aNulInAPathIsNeverStored) {
    const Result result = run({"identify", "-"}, exe_ + std::string(1, '\0') + "tail\n");
    EXPECT_EQ(result.code, kExitUnreadablePaths);
    EXPECT_THAT(result.err, HasSubstr("NUL"));
    EXPECT_EQ(run({"results"}).out, "");
    const Result sampled = run({"sample", "-0", "-"}, exe_ + std::string(1, '\0'));
    EXPECT_EQ(sampled.code, kExitDone) << sampled.err;
    EXPECT_EQ(run({"experiments"}).out, "1\texe\t4D5A9000030000000400\t" + exe_ + "\n");
}

TEST_F(CommandLine, recursiveWalkTakesRegularFilesOnlyAndNamesUnreadableFolders) {
    test::TempDir tree;
    const std::string top = tree.write("b.bin", "0123456789");
    fs::create_directories(tree.file("a/deep"));
    const std::string deep = tree.write("a/deep/x.bin", "0123456789");
    const std::string inA = tree.write("a/z.bin", "0123456789");
    fs::create_symlink(tree.path(), tree.file("a/loop"));       // a link to a folder: not followed
    fs::create_symlink(top, tree.file("a/link-to-file.bin"));   // a link to a file: taken as the file
    ASSERT_EQ(::mkfifo(tree.file("a/fifo").c_str(), 0600), 0);  // not a regular file
    fs::create_directories(tree.file("closed"));
    tree.write("closed/hidden.bin", "0123456789");
    fs::permissions(tree.file("closed"), fs::perms::none);
    const bool canCloseFolders = ::geteuid() != 0;

    const Result result = run({"--json", "identify", "-r", tree.path()});
    fs::permissions(tree.file("closed"), fs::perms::owner_all);
    std::vector<std::string> paths;
    for (const auto& row : nlohmann::json::parse(result.out)) paths.push_back(row.at("path"));
    // A folder's files in name order, then its folders.
    std::vector<std::string> expected{top, tree.file("a/link-to-file.bin"), inA, deep};
    if (!canCloseFolders) expected.push_back(tree.file("closed/hidden.bin"));
    EXPECT_EQ(paths, expected);
    if (canCloseFolders) {
        EXPECT_EQ(result.code, kExitUnreadablePaths);
        EXPECT_THAT(result.err, HasSubstr("'" + tree.file("closed") + "'"));
    }
    // Without -r a folder is left out, as a dropped folder is.
    EXPECT_EQ(run({"identify", tree.path()}).out, "");
}

TEST_F(CommandLine, dryRunIdentifiesWithoutRecording) {
    ASSERT_EQ(run({"identify", odd_}).code, kExitDone);
    const std::string before = run({"results"}).out;
    const Result dry = run({"identify", "--dry-run", exe_});
    EXPECT_EQ(dry.code, kExitDone);
    EXPECT_EQ(dry.out, "未知类型\t4D5A9000030000000400\t" + exe_ + "\n");
    EXPECT_EQ(run({"results"}).out, before);
}

TEST_F(CommandLine, renameTakesPathsOrAllButNotBoth) {
    ASSERT_EQ(run({"confirm", "4D5A9000030000000400", "bin"}).code, kExitDone);
    ASSERT_EQ(run({"identify", exe_}).code, kExitDone);
    EXPECT_EQ(run({"rename"}).code, kExitUsage);
    EXPECT_EQ(run({"rename", "--all", exe_}).code, kExitUsage);
    const Result all = run({"rename", "--all"});
    EXPECT_EQ(all.code, kExitDone) << all.err;
    EXPECT_EQ(all.out, exe_ + "\t" + dir_.file("tool.bin") + "\n");
}

TEST_F(CommandLine, helpAndVersionWorkOnEveryCommand) {
    for (const char* command :
         {"signature", "sample", "experiments", "confirm", "library", "identify", "results", "rename"}) {
        const Result help = run({command, "--help"});
        EXPECT_EQ(help.code, kExitDone) << command;
        EXPECT_THAT(help.out, HasSubstr(command));
    }
    const Result version = run({"--version"});
    EXPECT_EQ(version.code, kExitDone);
    EXPECT_THAT(version.out, ::testing::StartsWith("vexorin-cli "));
    EXPECT_EQ(run({"--format", "xml", "library"}).code, kExitUsage);
}

}  // namespace
}  // namespace vex::cli
