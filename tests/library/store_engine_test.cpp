// What the callers rely on the store's engine for, exercised through the two
// ways the program reaches the store: the external database unit (read-only
// queries) and the connection with its record set (listing, adding, deleting).

#include <gtest/gtest.h>

#include <algorithm>

#include "library/store.h"
#include "library/store_schema.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"
#include "runtime/record_set.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

constexpr std::string_view kStorePassword = store_schema::kPassword;

class StoreEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("data.mdb");
        ASSERT_EQ(ensureStoreExists(path_).outcome, StoreCreation::Written);
        ASSERT_TRUE(connection_.open(path_, std::string(kStorePassword))) << connection_.lastError();
        ASSERT_TRUE(records_.setConnection(&connection_));
        ASSERT_TRUE(records_.open("文件特征值库", record_set_kind::kTable)) << records_.lastError();
    }

    // Adds a record the way the confirm operation does: type, then every prefix column.
    void add(const std::string& type, const std::string& signature) {
        ASSERT_TRUE(records_.addNew());
        ASSERT_TRUE(records_.writeFieldText("文件类型", type));
        for (int n = 4; n <= 20; ++n) {
            ASSERT_TRUE(records_.writeFieldText("特征值" + std::to_string(n), signature.substr(0, n)));
        }
        ASSERT_TRUE(records_.save()) << records_.lastError();
    }

    // A fresh read-only look, as every lookup and duplicate check opens the unit anew.
    std::vector<std::string> query(const std::string& sql, const std::string& field) {
        ExternalDatabase unit(0x16010030);
        EXPECT_TRUE(unit.open(path_, "", std::string(kStorePassword)));
        const auto number = unit.query(sql);
        EXPECT_NE(number, 0) << sql;
        std::vector<std::string> values;
        for (unit.moveFirst(number); !unit.isEndOfRecords(number); unit.moveNext(number)) {
            const Value value = unit.readField(number, field);
            EXPECT_TRUE(value.is<std::string>()) << "text columns read as text";
            values.push_back(value.is<std::string>() ? value.as<std::string>() : "");
        }
        return values;
    }

    std::vector<std::string> listed(const std::string& field) {
        EXPECT_TRUE(records_.open("文件特征值库", record_set_kind::kTable));
        std::vector<std::string> values;
        records_.moveFirst();
        const auto count =
            std::get<std::int32_t>(records_.readOwnProperty(RecordSet::kRecordCountProperty).storage());
        for (int i = 0; i < count; ++i) {
            std::string text;
            records_.readFieldText(field, text);
            values.push_back(text);
            records_.moveNext();
        }
        return values;
    }

    test::TempDir dir_;
    std::string path_;
    DatabaseConnection connection_{0x16010031};
    RecordSet records_{0x16010032};
};

TEST_F(StoreEngineTest, shippedStoreOpensBothWaysAndIsEmpty) {
    ExternalDatabase unit(0x16010030);
    EXPECT_TRUE(unit.open(path_, "", "tulip"));
    EXPECT_EQ(records_.recordCount(), 0);
    EXPECT_TRUE(query("select *from 文件特征值库 where 特征值20='4D5A9000030000000400'", "文件类型").empty());
}

TEST_F(StoreEngineTest, whereClauseSelectsExactlyTheEqualRecords) {
    add("exe", "4D5A9000030000000400");
    add("jpg", "FFD8FFE000104A464946");
    add("dll", "4D5A9000030000000400");
    add("lower", "4d5a9000030000000400");
    EXPECT_EQ(query("select *from 文件特征值库 where 特征值20='4D5A9000030000000400'", "文件类型"),
              (std::vector<std::string>{"exe", "dll"}));
    EXPECT_EQ(query("select *from 文件特征值库 where 特征值4='FFD8'", "文件类型"),
              (std::vector<std::string>{"jpg"}));
    EXPECT_TRUE(query("select *from 文件特征值库 where 特征值20='0000'", "文件类型").empty());
}

TEST_F(StoreEngineTest, distinctQueryDeliversEachValueOnce) {
    add("exe", "4D5A9000030000000400");
    add("dll", "4D5A9000030000000400");
    add("jpg", "FFD8FFE000104A464946");
    auto values = query("select distinct(特征值20) from 文件特征值库", "特征值20");
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::string>{"4D5A9000030000000400", "FFD8FFE000104A464946"}));
}

TEST_F(StoreEngineTest, tableByNameCountsAndDeliversEveryRecordOnceInOrder) {
    add("a", "AAAA");
    add("b", "BBBB");
    add("c", "CCCC");
    EXPECT_EQ(listed("文件类型"), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(StoreEngineTest, addedRecordKeepsEveryFieldAndTheEngineAssignsTheKey) {
    add("exe", "4D5A9000030000000400");
    EXPECT_EQ(listed("编号"), (std::vector<std::string>{"107"}));
    for (int n = 4; n <= 20; ++n) {
        EXPECT_EQ(listed("特征值" + std::to_string(n)),
                  (std::vector<std::string>{std::string("4D5A9000030000000400").substr(0, n)}));
    }
}

TEST_F(StoreEngineTest, deleteStatementRemovesEveryMatchingRecord) {
    add("exe", "4D5A9000030000000400");
    add("dll", "4D5A9000030000000400");
    add("jpg", "FFD8FFE000104A464946");
    EXPECT_TRUE(records_.open("delete from 文件特征值库 where 特征值20='4D5A9000030000000400'",
                              record_set_kind::kStatement));
    EXPECT_EQ(listed("文件类型"), (std::vector<std::string>{"jpg"}));
    EXPECT_EQ(records_.lastError(), "");
}

TEST_F(StoreEngineTest, bothWaysHoldTheFileAtOnceAndTheReaderSeesWhatWasSaved) {
    ExternalDatabase reader(0x16010030);
    ASSERT_TRUE(reader.open(path_, "", "tulip"));
    add("png", "89504E470D0A1A0A0000");
    ASSERT_TRUE(reader.open(path_, "", "tulip"));
    const auto number = reader.query("select *from 文件特征值库 where 特征值20='89504E470D0A1A0A0000'");
    EXPECT_EQ(reader.readField(number, "文件类型"), Value("png"));
}

TEST_F(StoreEngineTest, nullTextFieldReadsAsEmptyTextBothWays) {
    ASSERT_TRUE(records_.addNew());
    ASSERT_TRUE(records_.writeFieldText("文件类型", ""));
    ASSERT_TRUE(records_.writeFieldText("特征值20", "ABCD"));
    ASSERT_TRUE(records_.save());
    EXPECT_EQ(listed("文件类型"), (std::vector<std::string>{""}));
    EXPECT_EQ(query("select *from 文件特征值库 where 特征值20='ABCD'", "文件类型"),
              (std::vector<std::string>{""}));
}

TEST_F(StoreEngineTest, deletingEverythingKeepsTheTableAndTheFile) {
    add("exe", "4D5A9000030000000400");
    ASSERT_TRUE(records_.open("delete from 文件特征值库", record_set_kind::kStatement));
    EXPECT_EQ(ensureStoreExists(path_).outcome, StoreCreation::AlreadyExists);
    EXPECT_TRUE(listed("文件类型").empty());
    add("jpg", "FFD8FFE000104A464946");
    EXPECT_EQ(listed("编号"), (std::vector<std::string>{"108"})) << "keys are never handed out twice";
}

}  // namespace
}  // namespace vex
