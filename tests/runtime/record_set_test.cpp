#include "runtime/record_set.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "runtime/database_connection.h"
#include "runtime/messages.h"
#include "runtime/sqlite.h"
#include "runtime/window_model.h"
#include "tests/support/read_only_file.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
using sqlite::DeclaredKind;

constexpr const char* kSchema =
    "create table 文件特征值库 (编号 integer primary key autoincrement,"
    " 文件类型 text(50) check(length(文件类型) <= 50), 特征值20 text(50), 特征值4 text(50));"
    "insert into 文件特征值库 values (1, 'exe', '4D5A9000030000000400', '4D5A');"
    "insert into 文件特征值库 values (2, 'jpg', 'FFD8FFE000104A464946', 'FFD8');"
    "create table 空表 (名称 text);"
    "create table kinds (flag boolean, ratio double, small single, big bigint, price money, stamp datetime,"
    " raw blob, odd guid);"
    "insert into kinds values (1, 1.5, 1.5, 5000000000, 12.5, '2024-02-29 08:05:09', x'00ff', 'g');";

class RecordSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto db = sqlite::Database::open(path_, sqlite::OpenMode::ReadWriteCreate);
        ASSERT_TRUE(db && db->execute(kSchema));
        // The record set never shows a message itself; any that appears is a fault.
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        sqlite::setDefaultBusyTimeout(100);
    }
    void TearDown() override {
        for (const std::string& shown : messages_)
            ADD_FAILURE() << "the record set showed a message; its caller decides how to show one: " << shown;
        setMessagePresenter({});
        sqlite::setDefaultBusyTimeout(sqlite::kDefaultBusyTimeoutMs);
    }

    // Connects, binds and opens the signature table, as the program does at start-up.
    void openTable() {
        ASSERT_TRUE(connection_.open(path_, "tulip")) << connection_.lastError();
        ASSERT_TRUE(records_.setConnection(&connection_));
        ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
    }

    std::vector<std::string> column(const std::string& name) {
        std::vector<std::string> values;
        for (records_.moveFirst(); !records_.isEndOfRecords(); records_.moveNext()) {
            std::string text;
            EXPECT_TRUE(records_.readFieldText(name, text));
            values.push_back(text);
        }
        return values;
    }

    std::int64_t countWhere(const std::string& condition) {
        auto db = sqlite::Database::open(path_, sqlite::OpenMode::ReadOnly);
        auto count = sqlite::Statement::prepare(*db, "select count(*) from 文件特征值库 where " + condition);
        EXPECT_TRUE(count && count->step() == sqlite::StepResult::Row);
        return std::get<std::int64_t>(count->column(0));
    }

    test::TempDir temp_;
    fs::path dir_{temp_.path()};
    std::string path_ = temp_.file("data.mdb");
    std::vector<std::string> messages_;
    DatabaseConnection connection_{0x16010010};
    RecordSet records_{0x16010011};
};

// ---- connection ----

TEST(DatabaseConnectionText, isBuiltExactly) {
    EXPECT_EQ(buildDatabaseConnectionText("/opt/vexorin/data.mdb", ""),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/opt/vexorin/data.mdb");
    EXPECT_EQ(buildDatabaseConnectionText("/opt/vexorin/data.mdb", "tulip"),
              "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/opt/vexorin/data.mdb;Jet OLEDB:Database "
              "Password=tulip;");
    EXPECT_EQ(dataSourceFromConnectionText(buildDatabaseConnectionText("/a;b/数据.mdb", "tulip")),
              "/a;b/数据.mdb");
}

TEST_F(RecordSetTest, connectToMissingFile_failsWithoutCreatingIt) {
    const std::string missing = (dir_ / "missing.mdb").string();
    EXPECT_FALSE(connection_.open(missing, "tulip"));
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_NE(connection_.lastError().find(missing), std::string::npos) << connection_.lastError();
}

TEST_F(RecordSetTest, failedReconnect_leavesTheConnectionClosed) {
    ASSERT_TRUE(connection_.open(path_, "tulip"));
    std::ofstream((dir_ / "junk.mdb").string()) << "junk";
    EXPECT_FALSE(connection_.open((dir_ / "junk.mdb").string(), "tulip"));
    EXPECT_FALSE(connection_.isOpen());
}

TEST_F(RecordSetTest, rolledBackTransaction_undoesEveryStatementInIt) {
    openTable();
    ASSERT_TRUE(connection_.beginTransaction()) << connection_.lastError();
    ASSERT_TRUE(records_.open("delete from 文件特征值库 where 编号 = 1", record_set_kind::kStatement));
    ASSERT_TRUE(records_.open("delete from 文件特征值库 where 编号 = 2", record_set_kind::kStatement));
    ASSERT_TRUE(connection_.rollbackTransaction());
    EXPECT_EQ(countWhere("1"), 2);

    ASSERT_TRUE(connection_.beginTransaction());
    ASSERT_TRUE(records_.open("delete from 文件特征值库 where 编号 = 1", record_set_kind::kStatement));
    ASSERT_TRUE(connection_.commitTransaction());
    EXPECT_EQ(countWhere("1"), 1);
    EXPECT_FALSE(connection_.commitTransaction()) << "no transaction is open any more";
}

// ---- open ----

TEST_F(RecordSetTest, openWithoutBoundConnection_failsWithAReason) {
    EXPECT_FALSE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_FALSE(records_.lastError().empty());
    EXPECT_FALSE(records_.setConnection(nullptr));
}

TEST_F(RecordSetTest, openOnAClosedConnection_keepsTheReason) {
    connection_.open((dir_ / "missing.mdb").string(), "tulip");
    ASSERT_TRUE(records_.setConnection(&connection_));
    EXPECT_FALSE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_NE(records_.lastError().find("missing.mdb"), std::string::npos) << records_.lastError();
    EXPECT_EQ(records_.recordCount(), 0);
}

TEST_F(RecordSetTest, openOnUnknownTable_keepsTheDatabaseError) {
    ASSERT_TRUE(connection_.open(path_, "tulip"));
    records_.setConnection(&connection_);
    EXPECT_FALSE(records_.open("no_such_table", record_set_kind::kTable));
    EXPECT_NE(records_.lastError().find("no_such_table"), std::string::npos) << records_.lastError();

    // A later open that succeeds leaves no stale reason behind.
    ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_EQ(records_.lastError(), "");
}

struct RefusedOpenCase {
    std::string name;
    int kind;
    Value cursorLocation;
};

class RecordSetRefusedOpenTest : public RecordSetTest,
                                 public ::testing::WithParamInterface<RefusedOpenCase> {};

TEST_P(RecordSetRefusedOpenTest, leavesTheRecordSetAsItWas) {
    openTable();
    records_.moveNext();
    EXPECT_FALSE(records_.open("空表", GetParam().kind, GetParam().cursorLocation));
    EXPECT_TRUE(records_.isOpen());
    EXPECT_EQ(records_.recordCount(), 2);
    EXPECT_EQ(records_.tableName(), "文件特征值库");
    std::string type;
    EXPECT_TRUE(records_.readFieldText("文件类型", type));
    EXPECT_EQ(type, "jpg");
    EXPECT_FALSE(records_.lastError().empty()) << "a refused argument still says why";
}

INSTANTIATE_TEST_SUITE_P(Arguments, RecordSetRefusedOpenTest,
                         ::testing::Values(RefusedOpenCase{"kindThree", 3, {}},
                                           RefusedOpenCase{"kindZero", 0, {}},
                                           RefusedOpenCase{"cursorZero", 1, std::int32_t{0}},
                                           RefusedOpenCase{"cursorFour", 2, std::int32_t{4}}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RecordSetTest, emptySource_reopensThePreviousOne) {
    openTable();
    EXPECT_TRUE(records_.open("", record_set_kind::kTable));
    EXPECT_EQ(records_.recordCount(), 2);
}

TEST_F(RecordSetTest, recordCountProperty_countsTheTable) {
    openTable();
    EXPECT_EQ(records_.readOwnProperty(RecordSet::kRecordCountProperty), Value(std::int32_t{2}));
    ASSERT_TRUE(records_.open("空表", record_set_kind::kTable));
    EXPECT_EQ(records_.readOwnProperty(RecordSet::kRecordCountProperty), Value(std::int32_t{0}));
}

TEST_F(RecordSetTest, unitsMadeFromALayout_answerTheRecordCountAsPropertyTen) {
    constexpr std::uint32_t kWindow = 0x52010077;
    WindowLayout layout;
    layout.id = kWindow;
    layout.units.push_back({.kind = UnitKind::DatabaseConnection, .id = 0x16010031, .name = "数据库连接1"});
    layout.units.push_back({.kind = UnitKind::RecordSet, .id = 0x16010032, .name = "记录集1"});
    WindowModel model;
    model.registerLayout(layout);
    ASSERT_TRUE(model.loadWindow(kWindow));
    auto& connection = model.resolveAs<DatabaseConnection>({kWindow, 0x16010031});
    auto& records = model.resolveAs<RecordSet>({kWindow, 0x16010032});
    EXPECT_EQ(model.readProperty({kWindow, 0x16010032}, 10), Value(std::int32_t{0}));
    ASSERT_TRUE(connection.open(path_, "tulip"));
    ASSERT_TRUE(records.setConnection(&connection));
    ASSERT_TRUE(records.open("文件特征值库", record_set_kind::kTable));
    EXPECT_EQ(model.readProperty({kWindow, 0x16010032}, 10), Value(std::int32_t{2}));
}

// ---- walking and reading ----

TEST_F(RecordSetTest, walksEveryRecordOnceInTableOrder) {
    openTable();
    EXPECT_EQ(column("特征值20"), (std::vector<std::string>{"4D5A9000030000000400", "FFD8FFE000104A464946"}));
    EXPECT_FALSE(records_.moveNext()) << "moving past the end fails";
}

TEST_F(RecordSetTest, readingOnAnEmptyRecordSet_failsAndEmptiesTheText) {
    ASSERT_TRUE(connection_.open(path_, "tulip"));
    records_.setConnection(&connection_);
    ASSERT_TRUE(records_.open("空表", record_set_kind::kTable));
    records_.moveFirst();
    std::string text = "old";
    EXPECT_FALSE(records_.readFieldText("名称", text));
    EXPECT_EQ(text, "");
}

struct ReadCase {
    std::string name;
    Value field;
    bool ok;
    std::string text;
};

class RecordSetReadTest : public RecordSetTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RecordSetReadTest, readsTheCurrentRecord) {
    openTable();
    std::string text = "old";
    EXPECT_EQ(records_.readFieldText(GetParam().field, text), GetParam().ok);
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Fields, RecordSetReadTest,
                         ::testing::Values(ReadCase{"byName", "文件类型", true, "exe"},
                                           ReadCase{"positionZero", std::int32_t{0}, true, "1"},
                                           ReadCase{"positionThree", std::int32_t{3}, true, "4D5A"},
                                           ReadCase{"positionPastEnd", std::int32_t{4}, false, ""},
                                           ReadCase{"negative", std::int32_t{-1}, false, ""},
                                           ReadCase{"nonInteger", 1.9, true, "exe"},
                                           ReadCase{"unknownName", "类型", false, ""},
                                           ReadCase{"otherCase", "文件类型 ", false, ""},
                                           ReadCase{"neitherTextNorNumber", true, false, "old"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RecordSetTest, declaredTypesGiveTheirTexts) {
    const test::ScopedEnv plain("LC_ALL", "C.UTF-8");  // the currency field follows the user's locale
    ASSERT_TRUE(connection_.open(path_, "tulip"));
    records_.setConnection(&connection_);
    ASSERT_TRUE(records_.open("kinds", record_set_kind::kTable));
    std::vector<std::string> texts;
    for (int i = 0; i < records_.fieldCount(); ++i) {
        std::string text;
        EXPECT_TRUE(records_.readFieldText(std::int32_t{i}, text));
        texts.push_back(text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"TRUE", "1.50000000", "1.5000", "5000000000", "12.5",
                                               "2024-02-29 08:05:09", "[BLOB]", "UN_KNOW"}));
}

struct TextCase {
    std::string name;
    DeclaredKind kind;
    sqlite::Cell cell;
    std::string text;
};

class FieldTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(FieldTextTest, convertsByDeclaredKind) {
    EXPECT_EQ(fieldText(GetParam().kind, GetParam().cell), GetParam().text);
}

using I = std::int64_t;
INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldTextTest,
    ::testing::Values(TextCase{"null", DeclaredKind::Integer, sqlite::Cell(), ""},
                      TextCase{"boolFalse", DeclaredKind::Bool, I{0}, "FALSE"},
                      TextCase{"negative", DeclaredKind::Integer, I{-7}, "-7"},
                      TextCase{"beyond32Bits", DeclaredKind::BigInt, I{2147483648}, "2147483648"},
                      TextCase{"double", DeclaredKind::Double, 1.5, "1.50000000"},
                      TextCase{"integerInDouble", DeclaredKind::Double, I{2}, "2.00000000"},
                      TextCase{"decimal", DeclaredKind::Decimal, I{5}, "5.00000000"},
                      TextCase{"single", DeclaredKind::Single, 0.1, "0.1000"},
                      TextCase{"currencyWhole", DeclaredKind::Currency, I{3}, "3"},
                      TextCase{"date", DeclaredKind::DateTime, std::string("1899-12-30"),
                               "1899-12-30 00:00:00"},
                      TextCase{"dateJulian", DeclaredKind::DateTime, 2415018.5 + 1.25, "1899-12-31 06:00:00"},
                      TextCase{"notADate", DeclaredKind::DateTime, std::string("soon"), "soon"},
                      TextCase{"textInIntegerColumn", DeclaredKind::Integer, std::string("abc"), "abc"},
                      TextCase{"expressionReal", DeclaredKind::Unspecified, 0.25, "0.25000000"},
                      TextCase{"expressionBlob", DeclaredKind::Unspecified, ByteSet{1}, "[BLOB]"}),
    [](const auto& info) { return info.param.name; });

// The decimal separator of `locale` found in `localePath`, asked in a child process: it
// ends with _exit, since glibc keeps a copy of LOCPATH that a leak checker would report.
std::string separatorInChild(const std::string& locale, const std::string& localePath) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        ::setenv("LOCPATH", localePath.c_str(), 1);
        const std::string text = decimalSeparatorOfLocale(locale);
        const bool written =
            ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed";
}

TEST(CurrencyFieldText, usesTheDecimalSeparatorOfTheLocale) {
    {
        const test::ScopedEnv plain("LC_ALL", "C.UTF-8");
        EXPECT_EQ(fieldText(DeclaredKind::Currency, 12.5), "12.5");
        EXPECT_EQ(fieldText(DeclaredKind::Currency, -0.25), "-0.25");
    }
    // A locale of our own, so the test does not depend on what the machine has installed.
    test::TempDir locales;
    EXPECT_EQ(separatorInChild("C.UTF-8", locales.path()), ".");
    EXPECT_EQ(separatorInChild("xx_NOWHERE.UTF-8", locales.path()), ".") << "a locale that is not installed";
    const std::string build =
        "localedef -i de_DE -f UTF-8 '" + locales.path() + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "localedef cannot build de_DE.UTF-8 here";
    EXPECT_EQ(separatorInChild("de_DE.UTF-8", locales.path()), ",");
}

// ---- adding and saving ----

TEST_F(RecordSetTest, addedRecord_keepsEveryWrittenFieldAndGetsAKey) {
    openTable();
    ASSERT_TRUE(records_.addNew());
    EXPECT_TRUE(records_.writeFieldText("文件类型", "png"));
    EXPECT_TRUE(records_.writeFieldText("特征值20", "89504E470D0A1A0A0000"));
    EXPECT_TRUE(records_.writeFieldText("特征值4", ""));
    EXPECT_FALSE(records_.writeFieldText("特征值21", "x"));
    ASSERT_TRUE(records_.save()) << records_.lastError();
    EXPECT_EQ(records_.recordCount(), 3);

    std::string key;
    EXPECT_TRUE(records_.readFieldText("编号", key));
    EXPECT_EQ(key, "3");
    EXPECT_EQ(countWhere("文件类型 = 'png' and 特征值20 = '89504E470D0A1A0A0000' and 特征值4 is null"), 1);
    ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_EQ(column("特征值4"), (std::vector<std::string>{"4D5A", "FFD8", ""}));
}

TEST_F(RecordSetTest, valuesWithQuotesAndSemicolons_areStoredAsGiven) {
    openTable();
    const std::string awkward = "it's \"x\"; drop table 空表; --";
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", awkward);
    ASSERT_TRUE(records_.save()) << records_.lastError();
    std::string read;
    records_.readFieldText("文件类型", read);
    EXPECT_EQ(read, awkward);
    ASSERT_TRUE(records_.open("空表", record_set_kind::kTable)) << "the other table is still there";
}

TEST_F(RecordSetTest, refusedSave_cancelsTheRecordAndKeepsTheReason) {
    openTable();
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", std::string(51, 't'));
    records_.writeFieldText("特征值20", "AAAA");
    EXPECT_FALSE(records_.save());
    EXPECT_NE(records_.lastError().find("CHECK"), std::string::npos) << records_.lastError();
    EXPECT_EQ(countWhere("特征值20 = 'AAAA'"), 0);
    EXPECT_EQ(records_.recordCount(), 2);

    // The refused record is gone; the next one saves normally.
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", "ok");
    EXPECT_TRUE(records_.save()) << records_.lastError();
    EXPECT_EQ(countWhere("文件类型 = 'ok' and 特征值20 is null"), 1);
}

TEST_F(RecordSetTest, saveWhileAnotherConnectionHoldsTheLock_failsWithinSeconds) {
    openTable();
    auto other = sqlite::Database::open(path_, sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(other && other->execute("begin immediate; insert into 空表 values ('held')"));
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", "locked");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(records_.save());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_NE(records_.lastError().find("locked"), std::string::npos) << records_.lastError();
    other->execute("rollback");
    EXPECT_EQ(countWhere("文件类型 = 'locked'"), 0);
}

TEST_F(RecordSetTest, readOnlyFile_refusesTheSaveWithItsReason) {
    test::ReadOnlyFile readOnly(path_);
    if (!readOnly.isReadOnly()) GTEST_SKIP() << "no way to make a file read-only for root here";
    openTable();
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", "x");
    EXPECT_FALSE(records_.save());
    EXPECT_NE(records_.lastError().find("readonly"), std::string::npos) << records_.lastError();
    EXPECT_EQ(countWhere("1"), 2);
}

TEST_F(RecordSetTest, changedFieldOfTheCurrentRecord_isWrittenBack) {
    openTable();
    records_.moveNext();
    ASSERT_TRUE(records_.writeFieldText("文件类型", "jpeg"));
    ASSERT_TRUE(records_.save()) << records_.lastError();
    EXPECT_EQ(countWhere("编号 = 2 and 文件类型 = 'jpeg'"), 1);
    EXPECT_EQ(countWhere("编号 = 1 and 文件类型 = 'exe'"), 1);
}

TEST_F(RecordSetTest, rowsReadBeforeAReconnect_areNotWrittenThroughTheNewConnection) {
    openTable();
    const std::string other = (dir_ / "other.mdb").string();
    fs::copy_file(path_, other);
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", "stale");
    ASSERT_TRUE(connection_.open(other, "tulip"));
    EXPECT_FALSE(records_.save());
    EXPECT_FALSE(records_.addNew());
    EXPECT_FALSE(records_.lastError().empty());
    ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_TRUE(records_.addNew()) << "after a new open the record set writes again";
}

TEST_F(RecordSetTest, reopeningCancelsAnUnsavedRecord) {
    openTable();
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("文件类型", "never");
    ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
    EXPECT_EQ(countWhere("文件类型 = 'never'"), 0);
}

// ---- statements ----

TEST_F(RecordSetTest, deleteStatement_runsAndLeavesTheRecordSetClosed) {
    openTable();
    EXPECT_TRUE(records_.open("delete from 文件特征值库 where 特征值20='4D5A9000030000000400'",
                              record_set_kind::kStatement));
    EXPECT_EQ(countWhere("1"), 1);
    EXPECT_TRUE(records_.tableName().empty());
    EXPECT_FALSE(records_.save()) << "the save that follows a delete has nothing open to save";
}

TEST_F(RecordSetTest, boundStatement_deletesOnlyTheExactValue) {
    openTable();
    ASSERT_TRUE(records_.addNew());
    records_.writeFieldText("特征值20", "A' or '1'='1");
    ASSERT_TRUE(records_.save());
    EXPECT_TRUE(records_.openStatement("delete from 文件特征值库 where 特征值20 = ?", {"A' or '1'='1"}));
    EXPECT_EQ(countWhere("1"), 2);
}

TEST_F(RecordSetTest, secondStatementInOneText_isRefusedWithAReason) {
    openTable();
    EXPECT_FALSE(records_.open("delete from 文件特征值库 where 编号 = 1; drop table 空表",
                               record_set_kind::kStatement));
    EXPECT_FALSE(records_.lastError().empty());
    EXPECT_EQ(countWhere("1"), 2);
}

TEST_F(RecordSetTest, selectStatement_isWalkedLikeATable) {
    openTable();
    ASSERT_TRUE(records_.open("select 文件类型 from 文件特征值库 order by 编号 desc",
                              record_set_kind::kStatement, std::int32_t{1}));
    EXPECT_EQ(column("文件类型"), (std::vector<std::string>{"jpg", "exe"}));
    EXPECT_FALSE(records_.addNew()) << "a statement's rows are not a table to add to";
}

}  // namespace
}  // namespace vex
