#include "library/confirmed_library.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "ident/lookup.h"
#include "library/store.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"
#include "runtime/messages.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "runtime/sqlite.h"
#include "runtime/window_model.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"
#include "tests/support/read_only_file.h"

namespace vex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::string_view kExeValue = "4D5A9000030000000400";

using Record = std::vector<std::string>;  // 文件类型, 特征值20 … 特征值4 ("<null>" for nothing)

class ConfirmedLibraryTest : public ::testing::Test {
protected:
    ConfirmedLibraryTest()
        : database_(1),
          connection_(2),
          recordSet_(3),
          list_(4, {{"序列", 40}, {"文件类", 80}, {"特征值", 200}}),
          units_{database_, connection_, recordSet_, list_, dir_.file("data.mdb")} {}

    void SetUp() override {
        setMessagePresenter([this](MessageKind, const std::string& text, const std::string&) {
            messages_.push_back(text);
        });
        sqlite::setDefaultBusyTimeout(200);
        ASSERT_EQ(ensureStoreExists(path()).outcome, StoreCreation::Written);
        ASSERT_TRUE(LoadConfirmedLibrary(units_));
    }
    void TearDown() override {
        setMessagePresenter({});
        sqlite::setDefaultBusyTimeout(sqlite::kDefaultBusyTimeoutMs);
    }

    const std::string& path() const { return units_.libraryPath; }

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

    std::vector<std::string> listedSignatures() const {
        std::vector<std::string> signatures;
        for (int item = 0; item < list_.itemCount(); ++item) signatures.push_back(list_.itemText(item, 2));
        return signatures;
    }

    void check(std::string_view signature) {
        for (int item = 0; item < list_.itemCount(); ++item) {
            if (list_.itemText(item, 2) == signature) list_.setCheckState(item, 1);
        }
    }

    test::TempDir dir_;
    ExternalDatabase database_;
    DatabaseConnection connection_;
    RecordSet recordSet_;
    ReportList list_;
    ConfirmedLibraryUnits units_;
    std::vector<std::string> messages_;
};

TEST_F(ConfirmedLibraryTest, addStoresEveryPrefixAndListsTheRecord) {
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    const std::vector<Record> stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "exe");
    for (int n = 20; n >= 4; --n) EXPECT_EQ(stored[0][21 - n], kExeValue.substr(0, n)) << n;
    ASSERT_EQ(list_.itemCount(), 1);
    EXPECT_EQ(list_.row(0)->cells, (std::vector<std::string>{"1", "exe", std::string(kExeValue)}));
    EXPECT_TRUE(messages_.empty());
}

struct StoredFormCase {
    std::string_view name;
    std::string signature;
    std::string expected20;  // and every longer-than-value column
    std::string expected17;
    std::string expected4;
};

class StoredForm : public ConfirmedLibraryTest, public ::testing::WithParamInterface<StoredFormCase> {};

TEST_P(StoredForm, prefixColumnsFollowTheCut) {
    const StoredFormCase& c = GetParam();
    ASSERT_EQ(AddConfirmedSignature(units_, c.signature, "t"), AddOutcome::Added);
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
                      StoredFormCase{"tooShortText", "无法读取，文件太短", "无法读取，文", "无法读取，", "无"},
                      StoredFormCase{"lowerAndSpaced", "4d 5a 90 00 03 00 00", "4d 5a 90 00 03 00 00",
                                     "4d 5a 90 00 03 00", "4d 5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfirmedLibraryTest, duplicateIsRefusedAndDiffersByCaseOnly) {
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    EXPECT_EQ(AddConfirmedSignature(units_, kExeValue, "dll"), AddOutcome::Duplicate);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(AddConfirmedSignature(units_, "4d5a9000030000000400", "exe"), AddOutcome::Added);
    EXPECT_EQ(records().size(), 2u);
    EXPECT_EQ(list_.itemCount(), 2);
}

TEST_F(ConfirmedLibraryTest, longerValueIsAddedThoughItsFirstTwentyAreThere) {
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    EXPECT_EQ(AddConfirmedSignature(units_, std::string(kExeValue) + "FF", "exe2"), AddOutcome::Added);
    EXPECT_THAT(listedSignatures(), ElementsAre(kExeValue, kExeValue));
}

TEST_F(ConfirmedLibraryTest, emptyTypeAndSignatureAreStoredAsNothing) {
    ASSERT_EQ(AddConfirmedSignature(units_, "", ""), AddOutcome::Added);
    const std::vector<Record> stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], "<null>");
    EXPECT_EQ(stored[0][1], "<null>");
    EXPECT_EQ(list_.row(0)->cells, (std::vector<std::string>{"1", "", ""}));
}

struct TypeLengthCase {
    std::string_view name;
    std::string type;
    bool stored;
};

class TypeLength : public ConfirmedLibraryTest, public ::testing::WithParamInterface<TypeLengthCase> {};

// The column holds 50 characters; a longer type is refused whole, never cut.
TEST_P(TypeLength, overFiftyCharactersIsRefusedAndReported) {
    const TypeLengthCase& c = GetParam();
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, c.type), c.stored ? AddOutcome::Added : AddOutcome::Refused);
    EXPECT_EQ(records().size(), c.stored ? 1u : 0u);
    EXPECT_EQ(list_.itemCount(), c.stored ? 1 : 0);
    if (c.stored) {
        EXPECT_TRUE(messages_.empty());
    } else {
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_THAT(messages_[0], HasSubstr(std::string(kExeValue)));
        EXPECT_THAT(messages_[0], HasSubstr("Reason: "));
    }
}

std::string repeated(std::string_view piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

INSTANTIATE_TEST_SUITE_P(Lengths, TypeLength,
                         ::testing::Values(TypeLengthCase{"ascii50", repeated("x", 50), true},
                                           TypeLengthCase{"ascii51", repeated("x", 51), false},
                                           TypeLengthCase{"wide50", repeated("型", 50), true},
                                           TypeLengthCase{"wide51", repeated("型", 51), false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A hand-made store without one of the prefix columns: the add stops at the
// missing field, and nothing of the record is kept.
TEST_F(ConfirmedLibraryTest, fieldThatCannotBeWrittenLeavesNoPartialRecord) {
    insertDirectly("drop table \"文件特征值库\"; create table \"文件特征值库\" (\"编号\" integer primary key, "
                   "\"文件类型\" text, \"特征值20\" text, \"特征值4\" text)");
    ASSERT_TRUE(LoadConfirmedLibrary(units_));
    EXPECT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Refused);
    EXPECT_EQ(messages_.size(), 1u);
    auto db = sqlite::Database::open(path(), sqlite::OpenMode::ReadOnly);
    auto count = sqlite::Statement::prepare(*db, "select count(*) from \"文件特征值库\"");
    ASSERT_TRUE(count && count->step() == sqlite::StepResult::Row);
    EXPECT_EQ(std::get<std::int64_t>(count->column(0)), 0);
    EXPECT_EQ(list_.itemCount(), 0);
}

TEST_F(ConfirmedLibraryTest, lockedStoreRefusesTheAddWithItsReason) {
    auto holder = sqlite::Database::open(path(), sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(holder && holder->execute("begin exclusive"));
    EXPECT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Refused);
    ASSERT_FALSE(messages_.empty());
    EXPECT_THAT(messages_[0], HasSubstr("locked"));
    ASSERT_TRUE(holder->execute("rollback"));
    EXPECT_TRUE(records().empty());
}


TEST_F(ConfirmedLibraryTest, readOnlyStoreRefusesTheAddWithItsReason) {
    test::ReadOnlyFile readOnly(path());
    if (!readOnly.isReadOnly()) GTEST_SKIP() << "no way to make a file read-only for the superuser here";
    ASSERT_TRUE(LoadConfirmedLibrary(units_));
    EXPECT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Refused);
    EXPECT_FALSE(messages_.empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(ConfirmedLibraryTest, quotedValuesDeleteOnlyTheirOwnRecord) {
    const std::vector<std::string> values = {"A'B", "A", "B", "x\";drop t;--", "'", "''"};
    for (const std::string& value : values) ASSERT_EQ(AddConfirmedSignature(units_, value, "t"), AddOutcome::Added);
    for (const std::string& value : values)
        EXPECT_EQ(AddConfirmedSignature(units_, value, "t"), AddOutcome::Duplicate) << value;

    check("A'B");
    check("x\";drop t;--");
    check("'");
    ASSERT_TRUE(DeleteCheckedConfirmed(units_));
    EXPECT_THAT(listedSignatures(), ElementsAre("A", "B", "''"));
    EXPECT_EQ(records().size(), 3u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ConfirmedLibraryTest, deleteCheckedWithNothingCheckedKeepsEverything) {
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    ASSERT_TRUE(DeleteCheckedConfirmed(units_));
    EXPECT_EQ(list_.itemCount(), 1);
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(ConfirmedLibraryTest, deletingASharedSignatureDeletesEveryRecordWithIt) {
    insertDirectly(
        "insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('a', 'S'), ('b', 'S'), ('c', 'T')");
    ASSERT_TRUE(LoadConfirmedLibrary(units_));
    check("S");
    ASSERT_TRUE(DeleteCheckedConfirmed(units_));
    EXPECT_THAT(listedSignatures(), ElementsAre("T"));
}

TEST_F(ConfirmedLibraryTest, clearRemovesRecordsWithoutASignatureToo) {
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    ASSERT_EQ(AddConfirmedSignature(units_, "", "nothing"), AddOutcome::Added);
    insertDirectly("insert into \"文件特征值库\" (\"文件类型\", \"特征值20\") values ('blank', '')");
    ASSERT_TRUE(LoadConfirmedLibrary(units_));
    ASSERT_EQ(list_.itemCount(), 3);
    ASSERT_TRUE(DeleteAllConfirmed(units_));
    EXPECT_EQ(list_.itemCount(), 0);
    EXPECT_TRUE(records().empty());
}

TEST_F(ConfirmedLibraryTest, clearOnALockedStoreDeletesNothing) {
    for (const char* value : {"1111", "2222", "3333"}) ASSERT_EQ(AddConfirmedSignature(units_, value, "t"), AddOutcome::Added);
    auto holder = sqlite::Database::open(path(), sqlite::OpenMode::ReadWrite);
    ASSERT_TRUE(holder && holder->execute("begin exclusive"));
    EXPECT_FALSE(DeleteAllConfirmed(units_));
    EXPECT_FALSE(messages_.empty());
    ASSERT_TRUE(holder->execute("rollback"));
    EXPECT_EQ(records().size(), 3u);
    ASSERT_TRUE(LoadConfirmedLibrary(units_));
    EXPECT_EQ(list_.itemCount(), 3);
}

TEST_F(ConfirmedLibraryTest, addedRecordsAreFoundByTheLookup) {
    ASSERT_EQ(AddConfirmedSignature(units_, "4D5A", "short"), AddOutcome::Added);
    ASSERT_EQ(AddConfirmedSignature(units_, kExeValue, "exe"), AddOutcome::Added);
    ExternalDatabase lookupUnit(9);
    EXPECT_EQ(LookupFileType(lookupUnit, path(), kExeValue), "exe");
    EXPECT_EQ(LookupFileType(lookupUnit, path(), "4D5A5000020000000400"), "short");
    EXPECT_EQ(LookupFileType(lookupUnit, path(), "4D5B5000020000000400"), kUnknownFileType);
}

// A store the program cannot use: the list stays empty and an add is refused
// with a reason, never reported as done.
class UnusableStore : public ::testing::TestWithParam<std::string_view> {};

TEST_P(UnusableStore, listsNothingAndRefusesAdds) {
    test::TempDir dir;
    const std::string path = dir.file("data.mdb");
    if (GetParam() == "truncated") {
        ASSERT_EQ(ensureStoreExists(path).outcome, StoreCreation::Written);
        std::filesystem::resize_file(path, 100);
    } else if (GetParam() != "missing") {
        dir.write("data.mdb", GetParam() == "empty" ? std::string_view() : std::string_view("not a database at all"));
    }
    std::vector<std::string> messages;
    setMessagePresenter([&](MessageKind, const std::string& text, const std::string&) { messages.push_back(text); });
    ExternalDatabase database(1);
    DatabaseConnection connection(2);
    RecordSet recordSet(3);
    ReportList list(4, {{"序列", 40}, {"文件类", 80}, {"特征值", 200}});
    ConfirmedLibraryUnits units{database, connection, recordSet, list, path};
    EXPECT_FALSE(LoadConfirmedLibrary(units));
    EXPECT_EQ(list.itemCount(), 0);
    EXPECT_EQ(AddConfirmedSignature(units, kExeValue, "exe"), AddOutcome::Refused);
    EXPECT_FALSE(messages.empty());
    EXPECT_EQ(list.itemCount(), 0);
    setMessagePresenter({});
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnusableStore, ::testing::Values("missing", "empty", "truncated", "notSqlite"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vex

namespace vex {
namespace {

// The page's buttons and the store button on the loaded main window.
class ConfirmedLibraryOnMainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setMessagePresenter([](MessageKind, const std::string&, const std::string&) {});
        ASSERT_EQ(ensureStoreExists(path_).outcome, StoreCreation::Written);
        ASSERT_TRUE(session_.loaded());
        registerConfirmedLibraryHandlers(path_, model_);
        ConfirmedLibraryUnits units = mainWindowConfirmedLibrary(path_, model_);
        ASSERT_TRUE(LoadConfirmedLibrary(units));
    }
    void TearDown() override {
        model_.handlers().remove("DeleteCheckedConfirmed");
        model_.handlers().remove("DeleteAllConfirmed");
        setMessagePresenter({});
    }

    ReportList& list() { return model_.resolveAs<ReportList>(main_window::超级列表框2); }

    test::TempDir dir_;
    std::string path_ = dir_.file("data.mdb");
    WindowModel model_;
    MainWindowSession session_{model_};
};

TEST_F(ConfirmedLibraryOnMainWindow, duplicateOpensTheMessageWindow) {
    EXPECT_EQ(AddConfirmedSignatureOnMainWindow(kExeValue, "exe", path_, model_), AddOutcome::Added);
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    EXPECT_EQ(AddConfirmedSignatureOnMainWindow(kExeValue, "exe", path_, model_), AddOutcome::Duplicate);
    ASSERT_TRUE(model_.isLoaded(message_window::kWindowId));
    EXPECT_EQ(model_.readProperty(message_window::标签1, property::kLabelCaption),
              Value(std::string(kDuplicateSignatureMessage)));
    EXPECT_EQ(list().itemCount(), 1);
}

TEST_F(ConfirmedLibraryOnMainWindow, buttonsDeleteCheckedThenAll) {
    for (const char* value : {"1111", "2222", "3333"})
        ASSERT_EQ(AddConfirmedSignatureOnMainWindow(value, "t", path_, model_), AddOutcome::Added);
    list().setCheckState(1, 1);
    EXPECT_TRUE(model_.raiseEvent(main_window::按钮6, event::kClicked).handled);
    ASSERT_EQ(list().itemCount(), 2);
    EXPECT_EQ(list().itemText(1, 2), "3333");
    EXPECT_EQ(list().itemText(1, 0), "2");
    EXPECT_TRUE(model_.raiseEvent(main_window::按钮5, event::kClicked).handled);
    EXPECT_EQ(list().itemCount(), 0);
}

}  // namespace
}  // namespace vex
