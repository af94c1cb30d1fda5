#include "runtime/external_database.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "runtime/database_backend.h"
#include "runtime/database_connection.h"
#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
using sqlite::DeclaredKind;

sqlite::Database createDatabase(const std::string& path, const std::string& script) {
    auto db = sqlite::Database::open(path, sqlite::OpenMode::ReadWriteCreate);
    EXPECT_TRUE(db);
    std::string error;
    EXPECT_TRUE(db->execute(script, &error)) << error;
    return std::move(*db);
}

constexpr const char* kSignatures =
    "create table 文件特征值库 (编号 integer primary key, 文件类型 text(50), 特征值20 text(50), 数量 "
    "integer);"
    "insert into 文件特征值库 values (1, 'exe', '4D5A9000030000000400', 7);"
    "insert into 文件特征值库 values (2, 'jpg', 'FFD8FFE000104A464946', null);"
    "insert into 文件特征值库 values (3, null, 'it''s; \"odd\"', 9);";

class ExternalDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { createDatabase(path_, kSignatures); }
    void TearDown() override { sqlite::setDefaultBusyTimeout(sqlite::kDefaultBusyTimeoutMs); }

    test::TempDir folder_;
    std::string path_ = folder_.file("data.mdb");
    ExternalDatabase unit_{0x16010001};
};

// ---- connection text ----

struct ConnectionCase {
    std::string file;
    Value user;
    Value password;
    std::string expected;
};

class ConnectionTextTest : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(ConnectionTextTest, isBuiltExactly) {
    const auto& c = GetParam();
    EXPECT_EQ(buildExternalDatabaseConnectionText(c.file, c.user, c.password), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConnectionTextTest,
    ::testing::Values(
        ConnectionCase{
            "/tools/data.mdb",
            {},
            {},
            "ODBC;DBQ=/tools/data.mdb;DefaultDir=/tools;Driver={Microsoft Access Driver (*.mdb)};FIL=MS "
            "Access;"},
        ConnectionCase{
            "data.mdb", {}, {}, "ODBC;DBQ=data.mdb;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;"},
        ConnectionCase{"data.mdb", "", "",
                       "ODBC;DBQ=data.mdb;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;"},
        ConnectionCase{
            "/a/b/data.mdb", "", "tulip",
            "ODBC;DBQ=/a/b/data.mdb;DefaultDir=/a/b;Driver={Microsoft Access Driver (*.mdb)};FIL=MS "
            "Access;PWD=tulip;"},
        ConnectionCase{"/a/data.mdb", "admin", "tulip",
                       "ODBC;DBQ=/a/data.mdb;DefaultDir=/a;Driver={Microsoft Access Driver (*.mdb)};FIL=MS "
                       "Access;UID=admin;PWD=tulip;"},
        // A backslash is an ordinary character of a file name here, not a separator.
        ConnectionCase{
            "C:\\tools\\data.mdb",
            {},
            {},
            "ODBC;DBQ=C:\\tools\\data.mdb;Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access;"},
        ConnectionCase{
            "/数据/文件.mdb",
            {},
            {},
            "ODBC;DBQ=/数据/文件.mdb;DefaultDir=/数据;Driver={Microsoft Access Driver (*.mdb)};FIL=MS "
            "Access;"}));

TEST(ConnectionTextParsing, fileNameMayHoldSemicolonsAndBraces) {
    const std::string file = "/tmp/a;b {c}/data.mdb";
    EXPECT_EQ(database_backend::databaseFileFromConnectionText(
                  buildExternalDatabaseConnectionText(file, {}, "tulip")),
              file);
    EXPECT_EQ(database_backend::databaseFileFromConnectionText("ODBC;DBQ={/x;y.mdb};PWD=z;"), "/x;y.mdb");
}

// ---- named operations ----

TEST(BackendOperations, hashIsTheSignedByteRecurrenceMasked) {
    EXPECT_EQ(database_backend::hashOperationName(""), 0u);
    EXPECT_EQ(database_backend::hashOperationName("ab"), 97u * 131u + 98u);
    // A byte above 0x7F counts as negative: 0 * 131 + (-26), then masked.
    EXPECT_EQ(database_backend::hashOperationName("\xE6"), 0x7FFFFFE6u);
    // Long names wrap around 32 bits before the mask.
    std::uint32_t h = 0;
    for (char c : std::string("ReadColByName")) h = h * 131u + static_cast<std::uint32_t>(c);
    EXPECT_EQ(database_backend::hashOperationName("ReadColByName"), h & 0x7FFFFFFFu);
}

TEST(BackendOperations, lookupIsExactByName) {
    for (const char* name :
         {"OpenDatabase", "NewOpenDatabase", "CloseDatabase", "OpenTable", "CloseTable", "IsEOF", "MoveFirst",
          "MoveNext", "ReadColByIndex", "ReadColByName", "EmptyVar"}) {
        EXPECT_NE(database_backend::findOperation(name), nullptr) << name;
    }
    EXPECT_EQ(database_backend::findOperation("opentable"), nullptr);
    EXPECT_EQ(database_backend::findOperation("OpenTabl"), nullptr);
    EXPECT_EQ(database_backend::findOperation(""), nullptr);
}

TEST_F(ExternalDatabaseTest, failedTableInitialisation_failsEveryCommandQuietly) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select * from 文件特征值库");
    ASSERT_NE(number, 0);

    database_backend::resetOperationTableForTesting(true);
    EXPECT_EQ(database_backend::findOperation("OpenTable"), nullptr);
    EXPECT_FALSE(unit_.open(path_));
    EXPECT_EQ(unit_.query("select * from 文件特征值库"), 0);
    EXPECT_TRUE(unit_.isEndOfRecords(number));
    EXPECT_EQ(unit_.readField(number, "文件类型"), Value(""));
    database_backend::resetOperationTableForTesting(false);

    // The table is back; the database opened before the failure is still there.
    EXPECT_EQ(unit_.readField(number, "文件类型"), Value("exe"));
}

// ---- open ----

TEST_F(ExternalDatabaseTest, openBuildsTheConnectionTextWithThePassword) {
    ASSERT_TRUE(unit_.open(path_, "", "tulip"));
    EXPECT_EQ(unit_.connectionText(), buildExternalDatabaseConnectionText(path_, {}, "tulip"));
}

TEST_F(ExternalDatabaseTest, failedOpen_keepsThePreviousDatabaseUsable) {
    ASSERT_TRUE(unit_.open(path_));
    const std::string missing = folder_.file("missing.mdb");
    EXPECT_FALSE(unit_.open(missing));
    EXPECT_FALSE(fs::exists(missing)) << "a failed open must never create the file";

    const auto number = unit_.query("select 文件类型 from 文件特征值库 where 编号 = 1");
    ASSERT_NE(number, 0);
    EXPECT_EQ(unit_.readField(number, 1), Value("exe"));
}

struct BadFileCase {
    std::string name;
    std::string content;  // written as the file's bytes; "<dir>" makes a directory
};

class ExternalDatabaseBadFileTest : public ExternalDatabaseTest,
                                    public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(ExternalDatabaseBadFileTest, isRefusedAtOpen) {
    const std::string bad = folder_.file("bad.mdb");
    if (GetParam().content == "<dir>") {
        fs::create_directory(bad);
    } else if (GetParam().content == "<truncated>") {
        std::ifstream in(path_, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream(bad, std::ios::binary) << bytes.substr(0, 50);
    } else {
        std::ofstream(bad, std::ios::binary) << GetParam().content;
    }
    EXPECT_FALSE(unit_.open(bad));
    EXPECT_FALSE(unit_.hasDatabase());
    EXPECT_EQ(unit_.query("select 1"), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ExternalDatabaseBadFileTest,
                         ::testing::Values(BadFileCase{"empty", ""},
                                           BadFileCase{"text", "not a database at all"},
                                           BadFileCase{"truncated", "<truncated>"},
                                           BadFileCase{"directory", "<dir>"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ExternalDatabaseTest, unitNeverWrites) {
    ASSERT_TRUE(unit_.open(path_, {}, {}, false));
    EXPECT_EQ(unit_.query("delete from 文件特征值库"), 0);
    EXPECT_EQ(unit_.query("select 1; delete from 文件特征值库"), 0);
    const auto number = unit_.query("select count(*) from 文件特征值库");
    EXPECT_EQ(unit_.readField(number, 1), Value(std::int32_t{3}));
}

// ---- query, slots, walking ----

TEST_F(ExternalDatabaseTest, queryWithoutDatabaseOrText_returnsZero) {
    EXPECT_EQ(unit_.query("select 1"), 0);
    ASSERT_TRUE(unit_.open(path_));
    EXPECT_EQ(unit_.query(""), 0);
    EXPECT_EQ(unit_.query("select * from no_such_table"), 0);
    EXPECT_EQ(unit_.query("selec 1"), 0);
}

TEST_F(ExternalDatabaseTest, thirtyFirstQuery_failsUntilOneIsClosed) {
    ASSERT_TRUE(unit_.open(path_));
    std::vector<std::int32_t> numbers;
    for (int i = 0; i < 30; ++i) {
        numbers.push_back(unit_.query("select * from 文件特征值库"));
        ASSERT_NE(numbers.back(), 0) << "query " << i + 1;
    }
    EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(), 30u);
    EXPECT_EQ(unit_.query("select * from 文件特征值库"), 0);

    unit_.closeRecordSet(numbers[7]);
    const auto again = unit_.query("select * from 文件特征值库");
    EXPECT_NE(again, 0);
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), again), 0) << "numbers of open sets are not reused";
    EXPECT_TRUE(unit_.isEndOfRecords(numbers[7]));
}

TEST_F(ExternalDatabaseTest, emptyResult_isAtEndAtOnce) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select *from 文件特征值库 where 特征值20='0000'");
    ASSERT_NE(number, 0);
    unit_.moveFirst(number);
    EXPECT_TRUE(unit_.isEndOfRecords(number));
    EXPECT_EQ(unit_.readField(number, "文件类型"), Value(""));
}

TEST_F(ExternalDatabaseTest, walksEveryRecordOnceAndStopsAtTheEnd) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select 特征值20 from 文件特征值库 order by 编号");
    std::vector<Value> seen;
    for (unit_.moveFirst(number); !unit_.isEndOfRecords(number); unit_.moveNext(number)) {
        seen.push_back(unit_.readField(number, "特征值20"));
    }
    EXPECT_EQ(seen, (std::vector<Value>{"4D5A9000030000000400", "FFD8FFE000104A464946", "it's; \"odd\""}));
    unit_.moveNext(number);
    EXPECT_TRUE(unit_.isEndOfRecords(number));
    unit_.moveFirst(number);
    EXPECT_FALSE(unit_.isEndOfRecords(number));
}

TEST_F(ExternalDatabaseTest, boundParameters_matchValuesWithQuotesAndSemicolons) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select 编号 from 文件特征值库 where 特征值20 = ?", {"it's; \"odd\""});
    ASSERT_NE(number, 0);
    EXPECT_EQ(unit_.readField(number, 1), Value(std::int32_t{3}));
}

TEST_F(ExternalDatabaseTest, resultIsASnapshotTakenAtTheQuery) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select * from 文件特征值库");
    auto writer = sqlite::Database::open(path_, sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(writer && writer->execute("delete from 文件特征值库"));
    int count = 0;
    for (unit_.moveFirst(number); !unit_.isEndOfRecords(number); unit_.moveNext(number)) ++count;
    EXPECT_EQ(count, 3);
}

TEST_F(ExternalDatabaseTest, fileLockedByAWriter_failsWithinSeconds) {
    ASSERT_TRUE(unit_.open(path_));
    sqlite::setDefaultBusyTimeout(100);
    auto writer = sqlite::Database::open(path_, sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(writer && writer->execute("begin exclusive; delete from 文件特征值库 where 编号 = 1"));
    ExternalDatabase other(0x16010002);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(other.open(path_));
    EXPECT_EQ(unit_.query("select * from 文件特征值库"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    writer->execute("rollback");
}

TEST_F(ExternalDatabaseTest, closeWithoutNumber_invalidatesEveryRecordSet) {
    ASSERT_TRUE(unit_.open(path_));
    const auto first = unit_.query("select * from 文件特征值库");
    const auto second = unit_.query("select * from 文件特征值库");
    unit_.closeAllRecordSets();
    EXPECT_TRUE(unit_.isEndOfRecords(first));
    EXPECT_TRUE(unit_.isEndOfRecords(second));
    EXPECT_EQ(unit_.readField(first, 1), Value(""));
    EXPECT_NE(unit_.query("select * from 文件特征值库"), 0) << "the database itself stays open";
}

TEST_F(ExternalDatabaseTest, reopening_releasesThePreviousRecordSets) {
    ASSERT_TRUE(unit_.open(path_));
    const auto before = unit_.query("select * from 文件特征值库");
    for (int i = 0; i < 29; ++i) unit_.query("select 1");
    ASSERT_TRUE(unit_.open(path_));
    EXPECT_TRUE(unit_.isEndOfRecords(before));
    EXPECT_NE(unit_.query("select 1"), 0);
}

// ---- reading fields ----

struct FieldCase {
    std::string name;
    Value field;
    Value expected;
};

class ReadFieldTest : public ExternalDatabaseTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(ReadFieldTest, readsTheFirstRecord) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query(
        "select 编号, 文件类型, 特征值20, 数量, 文件类型 as 文件类型 from 文件特征值库 where 编号 = 2");
    ASSERT_NE(number, 0);
    EXPECT_EQ(unit_.readField(number, GetParam().field), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, ReadFieldTest,
                         ::testing::Values(FieldCase{"byName", "文件类型", "jpg"},
                                           FieldCase{"byPositionOne", std::int32_t{1}, std::int32_t{2}},
                                           FieldCase{"byPositionZero", std::int32_t{0}, ""},
                                           FieldCase{"pastLastColumn", std::int32_t{6}, ""},
                                           FieldCase{"negative", std::int32_t{-1}, ""},
                                           FieldCase{"nonIntegerNumber", 2.9, "jpg"},
                                           FieldCase{"byteNumber", std::uint8_t{3}, "FFD8FFE000104A464946"},
                                           FieldCase{"nullInteger", "数量", std::int32_t{0}},
                                           FieldCase{"unknownName", "文件", ""},
                                           FieldCase{"boolArgument", true, ""}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ExternalDatabaseTest, nameDifferingOnlyInCase_readsNothing) {
    createDatabase(folder_.file("latin.db"), "create table t (Type text); insert into t values ('exe');");
    ASSERT_TRUE(unit_.open(folder_.file("latin.db")));
    const auto number = unit_.query("select * from t");
    EXPECT_EQ(unit_.readField(number, "Type"), Value("exe"));
    EXPECT_EQ(unit_.readField(number, "type"), Value(""));
    EXPECT_EQ(unit_.readField(number, "TYPE"), Value(""));
}

TEST_F(ExternalDatabaseTest, nullTextField_readsAsEmptyText) {
    ASSERT_TRUE(unit_.open(path_));
    const auto number = unit_.query("select 文件类型 from 文件特征值库 where 编号 = 3");
    EXPECT_EQ(unit_.readField(number, "文件类型"), Value(""));
}

struct DeliveryCase {
    std::string name;
    DeclaredKind kind;
    sqlite::Cell cell;
    Value expected;
};

class FieldDeliveryTest : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(FieldDeliveryTest, convertsByDeclaredKind) {
    EXPECT_EQ(database_backend::deliverField(GetParam().kind, GetParam().cell), GetParam().expected);
}

using I = std::int64_t;
INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldDeliveryTest,
    ::testing::Values(
        DeliveryCase{"bool", DeclaredKind::Bool, I{1}, true},
        DeliveryCase{"boolFalse", DeclaredKind::Bool, I{0}, false},
        DeliveryCase{"tiny", DeclaredKind::TinyInt, I{200}, std::uint8_t{200}},
        DeliveryCase{"small", DeclaredKind::SmallInt, I{-5}, std::int16_t{-5}},
        DeliveryCase{"integer", DeclaredKind::Integer, I{70000}, std::int32_t{70000}},
        DeliveryCase{"integerBeyond32Bits", DeclaredKind::Integer, I{5000000000}, std::int64_t{5000000000}},
        DeliveryCase{"single", DeclaredKind::Single, 1.5, 1.5f},
        DeliveryCase{"double", DeclaredKind::Double, I{2}, 2.0},
        DeliveryCase{"date", DeclaredKind::DateTime, std::string("1899-12-31 12:00:00"), DateTime{1.5}},
        DeliveryCase{"dateBeforeYear100", DeclaredKind::DateTime, std::string("0001-01-01"),
                     DateTime{-657434}},
        DeliveryCase{"dateAsJulianDay", DeclaredKind::DateTime, 2415018.5 + 2, DateTime{2}},
        DeliveryCase{"text", DeclaredKind::Text, std::string("exe"), "exe"},
        DeliveryCase{"binary", DeclaredKind::Binary, ByteSet{1, 2}, ByteSet{1, 2}},
        DeliveryCase{"textInIntegerColumn", DeclaredKind::Integer, std::string("abc"), "abc"},
        DeliveryCase{"expressionInteger", DeclaredKind::Unspecified, I{4}, std::int32_t{4}},
        DeliveryCase{"nullInteger", DeclaredKind::Integer, sqlite::Cell(), std::int32_t{0}},
        DeliveryCase{"nullSmall", DeclaredKind::SmallInt, sqlite::Cell(), std::int16_t{0}},
        DeliveryCase{"nullDouble", DeclaredKind::Double, sqlite::Cell(), 0.0},
        DeliveryCase{"nullSingle", DeclaredKind::Single, sqlite::Cell(), 0.0f},
        DeliveryCase{"nullBool", DeclaredKind::Bool, sqlite::Cell(), false},
        DeliveryCase{"nullTiny", DeclaredKind::TinyInt, sqlite::Cell(), std::uint8_t{0}},
        DeliveryCase{"nullBinary", DeclaredKind::Binary, sqlite::Cell(), ByteSet{}},
        DeliveryCase{"nullDate", DeclaredKind::DateTime, sqlite::Cell(), ""},
        DeliveryCase{"nullText", DeclaredKind::Text, sqlite::Cell(), ""}),
    [](const auto& info) { return info.param.name; });

struct DeclaredTypeCase {
    std::string declared;
    DeclaredKind kind;
};

class DeclaredTypeTest : public ::testing::TestWithParam<DeclaredTypeCase> {};

TEST_P(DeclaredTypeTest, classifies) {
    EXPECT_EQ(sqlite::classifyDeclaredType(GetParam().declared), GetParam().kind) << GetParam().declared;
}

INSTANTIATE_TEST_SUITE_P(Types, DeclaredTypeTest,
                         ::testing::Values(DeclaredTypeCase{"", DeclaredKind::Unspecified},
                                           DeclaredTypeCase{"TEXT(50)", DeclaredKind::Text},
                                           DeclaredTypeCase{"varchar(20)", DeclaredKind::Text},
                                           DeclaredTypeCase{"INTEGER", DeclaredKind::Integer},
                                           DeclaredTypeCase{"BIGINT", DeclaredKind::BigInt},
                                           DeclaredTypeCase{"TINYINT", DeclaredKind::TinyInt},
                                           DeclaredTypeCase{"boolean", DeclaredKind::Bool},
                                           DeclaredTypeCase{"BIT", DeclaredKind::Bool},
                                           DeclaredTypeCase{"DOUBLE PRECISION", DeclaredKind::Double},
                                           DeclaredTypeCase{"SINGLE", DeclaredKind::Single},
                                           DeclaredTypeCase{"DATETIME", DeclaredKind::DateTime},
                                           DeclaredTypeCase{"NUMERIC(10,2)", DeclaredKind::Decimal},
                                           DeclaredTypeCase{"MONEY", DeclaredKind::Currency},
                                           DeclaredTypeCase{"BLOB", DeclaredKind::Binary},
                                           DeclaredTypeCase{"GUID", DeclaredKind::Other}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace vex

namespace vex {
namespace {

// A folder may be named anything; the file a connection text names must be exactly the file asked for.
TEST(ConnectionTextQuoting, everyPathComesBackFromBothTexts) {
    const std::string paths[] = {
        "/data/lib;FIL=x/data.mdb",
        "/d/{braced}",
        "/d/a}}b{",
        "{",
        "}",
        "/d/x;Jet OLEDB:Database Password=y",
        "/d/x;DefaultDir=/etc;PWD=z",
        "{/d/whole}",
        "/d/plain/data.mdb",
        "/d/;",
    };
    for (const std::string& path : paths) {
        const std::string external =
            buildExternalDatabaseConnectionText(path, Value(), Value(std::string("tulip")));
        EXPECT_EQ(database_backend::databaseFileFromConnectionText(external), path) << external;
        const std::string forRecordSets = buildDatabaseConnectionText(path, "tulip");
        EXPECT_EQ(dataSourceFromConnectionText(forRecordSets), path) << forRecordSets;
    }
}

}  // namespace
}  // namespace vex
