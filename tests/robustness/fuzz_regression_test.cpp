// Inputs the fuzz targets once found failing, kept so the faults stay mended in the
// ordinary test run too (the fuzz corpus keeps the raw bytes).

#include <gtest/gtest.h>

#include "runtime/database_backend.h"
#include "runtime/external_database.h"
#include "runtime/ini.h"

namespace vex {
namespace {

class ConnectionTextRoundTrip : public ::testing::TestWithParam<std::string> {};

// The library path read back out of the connection text we build must be the path
// itself, or a lookup would quietly open another file.
TEST_P(ConnectionTextRoundTrip, givesBackThePathItWasBuiltFrom) {
    const std::string& path = GetParam();
    for (const Value& password : {Value(), Value(std::string("tulip"))}) {
        EXPECT_EQ(database_backend::databaseFileFromConnectionText(
                      buildExternalDatabaseConnectionText(path, Value(), password)),
                  path);
    }
}

INSTANTIATE_TEST_SUITE_P(FuzzRegressions, ConnectionTextRoundTrip,
                         ::testing::Values("{M", "{/data.mdb", "{a}b/data.mdb", "{x/data.mdb}/y",
                                           "/a;b=c/data.mdb", "/a/{b}/data.mdb", "", ";", "data.mdb;"));

TEST(ConnectionText, bracesStillQuoteAWholeValue) {
    EXPECT_EQ(database_backend::databaseFileFromConnectionText("ODBC;DBQ={/x;y.mdb};PWD=z;"), "/x;y.mdb");
    EXPECT_EQ(database_backend::databaseFileFromConnectionText("ODBC;DBQ={/x;y.mdb}"), "/x;y.mdb");
}

// A name or key that the file would read back without its tabs must be refused, not
// reported as stored: the entry would otherwise vanish, or turn into another file's.
class IniTabAtTheEnds : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(IniTabAtTheEnds, isRefusedRatherThanLostOnReload) {
    const auto& [section, key] = GetParam();
    IniDocument document = IniDocument::parse("[a]\nk=v\n");
    EXPECT_NE(document.setValue(section, key, "value"), "");
    const IniDocument reloaded = IniDocument::parse(document.serialise());
    EXPECT_EQ(reloaded.sectionNames(), std::vector<std::string>{"a"});
    EXPECT_EQ(reloaded.serialise(), "[a]\nk=v\n");
}

INSTANTIATE_TEST_SUITE_P(FuzzRegressions, IniTabAtTheEnds,
                         ::testing::Values(std::pair<std::string, std::string>{"SPACE\v", "KEY"},
                                           std::pair<std::string, std::string>{"\t/x/a.bin", "type"},
                                           std::pair<std::string, std::string>{"/x/a.bin\t", "type"},
                                           std::pair<std::string, std::string>{"/x/a.bin", "\ttype"},
                                           std::pair<std::string, std::string>{"/x/a.bin", "type\v"}));

// Deleting a section must not make another appear: a line left behind that starts
// with a byte-order mark would read as a header once it ends up first in the file.
TEST(IniRemoveSection, leavesOnlyCommentsBehindAndRaisesNoNewSection) {
    for (const std::string& text : {std::string("[\n\xEF\xBB\xBF[a\xEF\xBB\xBF]\nk[c]i=v"),
                                    std::string("[x]\n\xEF\xBB\xBF[a]\n; note\nk=v\n[y]\nk=w\n")}) {
        IniDocument document = IniDocument::parse(text);
        const auto namesBefore = document.sectionNames();
        document.removeSection(namesBefore.empty() ? "" : namesBefore.front());
        const IniDocument reloaded = IniDocument::parse(document.serialise());
        EXPECT_EQ(reloaded.sectionNames(), document.sectionNames()) << document.serialise();
    }
    IniDocument document = IniDocument::parse("[x]\n; note\nk=v\n[y]\nk=w\n");
    document.removeSection("x");
    EXPECT_EQ(document.serialise(), "; note\n[y]\nk=w\n");
}

}  // namespace
}  // namespace vex
