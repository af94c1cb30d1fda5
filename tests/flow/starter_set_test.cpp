// The shipped starter set passes the rules every import applies: each row a
// valid confirm pair in its stored form, no value twice, and the whole file
// imports into an empty library without a bad row.

#include "flow/starter_set.h"

#include <gtest/gtest.h>

#include <set>

#include "flow/confirm_rules.h"
#include "flow/library_exchange.h"
#include "flow/lists.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

TEST(StarterSet, everyRowPassesTheConfirmRulesAndNoValueRepeats) {
    const std::string path = starterSetPath();
    ASSERT_NE(path, "") << "the starter set is found in the source tree";
    const ParsedExchange parsed = parseCsv(test::readAll(path));
    for (const Refusal& bad : parsed.bad) ADD_FAILURE() << bad.subject << ": " << bad.reason;
    ASSERT_GE(parsed.rows.size(), 150u);
    std::set<std::string> values;
    for (const ExchangeRow& row : parsed.rows) {
        const ConfirmCheck check = checkConfirmedPair(row.signature, row.type);
        EXPECT_EQ(check.reason, "") << "line " << row.line;
        EXPECT_EQ(check.signature, row.signature) << "line " << row.line << ": written in its stored form";
        EXPECT_TRUE(values.insert(check.signature).second) << "line " << row.line << " repeats a value";
    }

    test::TempDir dir;
    const DataDirectory data(dir.path());
    const ImportOutcome imported = importConfirmedFile(data, path, std::nullopt, false);
    ASSERT_EQ(imported.error, "");
    EXPECT_TRUE(imported.bad.empty());
    EXPECT_EQ(imported.added.size(), parsed.rows.size());
    EXPECT_EQ(listConfirmed(data).entries.size(), parsed.rows.size());
}

}  // namespace
}  // namespace vex
