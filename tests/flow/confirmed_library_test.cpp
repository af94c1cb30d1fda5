// Confirming, deleting and clearing through the operations the window and
// the command line share: what they store, and the reason each refusal gives.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "flow/confirm.h"
#include "flow/lists.h"
#include "library/store.h"
#include "runtime/sqlite.h"
#include "tests/support/file_contents.h"
#include "tests/support/read_only_file.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Result = ConfirmOutcome::Result;

constexpr std::string_view kExeValue = "4D5A9000030000000400";

std::vector<std::string> signaturesOf(const std::vector<StoredSignature>& records) {
    std::vector<std::string> signatures;
    for (const StoredSignature& record : records) signatures.push_back(record.signature);
    return signatures;
}

class ConfirmedLibraryFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sqlite::setDefaultBusyTimeout(200);
        ASSERT_EQ(ensureStoreExists(data_.libraryPath()).outcome, StoreCreation::Written);
    }
    void TearDown() override { sqlite::setDefaultBusyTimeout(sqlite::kDefaultBusyTimeoutMs); }

    std::vector<StoredSignature> listed() {
        Listing<StoredSignature> listing = listConfirmed(data_);
        EXPECT_EQ(listing.error, "");
        return listing.entries;
    }

    void add(std::string_view signature, std::string_view type = "t") {
        const ConfirmOutcome outcome = AddConfirmedSignature(data_, signature, type);
        ASSERT_EQ(outcome.result, Result::Added) << outcome.reason;
    }

    // A record as a library edited by hand may hold it, past the confirm rules.
    void storeVerbatim(std::string_view signature, std::string_view type = "t") {
        auto store = SignatureStore::open(data_.libraryPath());
        ASSERT_TRUE(store);
        ASSERT_EQ(store->add(signature, type), SignatureStore::AddResult::Added);
    }

    // Another program holding the store's write lock until the test lets go.
    std::optional<sqlite::Database> lockStore() {
        auto holder = sqlite::Database::open(data_.libraryPath(), sqlite::OpenMode::ReadWrite);
        EXPECT_TRUE(holder && holder->execute("begin exclusive"));
        return holder;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
};

TEST_F(ConfirmedLibraryFlowTest, addedValueIsListedAndItsDuplicateRefusedWithTheMessage) {
    const ConfirmOutcome added = AddConfirmedSignature(data_, kExeValue, "exe");
    EXPECT_EQ(added.result, Result::Added);
    EXPECT_EQ(added.reason, "");
    const ConfirmOutcome again = AddConfirmedSignature(data_, kExeValue, "dll");
    EXPECT_EQ(again.result, Result::Duplicate);
    EXPECT_EQ(again.reason, kDuplicateSignatureMessage);
    ASSERT_EQ(listed().size(), 1u);
    EXPECT_EQ(listed()[0].type, "exe");
}

struct TypeLengthCase {
    std::string_view name;
    std::string type;
    bool stored;
};

class TypeLength : public ConfirmedLibraryFlowTest, public ::testing::WithParamInterface<TypeLengthCase> {};

std::string repeated(std::string_view piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

// The column holds 50 characters; a longer type is refused whole, never cut.
TEST_P(TypeLength, overFiftyCharactersIsRefusedWithTheValueAndReason) {
    const TypeLengthCase& c = GetParam();
    const ConfirmOutcome outcome = AddConfirmedSignature(data_, kExeValue, c.type);
    ASSERT_EQ(outcome.result, c.stored ? Result::Added : Result::Invalid);
    EXPECT_EQ(listed().size(), c.stored ? 1u : 0u);
    if (c.stored) {
        EXPECT_EQ(outcome.reason, "");
    } else {
        EXPECT_THAT(outcome.reason, HasSubstr(std::string(kExeValue)));
        EXPECT_THAT(outcome.reason, HasSubstr("Reason: "));
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, TypeLength,
                         ::testing::Values(TypeLengthCase{"ascii50", repeated("x", 50), true},
                                           TypeLengthCase{"ascii51", repeated("x", 51), false},
                                           TypeLengthCase{"wide50", repeated("型", 50), true},
                                           TypeLengthCase{"wide51", repeated("型", 51), false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfirmedLibraryFlowTest, lockedStoreRefusesTheAddWithItsReason) {
    auto holder = lockStore();
    const ConfirmOutcome outcome = AddConfirmedSignature(data_, kExeValue, "exe");
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_THAT(outcome.reason, HasSubstr("locked"));
    ASSERT_TRUE(holder->execute("rollback"));
    EXPECT_TRUE(listed().empty());
}

TEST_F(ConfirmedLibraryFlowTest, readOnlyStoreRefusesTheAddWithItsReason) {
    test::ReadOnlyFile readOnly(data_.libraryPath());
    if (!readOnly.isReadOnly()) GTEST_SKIP() << "no way to make a file read-only for the superuser here";
    const ConfirmOutcome outcome = AddConfirmedSignature(data_, kExeValue, "exe");
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_NE(outcome.reason, "");
    EXPECT_TRUE(listed().empty());
}

TEST_F(ConfirmedLibraryFlowTest, deletingNothingKeepsEverything) {
    add(kExeValue, "exe");
    std::vector<StoredSignature> after;
    EXPECT_EQ(deleteConfirmed(data_, {}, &after).error, "");
    EXPECT_EQ(after.size(), 1u);
    EXPECT_EQ(listed().size(), 1u);
}

TEST_F(ConfirmedLibraryFlowTest, deletingQuotedValuesListsWhatIsLeft) {
    for (const char* value : {"A'B", "A", "x\";drop t;--", "''"}) storeVerbatim(value);
    std::vector<StoredSignature> after;
    EXPECT_EQ(deleteConfirmed(data_, {"A'B", "x\";drop t;--"}, &after).error, "");
    EXPECT_THAT(signaturesOf(after), ElementsAre("A", "''"));
    EXPECT_THAT(signaturesOf(listed()), ElementsAre("A", "''"));
}

// Either every checked record goes or, when the store refuses, none does.
TEST_F(ConfirmedLibraryFlowTest, deleteAndClearOnALockedStoreDeleteNothing) {
    for (const char* value : {"1111", "2222", "3333"}) add(value);
    auto holder = lockStore();
    EXPECT_THAT(deleteConfirmed(data_, {"1111", "3333"}).error, HasSubstr("Reason: "));
    EXPECT_THAT(clearConfirmed(data_).error, HasSubstr("Reason: "));
    ASSERT_TRUE(holder->execute("rollback"));
    EXPECT_EQ(listed().size(), 3u);
}

TEST_F(ConfirmedLibraryFlowTest, clearRemovesEveryRecord) {
    add(kExeValue, "exe");
    storeVerbatim("", "nothing");
    EXPECT_EQ(clearConfirmed(data_).error, "");
    EXPECT_TRUE(listed().empty());
}

// A data folder without a library gets the empty one, as at start-up.
TEST_F(ConfirmedLibraryFlowTest, missingLibraryIsWrittenEmptyFirst) {
    std::filesystem::remove(data_.libraryPath());
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(data_.libraryPath()));
    add(kExeValue, "exe");
    EXPECT_EQ(listed().size(), 1u);
}

// A library the program cannot use: it lists nothing and every change is
// refused with a reason, never reported as done; the file is left as it was.
class UnusableLibrary : public ::testing::TestWithParam<std::string_view> {};

TEST_P(UnusableLibrary, listsNothingAndRefusesEveryChange) {
    test::TempDir dir;
    DataDirectory data(dir.path());
    if (GetParam() == "missingFolder") {
        data = DataDirectory(dir.file("no-such-folder"));
    } else if (GetParam() == "truncated") {
        ASSERT_EQ(ensureStoreExists(data.libraryPath()).outcome, StoreCreation::Written);
        std::filesystem::resize_file(data.libraryPath(), 100);
    } else {
        dir.write("data.mdb",
                  GetParam() == "empty" ? std::string_view() : std::string_view("not a database at all"));
    }
    const std::string before = test::readAll(data.libraryPath());

    const Listing<StoredSignature> listing = listConfirmed(data);
    EXPECT_NE(listing.error, "");
    EXPECT_TRUE(listing.entries.empty());
    const ConfirmOutcome outcome = AddConfirmedSignature(data, kExeValue, "exe");
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_NE(outcome.reason, "");
    EXPECT_NE(deleteConfirmed(data, {std::string(kExeValue)}).error, "");
    EXPECT_NE(clearConfirmed(data).error, "");
    EXPECT_EQ(test::readAll(data.libraryPath()), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnusableLibrary,
                         ::testing::Values("missingFolder", "empty", "truncated", "notSqlite"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vex
