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

    const ConfirmOutcome added = AddConfirmedSignature(data, columnName, "t");
    EXPECT_EQ(added.result, ConfirmOutcome::Result::Refused) << "never a duplicate of the column's name";
    EXPECT_NE(added.reason, "");

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
