// confirm, library, library delete and library clear, run in-process on a
// temporary data directory.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "flow/confirm.h"
#include "runtime/sqlite.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kExeValue = "4D5A9000030000000400";

struct Result {
    int exitCode;
    std::string out;
    std::string err;
};

class LibraryCommands : public ::testing::Test {
protected:
    Result run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", dir_.path()});
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::run(args, in, out, err);
        return {code, out.str(), err.str()};
    }

    test::TempDir dir_;
};

TEST_F(LibraryCommands, confirmPrintsOnlyTheStoredRow) {
    const Result first = run({"confirm", kExeValue, "exe"});
    EXPECT_EQ(first.exitCode, kExitDone) << first.err;
    EXPECT_EQ(first.out, std::string("1\texe\t") + kExeValue + "\n");
    // Printed as it is stored and listed: upper-cased.
    const Result second = run({"confirm", "ffd8ffe000104a464946", "jpg"});
    EXPECT_EQ(second.out, "2\tjpg\tFFD8FFE000104A464946\n");
    EXPECT_EQ(run({"library"}).out, first.out + second.out);
}

TEST_F(LibraryCommands, conflictingValueIsStoredWithWarningsAndCheckListsEachPairOnce) {
    ASSERT_EQ(run({"confirm", "4D5A", "exe"}).exitCode, kExitDone);
    const Result clean = run({"library", "check"});
    EXPECT_EQ(clean.exitCode, kExitDone) << clean.err;
    EXPECT_EQ(clean.out, "");

    const Result shadowing = run({"confirm", "4D5A90000300", "dll"});
    EXPECT_EQ(shadowing.exitCode, kExitDone);
    EXPECT_EQ(shadowing.out, "2\tdll\t4D5A90000300\n");
    EXPECT_THAT(shadowing.err,
                StartsWith("vexorin-cli: warning: 4D5A90000300 (dll) extends record 107 (exe, 4D5A)"));
    ASSERT_EQ(run({"confirm", "4D5A90000301", "sys"}).exitCode, kExitDone);

    const Result check = run({"library", "check"});
    EXPECT_EQ(check.exitCode, kExitConflicts);
    // 108 extends 107; 109 extends 107 and shares 11 digits with 108, the longer first.
    EXPECT_THAT(check.out, StartsWith("108\tdll\t4D5A90000300\t4\texe\textends record 107 (exe, 4D5A)"));
    EXPECT_THAT(check.out,
                HasSubstr("\n109\tsys\t4D5A90000301\t11\tdll\tshares its first 11 digits with "
                          "record 108 (dll, 4D5A90000300)\n109\tsys\t4D5A90000301\t4\texe\textends"));
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 3);
}

TEST_F(LibraryCommands, duplicateSaysSoOnTwoLinesAndExitsThree) {
    ASSERT_EQ(run({"confirm", kExeValue, "exe"}).exitCode, kExitDone);
    const Result duplicate = run({"confirm", kExeValue, "dll"});
    EXPECT_EQ(duplicate.exitCode, kExitDuplicate);
    EXPECT_EQ(duplicate.err, "特征值存在！\n请重输入其他特征值！\n");
    EXPECT_EQ(duplicate.out, "");
    EXPECT_EQ(run({"library"}).out, std::string("1\texe\t") + kExeValue + "\n");
}

TEST_F(LibraryCommands, deleteRemovesTheNamedSignaturesOnly) {
    for (const char* value : {"1111", "2222", "3333"})
        ASSERT_EQ(run({"confirm", value, "t"}).exitCode, kExitDone);
    const Result deleted = run({"library", "delete", "2222", "3333", "not-there"});
    EXPECT_EQ(deleted.exitCode, kExitDone) << deleted.err;
    EXPECT_EQ(deleted.out, "2\tt\t2222\n3\tt\t3333\n");  // the deleted rows, numbered as they were listed
    EXPECT_THAT(deleted.err, HasSubstr("not-there"));
    EXPECT_EQ(run({"library"}).out, "1\tt\t1111\n");
}

TEST_F(LibraryCommands, clearPrintsNothingAndEmptiesTheLibrary) {
    ASSERT_EQ(run({"confirm", kExeValue, "exe"}).exitCode, kExitDone);
    const Result cleared = run({"library", "clear"});
    EXPECT_EQ(cleared.exitCode, kExitDone);
    EXPECT_EQ(cleared.out, "");
    EXPECT_EQ(run({"library"}).out, "");
}

TEST_F(LibraryCommands, jsonUsesTheEnglishKeys) {
    ASSERT_EQ(run({"confirm", kExeValue, "exe"}).exitCode, kExitDone);
    EXPECT_EQ(run({"--json", "library"}).out,
              std::string(R"([{"index":1,"type":"exe","signature":")") + kExeValue + "\"}]\n");
    EXPECT_EQ(run({"--json", "library", "clear"}).out, "");
    EXPECT_EQ(run({"--json", "library"}).out, "[]\n");
}

// A pair that breaks a confirm rule is a usage error with the operation's own
// reason (the window shows the same text); the library is untouched.
TEST_F(LibraryCommands, pairBreakingAConfirmRuleIsAUsageErrorWithTheSharedReason) {
    ASSERT_EQ(run({"library"}).exitCode, kExitDone);
    const std::string before = test::readAll(dir_.file("data.mdb"));
    for (const auto& [signature, type] : std::vector<std::pair<std::string, std::string>>{
             {kExeValue, std::string(51, 'x')}, {"0x4D5A", "exe"}, {"4D5A", "未知类型"}}) {
        const Result refused = run({"confirm", signature, type});
        EXPECT_EQ(refused.exitCode, kExitUsage) << signature;
        EXPECT_EQ(refused.err, "vexorin-cli: " +
                                   AddConfirmedSignature(DataDirectory(dir_.path()), signature, type).reason +
                                   "\n");
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_EQ(test::readAll(dir_.file("data.mdb")), before);
}

TEST_F(LibraryCommands, unusableStoreIsAStoreErrorWithTheReason) {
    dir_.write("data.mdb", "not a database");
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"library"}, {"confirm", kExeValue, "exe"}, {"library", "clear"}}) {
        const Result result = run(command);
        EXPECT_EQ(result.exitCode, kExitStoreError) << command[0];
        EXPECT_THAT(result.err, StartsWith("vexorin-cli: ")) << command[0];
        EXPECT_EQ(result.out, "") << command[0];
    }
}

// Scripts match these lines: the store's reason, then which library. Every
// library command reads the library first and changes nothing when it cannot.
TEST_F(LibraryCommands, unusableStoreIsNamedInTheSameLinesByEveryCommand) {
    const std::string library = "'" + dir_.file("data.mdb") + "'";
    struct Store {
        const char* label;
        std::string sql;  // the store's content; empty: a file that is no database
        std::string reasonLine;
    };
    const Store stores[] = {
        {"noDatabase", "",
         "The database connection is not open. Reason: Cannot open the database " + library +
             ". Reason: file is not a database"},
        {"noTable", "create table other (x text); insert into other values ('kept')",
         "no such table: 文件特征值库"},
    };
    for (const Store& store : stores) {
        std::filesystem::remove(dir_.file("data.mdb"));
        if (store.sql.empty()) {
            dir_.write("data.mdb", "not a database");
        } else {
            auto db = sqlite::Database::open(dir_.file("data.mdb"), sqlite::OpenMode::ReadWriteCreate);
            ASSERT_TRUE(db && db->execute(store.sql)) << store.label;
        }
        const std::string before = test::readAll(dir_.file("data.mdb"));
        for (const std::vector<std::string>& command : {std::vector<std::string>{"library"},
                                                        {"confirm", kExeValue, "exe"},
                                                        {"confirm", "not hex", "exe"},
                                                        {"library", "delete", "1111"},
                                                        {"library", "clear"}}) {
            const Result result = run(command);
            const std::string name = std::string(store.label) + " " + command.back();
            EXPECT_EQ(result.exitCode, kExitStoreError) << name;
            EXPECT_EQ(result.err, "vexorin-cli: " + store.reasonLine +
                                      "\nvexorin-cli: cannot read the confirmed library " + library + "\n")
                << name;
            EXPECT_EQ(result.out, "") << name;
            EXPECT_EQ(test::readAll(dir_.file("data.mdb")), before) << name;
        }
    }
}

// A hand-made table that lacks the library's columns holds nothing the program
// can list: it is refused with the reason, never listed with the column names as values.
TEST_F(LibraryCommands, tableWithoutTheLibrarysColumnsIsAStoreError) {
    auto db = sqlite::Database::open(dir_.file("data.mdb"), sqlite::OpenMode::ReadWriteCreate);
    ASSERT_TRUE(
        db &&
        db->execute("create table \"文件特征值库\" (x text); insert into \"文件特征值库\" values ('a')"));
    const Result listed = run({"library"});
    EXPECT_EQ(listed.exitCode, kExitStoreError);
    EXPECT_EQ(listed.out, "");
    EXPECT_THAT(listed.err, HasSubstr("no such column"));
}

TEST_F(LibraryCommands, missingStoreIsWrittenOutFirst) {
    const Result listed = run({"library"});
    EXPECT_EQ(listed.exitCode, kExitDone) << listed.err;
    EXPECT_EQ(listed.out, "");
    EXPECT_TRUE(std::filesystem::exists(dir_.file("data.mdb")));
}

TEST_F(LibraryCommands, confirmNeedsBothTexts) {
    EXPECT_EQ(run({"confirm", kExeValue}).exitCode, kExitUsage);
    EXPECT_EQ(run({"library", "delete"}).exitCode, kExitUsage);
}

}  // namespace
}  // namespace vex::cli
