// A library table made by hand without the columns the program writes: no
// value may match a column's name, so nothing is refused as a duplicate or
// deleted because of it.

#include <gtest/gtest.h>

#include "flow/confirm.h"
#include "flow/lists.h"
#include "library/store_schema.h"
#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

TEST(HandMadeLibrary, aValueSpelledLikeAMissingColumnMatchesNothing) {
    test::TempDir dir;
    const DataDirectory data(dir.path());
    const std::string table = sqlite::quoteIdentifier(store_schema::kTable);
    auto db = sqlite::Database::open(data.libraryPath(), sqlite::OpenMode::ReadWriteCreate);
    ASSERT_TRUE(db && db->execute("create table " + table + " (x text); insert into " + table +
                                  " values ('a'), ('b')"));
    const std::string columnName = store_schema::signatureColumnName(20);

    // The confirm rules refuse such a value; the store must not take it for a duplicate either.
    auto store = SignatureStore::open(data.libraryPath());
    ASSERT_TRUE(store);
    std::string reason;
    EXPECT_EQ(store->add(columnName, "t", &reason), SignatureStore::AddResult::Refused)
        << "never a duplicate of the column's name";
    EXPECT_NE(reason, "");

    EXPECT_NE(deleteConfirmed(data, {columnName}).error, "");
    auto count = sqlite::Statement::prepare(*db, "select count(*) from " + table);
    ASSERT_TRUE(count && count->step() == sqlite::StepResult::Row);
    EXPECT_EQ(std::get<std::int64_t>(count->column(0)), 2) << "no record deleted";

    const Listing<StoredSignature> listing = listConfirmed(data);
    EXPECT_NE(listing.error, "");
    EXPECT_TRUE(listing.entries.empty());
}

}  // namespace
}  // namespace vex
