#include "library/store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class StoreTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }

    static std::vector<std::uint8_t> readBytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    test::TempDir dir_;
};

std::vector<std::string> expectedColumns() {
    std::vector<std::string> columns = {"编号", "文件类型"};
    for (int n = 20; n >= 4; --n) columns.push_back("特征值" + std::to_string(n));
    return columns;
}

TEST(SignatureColumnName, appendsTheLengthInDecimalWithoutPadding) {
    EXPECT_EQ(store_schema::signatureColumnName(4), "特征值4");
    EXPECT_EQ(store_schema::signatureColumnName(20), "特征值20");
}

TEST_F(StoreTest, missingFile_isWrittenByteForByteFromTheImage) {
    const auto result = ensureStoreExists(path("data.mdb"));
    EXPECT_EQ(result.outcome, StoreCreation::Written) << result.error;
    const auto image = emptyStoreImage();
    EXPECT_EQ(readBytes(path("data.mdb")), std::vector<std::uint8_t>(image.begin(), image.end()));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(StoreTest, existingFile_isNeverReplaced) {
    { std::ofstream(path("data.mdb")) << "the user's records"; }
    EXPECT_EQ(ensureStoreExists(path("data.mdb")).outcome, StoreCreation::AlreadyExists);
    const auto bytes = readBytes(path("data.mdb"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the user's records");
}

TEST_F(StoreTest, directoryOfThatName_countsAsExisting) {
    fs::create_directory(path("data.mdb"));
    EXPECT_EQ(ensureStoreExists(path("data.mdb")).outcome, StoreCreation::AlreadyExists);
    EXPECT_TRUE(fs::is_directory(path("data.mdb")));
}

TEST_F(StoreTest, missingFolder_failsWithAReason) {
    const auto result = ensureStoreExists(path("no-such-folder/data.mdb"));
    EXPECT_EQ(result.outcome, StoreCreation::Failed);
    EXPECT_NE(result.error.find("no-such-folder"), std::string::npos) << result.error;
}

TEST_F(StoreTest, image_holdsTheEmptyTableWithItsColumnsInOrder) {
    ASSERT_EQ(ensureStoreExists(path("data.mdb")).outcome, StoreCreation::Written);
    auto db = sqlite::Database::open(path("data.mdb"), sqlite::OpenMode::ReadOnly);
    ASSERT_TRUE(db);
    auto select = sqlite::Statement::prepare(*db, "select * from 文件特征值库");
    ASSERT_TRUE(select);
    std::vector<std::string> names;
    for (int i = 0; i < select->columnCount(); ++i) names.push_back(select->columnName(i));
    EXPECT_EQ(names, expectedColumns());
    EXPECT_EQ(select->step(), sqlite::StepResult::Done);

    auto tables = sqlite::Statement::prepare(*db, "select count(*) from sqlite_master where type = 'table'");
    ASSERT_TRUE(tables);
    ASSERT_EQ(tables->step(), sqlite::StepResult::Row);
    EXPECT_EQ(tables->column(0), sqlite::Cell(std::int64_t{2}));  // the table and the key counter
}

TEST_F(StoreTest, firstRecord_takesItsKeyAfterTheCounterAt106) {
    ASSERT_EQ(ensureStoreExists(path("data.mdb")).outcome, StoreCreation::Written);
    auto db = sqlite::Database::open(path("data.mdb"), sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->execute("insert into 文件特征值库(文件类型) values ('exe')"));
    EXPECT_EQ(db->lastInsertRowId(), 107);
}

struct LengthCase {
    std::string column;
    std::string value;
    bool accepted;
};

class StoreColumnSizeTest : public StoreTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(StoreColumnSizeTest, textOverFiftyCharacters_isRefusedNotCut) {
    ASSERT_EQ(ensureStoreExists(path("data.mdb")).outcome, StoreCreation::Written);
    auto db = sqlite::Database::open(path("data.mdb"), sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(db);
    auto insert = sqlite::Statement::prepare(
        *db, "insert into 文件特征值库(" + sqlite::quoteIdentifier(GetParam().column) + ") values (?)");
    ASSERT_TRUE(insert);
    insert->bindText(1, GetParam().value);
    EXPECT_EQ(insert->step(), GetParam().accepted ? sqlite::StepResult::Done : sqlite::StepResult::Error);

    auto stored = sqlite::Statement::prepare(*db, "select count(*) from 文件特征值库");
    ASSERT_TRUE(stored && stored->step() == sqlite::StepResult::Row);
    EXPECT_EQ(stored->column(0), sqlite::Cell(std::int64_t{GetParam().accepted ? 1 : 0}));
}

std::string repeat(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
}

INSTANTIATE_TEST_SUITE_P(Sizes, StoreColumnSizeTest,
                         ::testing::Values(LengthCase{"文件类型", std::string(50, 'x'), true},
                                           LengthCase{"文件类型", std::string(51, 'x'), false},
                                           LengthCase{"文件类型", repeat("类", 50),
                                                      true},  // characters count, not bytes
                                           LengthCase{"文件类型", repeat("类", 51), false},
                                           LengthCase{"特征值4", std::string(51, 'A'), false},
                                           LengthCase{"特征值20", "it's \"quoted\"; drop table x", true}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

}  // namespace
}  // namespace vex
