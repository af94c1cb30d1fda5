// vexorin-cli speaks the user's language on stderr: English or Chinese as the
// locale asks, and exactly as written under the C locale, which scripts use.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/robustness/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

struct LocaleCase {
    std::vector<std::string> environment;
    std::string missingEntry;  // what `results delete` says of a path it does not list
    std::string duplicate;     // the first line of a refused duplicate confirm
};

TEST(CliLocale, messagesFollowTheLocaleAndStayAsWrittenUnderC) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "results");
    // Each case clears the variables the others set, whatever the test's own environment holds.
    const std::vector<std::string> clean = {"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG="};
    auto with = [&](const std::vector<std::string>& set) {
        std::vector<std::string> environment = set;
        for (const std::string& empty : clean) {
            const std::string name = empty.substr(0, empty.find('=') + 1);
            bool given = false;
            for (const std::string& entry : set) given = given || entry.starts_with(name);
            if (!given) environment.push_back(empty);
        }
        return environment;
    };
    const LocaleCase cases[] = {
        {with({"LANG=en_US.UTF-8"}), "no entry for '/x'", "This signature value exists already!"},
        {with({"LANG=zh_CN.UTF-8"}), "没有“/x”这一项", "特征值存在！"},
        {with({"LANG=C"}), "no entry for '/x'", "特征值存在！"},
        {with({}), "no entry for '/x'", "特征值存在！"},
        // LC_ALL wins over LANG; LANGUAGE picks the language unless the locale is C.
        {with({"LANG=en_US.UTF-8", "LC_ALL=zh_CN.UTF-8"}), "没有“/x”这一项", "特征值存在！"},
        {with({"LANG=zh_CN.UTF-8", "LANGUAGE=en_GB:zh"}), "no entry for '/x'",
         "This signature value exists already!"},
        {with({"LANG=C", "LANGUAGE=zh_CN"}), "no entry for '/x'", "特征值存在！"},
    };
    for (const LocaleCase& c : cases) {
        std::string where;
        for (const std::string& e : c.environment) where += e + " ";
        SCOPED_TRACE(where);
        TempDir data;
        const ChildResult missing =
            runCli(data.path(), {"results", "delete", "/x"}, {.environment = c.environment});
        EXPECT_NE(missing.err.find(c.missingEntry), std::string::npos) << describe(missing);

        ASSERT_EQ(runCli(data.path(), {"confirm", "FFD8FF", "jpg"}, {.environment = c.environment}).exitCode,
                  0);
        const ChildResult again =
            runCli(data.path(), {"confirm", "FFD8FF", "jpg"}, {.environment = c.environment});
        EXPECT_EQ(again.err.substr(0, again.err.find('\n')), c.duplicate) << describe(again);
        // The stored type is data: the listing is the same in every language.
        const ChildResult listing = runCli(data.path(), {"library"}, {.environment = c.environment});
        EXPECT_NE(listing.out.find("jpg\tFFD8FF"), std::string::npos) << describe(listing);
    }
}

// Every description in every command's help has its Chinese text: a new option
// whose help is not in the catalogue shows up here as a line without Chinese.
TEST(CliLocale, everyHelpTextIsInChineseUnderAChineseLocale) {
    TempDir data;
    const std::vector<std::string> chinese = {"LANG=zh_CN.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="};
    const std::vector<std::vector<std::string>> commands = {{},
                                                            {"signature"},
                                                            {"confirm"},
                                                            {"library"},
                                                            {"library", "delete"},
                                                            {"library", "check"},
                                                            {"library", "clear"},
                                                            {"library", "export"},
                                                            {"library", "import"},
                                                            {"library", "restore"},
                                                            {"sample"},
                                                            {"experiments"},
                                                            {"experiments", "delete"},
                                                            {"identify"},
                                                            {"results"},
                                                            {"results", "clear"},
                                                            {"results", "restore"},
                                                            {"rename"}};
    for (std::vector<std::string> command : commands) {
        command.push_back("--help");
        const ChildResult help = runCli(data.path(), command, {.environment = chinese});
        ASSERT_EQ(help.exitCode, 0) << describe(help);
        std::size_t described = 0;
        for (std::size_t start = 0; start < help.out.size();) {
            const std::size_t end = std::min(help.out.find('\n', start), help.out.size());
            const std::string line = help.out.substr(start, end - start);
            start = end + 1;
            // Descriptions stand after a run of blanks; names, types and values before it.
            const std::size_t gap = line.find("   ", 2);
            if (gap == std::string::npos || line.find_first_not_of(' ', gap) == std::string::npos) continue;
            ++described;
            const std::string text = line.substr(line.find_first_not_of(' ', gap));
            EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }))
                << "untranslated help in '" << command.front() << "': " << line;
        }
        EXPECT_GT(described, 0u) << describe(help);
    }
}

// The parser's own complaints follow the language too, and stay as written under C.
TEST(CliLocale, malformedCommandsAreExplainedInTheUsersLanguage) {
    TempDir data;
    const std::vector<std::string> chinese = {"LANG=zh_CN.UTF-8", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="};
    const std::vector<std::string> c = {"LANG=C", "LANGUAGE=", "LC_ALL=", "LC_MESSAGES="};
    struct Case {
        std::vector<std::string> args;
        std::string chinese, asWritten;
    };
    const Case cases[] = {
        {{}, "需要一个子命令", "A subcommand is required"},
        {{"confirm"}, "缺少 SIGNATURE", "SIGNATURE is required"},
        {{"rename", "--all", "x"}, "不能与", "PATH excludes --all"},
        {{"--format", "xml", "results"}, "不在 {tsv,csv,json,jsonl} 之中", "--format: xml not in"},
        {{"identify", "--min-digits", "99", "x"}, "不在 4 到 20 的范围内", "not in range 4 to 20"},
        {{"identify", "a", "--bogus", "--x"}, "以下参数不应出现：", "were not expected: "},
    };
    for (const Case& bad : cases) {
        const ChildResult inChinese = runCli(data.path(), bad.args, {.environment = chinese});
        EXPECT_EQ(inChinese.exitCode, 1) << describe(inChinese);
        EXPECT_NE(inChinese.err.substr(0, inChinese.err.find('\n')).find(bad.chinese), std::string::npos)
            << describe(inChinese);
        const ChildResult plain = runCli(data.path(), bad.args, {.environment = c});
        EXPECT_NE(plain.err.substr(0, plain.err.find('\n')).find(bad.asWritten), std::string::npos)
            << describe(plain);
    }
}

}  // namespace
}  // namespace vex::test
