#include "library/signature_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "library/store.h"
#include "library/store_schema.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"
#include "runtime/record_set.h"
#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {

// Internal to this test program's file, so another test may define its own.
static bool operator==(const StoredSignature& a, const StoredSignature& b) {
    return a.type == b.type && a.signature == b.signature;
}
static void PrintTo(const StoredSignature& record, std::ostream* out) {
    *out << "{" << record.type << ", " << record.signature << "}";
}

namespace {

using ::testing::ElementsAre;

constexpr std::string_view kExeValue = "4D5A9000030000000400";

using Record = std::vector<std::string>;  // 文件类型, 特征值20 … 特征值4 ("<null>" for nothing)
using AddResult = SignatureStore::AddResult;

class SignatureStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ensureStoreExists(path()).outcome, StoreCreation::Written);
        reopen();
    }

    const std::string& path() const { return path_; }

    void reopen() {
        std::string error;
        store_ = SignatureStore::open(path(), &error);
        ASSERT_TRUE(store_) << error;
    }

    AddResult add(std::string_view signature, std::string_view type) { return store_->add(signature, type); }

    // Every record as the store holds it, in record order.
    std::vector<Record> records() {
        std::vector<Record> result;
        auto db = sqlite::Database::open(path(), sqlite::OpenMode::ReadOnly);
        if (!db) return result;
        std::string sql = "select \"文件类型\"";
        for (int n = 20; n >= 4; --n) sql += ", \"特征值" + std::to_string(n) + "\"";
        sql += " from \"文件特征值库\" order by rowid";
        auto select = sqlite::Statement::prepare(*db, sql);
        while (select && select->step() == sqlite::StepResult::Row) {
            Record record;
            for (int column = 0; column < 18; ++column) {
                const sqlite::Cell cell = select->column(column);
                record.push_back(sqlite::isNull(cell) ? "<null>" : std::get<std::string>(cell));
            }
            result.push_back(std::move(record));
        }
        return result;
    }

    void insertDirectly(const std::string& sql) {
        auto db = sqlite::Database::open(path(), sqlite::OpenMode::ReadWrite);
        ASSERT_TRUE(db && db->execute(sql));
    }

    std::vector<StoredSignature> listed() {
        std::vector<StoredSignature> entries;
        std::string error;
        EXPECT_TRUE(store_->list(entries, &error)) << error;
        return entries;
    }

    std::vector<std::string> listedSignatures() {
        std::vector<std::string> signatures;
        for (const StoredSignature& entry : listed()) signatures.push_back(entry.signature);
        return signatures;
    }

    test::TempDir dir_;
    std::string path_ = dir_.file("data.mdb");
    std::optional<SignatureStore> store_;
};

TEST_F(SignatureStoreTest, addStoresEveryPrefixAndListsTheRecord) {
    std::string reason;
    ASSERT_EQ(store_->add(kExeValue, "exe", &reason), AddResult::Added);
    EXPECT_EQ(reason, "");
    const std::vector<Record> stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "exe");
    for (int n = 20; n >= 4; --n) EXPECT_EQ(stored[0][21 - n], kExeValue.substr(0, n)) << n;
    EXPECT_THAT(listed(), ElementsAre(StoredSignature{"exe", std::string(kExeValue)}));
}

struct StoredFormCase {
    std::string_view name;
    std::string signature;
    std::string expected20;  // and every longer-than-value column
    std::string expected17;
    std::string expected4;
};

class StoredForm : public SignatureStoreTest, public ::testing::WithParamInterface<StoredFormCase> {};

TEST_P(StoredForm, prefixColumnsFollowTheCut) {
    const StoredFormCase& c = GetParam();
    ASSERT_EQ(add(c.signature, "t"), AddResult::Added);
    const std::vector<Record> stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][1], c.expected20);
    EXPECT_EQ(stored[0][4], c.expected17);
    EXPECT_EQ(stored[0][17], c.expected4);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredForm,
    ::testing::Values(StoredFormCase{"short", "4D5A", "4D5A", "4D5A", "4D5A"},
                      StoredFormCase{"tooLong", "4D5A90000300000004001234", std::string(kExeValue),
                                     "4D5A9000030000000", "4D5A"},
                      // 3 bytes a character: 20 and 17 bytes end before a character.
                      StoredFormCase{"tooShortText", "无法读取，文件太短", "无法读取，文", "无法读取，",
                                     "无"},
                      StoredFormCase{"lowerAndSpaced", "4d 5a 90 00 03 00 00", "4d 5a 90 00 03 00 00",
                                     "4d 5a 90 00 03 00", "4d 5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SignatureStoreTest, duplicateIsRefusedAndDiffersByCaseOnly) {
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    EXPECT_EQ(add(kExeValue, "dll"), AddResult::Duplicate);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_TRUE(store_->contains(kExeValue));
    EXPECT_FALSE(store_->contains("4d5a9000030000000400"));
    EXPECT_EQ(add("4d5a9000030000000400", "exe"), AddResult::Added);
    EXPECT_EQ(records().size(), 2u);
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(SignatureStoreTest, longerValueIsAddedThoughItsFirstTwentyAreThere) {
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    EXPECT_EQ(add(std::string(kExeValue) + "FF", "exe2"), AddResult::Added);
    EXPECT_THAT(listedSignatures(), ElementsAre(kExeValue, kExeValue));
}

TEST_F(SignatureStoreTest, emptyTypeAndSignatureAreStoredAsNothing) {
    ASSERT_EQ(add("", ""), AddResult::Added);
    const std::vector<Record> stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "<null>");
    EXPECT_EQ(stored[0][1], "<null>");
    EXPECT_THAT(listed(), ElementsAre(StoredSignature{"", ""}));
    // A field that holds nothing is the empty value: it is there, and a second one is a duplicate.
    EXPECT_TRUE(store_->contains(""));
    EXPECT_EQ(add("", "other"), AddResult::Duplicate);
}

// A hand-made store without one of the prefix columns: the add is refused, and
// nothing of the record is kept.
TEST_F(SignatureStoreTest, fieldThatCannotBeWrittenLeavesNoPartialRecord) {
    insertDirectly(
        "drop table \"文件特征值库\"; create table \"文件特征值库\" (\"编号\" integer primary key, "
        "\"文件类型\" text, \"特征值20\" text, \"特征值4\" text)");
    reopen();
    std::string reason;
    EXPECT_EQ(store_->add(kExeValue, "exe", &reason), AddResult::Refused);
    EXPECT_NE(reason, "");
    auto db = sqlite::Database::open(path(), sqlite::OpenMode::ReadOnly);
    auto count = sqlite::Statement::prepare(*db, "select count(*) from \"文件特征值库\"");
    ASSERT_TRUE(count && count->step() == sqlite::StepResult::Row);
    EXPECT_EQ(std::get<std::int64_t>(count->column(0)), 0);
    EXPECT_TRUE(listed().empty());
}

TEST_F(SignatureStoreTest, quotedValuesDeleteOnlyTheirOwnRecord) {
    const std::vector<std::string> values = {"A'B", "A", "B", "x\";drop t;--", "'", "''"};
    for (const std::string& value : values) ASSERT_EQ(add(value, "t"), AddResult::Added);
    for (const std::string& value : values) EXPECT_EQ(add(value, "t"), AddResult::Duplicate) << value;

    std::string reason;
    ASSERT_TRUE(store_->remove({"A'B", "x\";drop t;--", "'"}, &reason)) << reason;
    EXPECT_THAT(listedSignatures(), ElementsAre("A", "B", "''"));
    EXPECT_EQ(records().size(), 3u);
}

TEST_F(SignatureStoreTest, removingNothingKeepsEverything) {
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    ASSERT_TRUE(store_->remove({}));
    EXPECT_EQ(listed().size(), 1u);
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(SignatureStoreTest, removingASharedSignatureRemovesEveryRecordWithIt) {
    insertDirectly(
        "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('a', 'S'), ('b', 'S'), ('c', "
        "'T')");
    ASSERT_TRUE(store_->remove({"S"}));
    EXPECT_THAT(listedSignatures(), ElementsAre("T"));
}

// The empty value as listed stands for the records that hold nothing there, NULL or empty alike.
TEST_F(SignatureStoreTest, removingTheEmptyValueRemovesRecordsWithoutASignature) {
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    ASSERT_EQ(add("", "nothing"), AddResult::Added);
    insertDirectly("insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('blank', '')");
    ASSERT_TRUE(store_->remove({""}));
    EXPECT_THAT(listed(), ElementsAre(StoredSignature{"exe", std::string(kExeValue)}));
}

TEST_F(SignatureStoreTest, clearRemovesRecordsWithoutASignatureToo) {
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    ASSERT_EQ(add("", "nothing"), AddResult::Added);
    insertDirectly("insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('blank', '')");
    ASSERT_EQ(listed().size(), 3u);
    ASSERT_TRUE(store_->clear());
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(records().empty());
}

// A hand-made table without rowids has no record order, but is still listed.
TEST_F(SignatureStoreTest, tableWithoutRowidsIsListed) {
    insertDirectly(
        "drop table \"文件特征值库\"; create table \"文件特征值库\" (\"文件类型\" text, "
        "\"特征值20\" text primary key) without rowid; "
        "insert into \"文件特征值库\" values ('b', 'BBBB'), ('a', 'AAAA')");
    reopen();
    EXPECT_THAT(listedSignatures(), ::testing::UnorderedElementsAre("AAAA", "BBBB"));
}

TEST_F(SignatureStoreTest, addedRecordsAreFoundByTheLookup) {
    ASSERT_EQ(add("4D5A", "short"), AddResult::Added);
    ASSERT_EQ(add(kExeValue, "exe"), AddResult::Added);
    ExternalDatabase lookupUnit(9);
    LookupSession session(path());
    for (auto [signature, expected] : {std::pair<std::string_view, std::string_view>{kExeValue, "exe"},
                                       {"4D5A5000020000000400", "short"},
                                       {"4D5B5000020000000400", kUnknownFileType}}) {
        EXPECT_EQ(LookupFileType(lookupUnit, path(), signature), expected) << signature;
        EXPECT_EQ(session.lookup(signature), expected) << signature;
    }
}

// The window's database units read the same library: the record set lists
// what the store lists, in the same order, and the external database unit's
// duplicate query finds what the store contains. Awkward records included: no
// type, no signature, an empty signature, a shared one; and an index a
// hand-made store holds, which must not change the order of the listing.
class UnitsAndStore : public SignatureStoreTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnitsAndStore, unitsSeeTheSameRecordsAsTheStore) {
    for (auto [signature, type] : {std::pair<std::string_view, std::string_view>{kExeValue, "exe"},
                                   {"", "nothing"},
                                   {"FFD8FFE0", ""},
                                   {"A'B", "quoted"}})
        ASSERT_EQ(add(signature, type), AddResult::Added);
    insertDirectly(
        "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('blank', ''), ('again', 'A''B')");
    if (*GetParam()) insertDirectly(GetParam());

    DatabaseConnection connection(2);
    ASSERT_TRUE(connection.open(path(), std::string(store_schema::kPassword))) << connection.lastError();
    RecordSet recordSet(3);
    ASSERT_TRUE(recordSet.setConnection(&connection));
    ASSERT_TRUE(recordSet.open(std::string(store_schema::kTable), record_set_kind::kTable))
        << recordSet.lastError();
    std::vector<StoredSignature> throughRecordSet;
    for (recordSet.moveFirst(); !recordSet.isEndOfRecords(); recordSet.moveNext()) {
        StoredSignature entry;
        recordSet.readFieldText(Value(std::string(store_schema::kFileTypeColumn)), entry.type);
        recordSet.readFieldText(Value(store_schema::signatureColumnName(kLongestPrefix)), entry.signature);
        throughRecordSet.push_back(std::move(entry));
    }
    EXPECT_EQ(throughRecordSet, listed());

    ExternalDatabase unit(1);
    ASSERT_TRUE(unit.open(path(), Value(), Value(std::string(store_schema::kPassword))));
    const std::string column = store_schema::signatureColumnName(kLongestPrefix);
    auto unitHolds = [&](std::string_view value) {
        const std::int32_t number =
            unit.query("select distinct(" + column + ") from " + std::string(store_schema::kTable));
        bool found = false;
        for (unit.moveFirst(number); !found && !unit.isEndOfRecords(number); unit.moveNext(number)) {
            const Value field = unit.readField(number, Value(column));
            found = (field.omitted() ? std::string() : field.as<std::string>()) == value;
        }
        unit.closeRecordSet(number);
        return found;
    };
    for (std::string_view probe :
         {kExeValue, std::string_view(""), std::string_view("FFD8FFE0"), std::string_view("A'B"),
          std::string_view("4d5a9000030000000400"), std::string_view("FFD8"), std::string_view("missing")})
        EXPECT_EQ(unitHolds(probe), store_->contains(probe)) << probe;
}

INSTANTIATE_TEST_SUITE_P(
    Stores, UnitsAndStore,
    ::testing::Values("", "create index byTypeAndValue on \"文件特征值库\" (\"文件类型\", \"特征值20\")",
                      "create index byValueAndType on \"文件特征值库\" (\"特征值20\", \"文件类型\")"));

// A store file the program cannot use: it does not open, or it lists nothing
// and refuses adds with a reason, never reporting one as done.
class UnusableStore : public ::testing::TestWithParam<std::string_view> {};

TEST_P(UnusableStore, listsNothingAndRefusesAdds) {
    test::TempDir dir;
    const std::string path = dir.file("data.mdb");
    if (GetParam() == "truncated") {
        ASSERT_EQ(ensureStoreExists(path).outcome, StoreCreation::Written);
        std::filesystem::resize_file(path, 100);
    } else if (GetParam() == "foreignSchema") {
        auto db = sqlite::Database::open(path, sqlite::OpenMode::ReadWriteCreate);
        ASSERT_TRUE(db && db->execute("create table other (x text)"));
    } else if (GetParam() != "missing") {
        dir.write("data.mdb",
                  GetParam() == "empty" ? std::string_view() : std::string_view("not a database at all"));
    }
    std::string error;
    std::optional<SignatureStore> store = SignatureStore::open(path, &error);
    if (!store) {
        EXPECT_NE(error, "");
        EXPECT_EQ(GetParam() == "missing", !std::filesystem::exists(path))
            << "a failed open never creates the file";
        return;
    }
    std::vector<StoredSignature> entries;
    EXPECT_FALSE(store->list(entries, &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(entries.empty());
    std::string reason;
    EXPECT_EQ(store->add(kExeValue, "exe", &reason), AddResult::Refused);
    EXPECT_NE(reason, "");
    EXPECT_FALSE(store->list(entries));
    EXPECT_TRUE(entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnusableStore,
                         ::testing::Values("missing", "empty", "truncated", "notSqlite", "foreignSchema"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vex
