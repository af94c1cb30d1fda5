// A data.mdb received from someone else, made to crash, hang or exhaust the
// program: every command that reads or writes the library must end quickly,
// within 100 MB, without a crash, and either work or name its reason.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "library/store_schema.h"
#include "tests/robustness/cli_runner.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

// The library's own table with `typeColumn` declared as given, and one more statement.
std::string storeWith(const std::string& typeDeclaration, const std::string& then = {}) {
    std::string sql =
        "create table \"文件特征值库\" (\"编号\" integer primary key, \"文件类型\" " + typeDeclaration;
    for (int n = 20; n >= 4; --n) sql += ", \"特征值" + std::to_string(n) + "\" text";
    return sql + ");" + then;
}

// A PNG record whose prefixes are stored as text and whose type is `typeValue` (an SQL expression).
std::string pngRecord(const std::string& typeValue) {
    std::string sql = "insert into \"文件特征值库\" (\"文件类型\"";
    for (int n = 20; n >= 4; --n) sql += ", \"特征值" + std::to_string(n) + "\"";
    sql += ") values (" + typeValue;
    for (int n = 20; n >= 4; --n) sql += ", substr('89504E470D0A1A0A0000', 1, " + std::to_string(n) + ")";
    return sql + ");";
}

struct HostileStore {
    const char* name;
    std::string sql;  // empty: `bytes` is the whole file
    std::string bytes;
};

std::vector<HostileStore> hostileStores() {
    const std::string endless =
        "with recursive n(i) as (select 1 union all select i + 1 from n) select i as \"文件类型\"";
    std::string columns;
    for (int n = 20; n >= 4; --n) columns += ", 'x' as \"特征值" + std::to_string(n) + "\"";
    return {
        {"endlessView", "create view \"文件特征值库\" as " + endless + columns + " from n;", {}},
        {"plainView", "create view \"文件特征值库\" as select 'png' as \"文件类型\"" + columns + ";", {}},
        {"blobType", storeWith("text", pngRecord("x'DEADBEEF'")), {}},
        {"integerType", storeWith("text", pngRecord("42")), {}},
        {"realType", storeWith("text", pngRecord("3.25")), {}},
        {"nullType", storeWith("text", pngRecord("null")), {}},
        {"integerDeclaredType", storeWith("integer", pngRecord("'png'")), {}},
        {"blobDeclaredType", storeWith("blob", pngRecord("x'00FF'")), {}},
        {"dateDeclaredType", storeWith("date", pngRecord("'2024-01-01'")), {}},
        {"nulInType", storeWith("text", pngRecord("'p' || char(0) || 'ng'")), {}},
        {"slashType", storeWith("text", pngRecord("'../../etc/x'")), {}},
        {"hugeType", storeWith("text", pngRecord("printf('%.*c', 5000000, 'x')")), {}},
        {"blobSignature",
         storeWith("text",
                   "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('t', x'0102');"),
         {}},
        {"integerSignature",
         storeWith("text", "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('t', 1234);"),
         {}},
        {"insertTrigger",
         storeWith("text",
                   "create table log(x); create trigger t after insert on \"文件特征值库\" begin insert "
                   "into log values (1); delete from \"文件特征值库\"; end;"),
         {}},
        {"deleteTrigger",
         storeWith("text", pngRecord("'png'") +
                               "create trigger t before delete on \"文件特征值库\" begin select "
                               "raise(abort, 'the trigger ran'); end;"),
         {}},
        {"endlessTrigger",
         storeWith("text",
                   "create trigger t after insert on \"文件特征值库\" begin " + endless + " from n; end;"),
         {}},
        {"noTable", "create table other(x);", {}},
        {"missingColumn", "create table \"文件特征值库\" (\"文件类型\" text, \"特征值20\" text);", {}},
        {"onlyOtherColumns", "create table \"文件特征值库\" (a, b, c);", {}},
        {"withoutRowid",
         "create table \"文件特征值库\" (\"文件类型\" text primary key" +
             [] {
                 std::string more;
                 for (int n = 20; n >= 4; --n) more += ", \"特征值" + std::to_string(n) + "\" text";
                 return more;
             }() +
             ") without rowid;" + pngRecord("'png'"),
         {}},
        {"generatedHugeType",
         "create table \"文件特征值库\" (\"编号\" integer primary key, \"文件类型\" as (printf('%.*c', "
         "50000000, "
         "'x'))" +
             [] {
                 std::string more;
                 for (int n = 20; n >= 4; --n) more += ", \"特征值" + std::to_string(n) + "\" text";
                 return more;
             }() +
             "); insert into \"文件特征值库\" (\"特征值20\") values ('89504E470D0A1A0A0000');",
         {}},
        {"indexOnExpression",
         storeWith("text", pngRecord("'png'") + "create index i on \"文件特征值库\"(length(\"文件类型\"));"),
         {}},
        {"checkRefusesAll", storeWith("text check(0)"), {}},
        {"manyRecords",
         storeWith("text",
                   "with recursive n(i) as (select 1 union all select i + 1 from n where i < 50000) "
                   "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") select 't', hex(i) from n;"),
         {}},
        {"longSignature",
         storeWith("text",
                   "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('t', "
                   "printf('%.*c', 900000, 'A'));"),
         {}},
        {"emptyFile", {}, ""},
        {"randomBytes", {}, std::string(4096, '\xA5')},
        {"headerThenGarbage", {}, std::string("SQLite format 3\0", 16) + std::string(8000, '\x7F')},
        {"textFile", {}, "[section]\nkey=value\n"},
        {"ftsTable", "create virtual table \"文件特征值库\" using fts5(\"文件类型\");", {}},
    };
}

// The bound holds for the program as shipped; under AddressSanitizer freed memory
// waits in quarantine and every byte has shadow bytes, so there it only has to stay near.
#ifdef VEXORIN_SANITIZED
constexpr long kMemoryBoundKb = 250 * 1024;
#else
constexpr long kMemoryBoundKb = 100 * 1024;
#endif

class HostileLibrary : public ::testing::TestWithParam<HostileStore> {};

TEST_P(HostileLibrary, everyCommandEndsWithinBoundsAndNamesItsReason) {
    VEX_REQUIRE_CLI_COMMANDS("library", "identify", "confirm");
    const HostileStore& store = GetParam();
    TempDir dir;
    const std::string data = dir.file("data");
    fs::create_directories(data);
    const std::string library = data + "/data.mdb";
    if (store.sql.empty()) {
        writeAll(library, store.bytes);
    } else {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(library.c_str(), &db), SQLITE_OK);
        char* message = nullptr;
        const int rc = sqlite3_exec(db, store.sql.c_str(), nullptr, nullptr, &message);
        const std::string error = message ? message : "";
        sqlite3_free(message);
        sqlite3_close(db);
        if (rc != SQLITE_OK && std::string(store.name) == "ftsTable")
            GTEST_SKIP() << "no fts5 here: " << error;
        ASSERT_EQ(rc, SQLITE_OK) << error;
    }
    const std::string png = dir.write("picture.dat", std::string("\x89PNG\r\n\x1A\n\0\0", 10));
    writeAll(data + "/setok.ini", "[" + png + "]\r\ntype=89504E470D0A1A0A0000\r\ntype1=png\r\n");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"library"},
                                               {"identify", png},
                                               {"confirm", "25504446", "pdf"},
                                               {"library", "delete", "25504446"}}) {
        const ChildResult result = runCli(data, args, {.timeout = std::chrono::seconds(90)});
        const std::string what = std::string(store.name) + ": " + args[0] + " " + args.back();
        EXPECT_FALSE(result.timedOut) << what;
        EXPECT_EQ(result.signal, 0) << what << "\n" << describe(result);
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 2 || result.exitCode == 3) << what << "\n"
                                                                                          << describe(result);
        if (result.exitCode == 2) {
            EXPECT_NE(result.err, "") << what;
        }
        EXPECT_LT(result.maxResidentKb, kMemoryBoundKb) << what;
        if (args[0] == "identify" && result.exitCode == 2) {
            EXPECT_NE(readAll(data + "/setok.ini").find("type1=png"), std::string::npos)
                << what << ": an earlier answer was overwritten";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, HostileLibrary, ::testing::ValuesIn(hostileStores()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex::test
