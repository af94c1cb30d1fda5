// vexorin-cli speaks the user's language on stderr: English or Chinese as the
// locale asks, and exactly as written under the C locale, which scripts use.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vex::test
