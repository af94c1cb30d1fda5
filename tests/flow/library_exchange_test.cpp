// Export and import of the confirmed library: a round trip keeps every row and
// its order; a malformed file names each bad row by its line and changes nothing.

#include "flow/library_exchange.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "flow/confirm.h"
#include "flow/lists.h"
#include "library/store.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::pair<std::string, std::string>> rowsOf(const std::vector<StoredSignature>& records) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const StoredSignature& record : records) rows.emplace_back(record.signature, record.type);
    return rows;
}

std::vector<std::string> subjectsOf(const std::vector<Refusal>& refusals) {
    std::vector<std::string> subjects;
    for (const Refusal& refusal : refusals) subjects.push_back(refusal.subject);
    return subjects;
}

class LibraryExchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ensureStoreExists(data_.libraryPath()).outcome, StoreCreation::Written);
    }
    std::vector<StoredSignature> listed(const DataDirectory& data) {
        Listing<StoredSignature> listing = listConfirmed(data);
        EXPECT_EQ(listing.error, "");
        return listing.entries;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
};

// Random libraries with types that need quoting in CSV and escaping in JSON.
TEST_F(LibraryExchange, exportThenImportIntoAnEmptyLibraryGivesTheSameRowsInTheSameOrder) {
    const char* typePieces[] = {"exe", "型", ",", "\"", " ", "'", "无类型", "x;y", "\\", "é"};
    std::mt19937 random(2024);
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 60; ++i) {
            std::string signature;
            const int digits = 4 + static_cast<int>(random() % 17);
            for (int d = 0; d < digits; ++d) signature += "0123456789ABCDEF"[random() % 16];
            std::string type;
            for (int p = 1 + static_cast<int>(random() % 4); p > 0; --p) type += typePieces[random() % 10];
            AddConfirmedSignature(data_, signature,
                                  type);  // a rare repeated value is refused, as it should be
        }
        const std::vector<StoredSignature> original = listed(data_);
        for (ExchangeFormat format : {ExchangeFormat::Csv, ExchangeFormat::Json}) {
            const std::string file = dir_.file("export" + std::to_string(round) +
                                               (format == ExchangeFormat::Csv ? ".csv" : ".json"));
            ASSERT_EQ(exportConfirmed(data_, format, file).error, "");
            test::TempDir otherDir;
            const DataDirectory other(otherDir.path());
            const ImportOutcome imported = importConfirmedFile(other, file, std::nullopt, false);
            ASSERT_EQ(imported.error, "");
            EXPECT_TRUE(imported.bad.empty()) << imported.bad[0].subject << ": " << imported.bad[0].reason;
            EXPECT_EQ(imported.added.size(), original.size());
            EXPECT_EQ(rowsOf(listed(other)), rowsOf(original));
        }
    }
}

struct MalformedCase {
    std::string_view name;
    std::string text;
    std::vector<std::string> badLines;
};

const MalformedCase kMalformed[] = {
    {"emptyFile", "", {"line 1"}},
    {"onlyByteOrderMark", "\xEF\xBB\xBF", {"line 1"}},
    {"wrongHeader", "sig,type\r\n4D5A,exe\r\n", {"line 1"}},
    {"headerInOtherOrder", "type,signature\n4D5A,exe\n", {"line 1"}},
    {"quoteNeverClosed", "signature,type\n4D5A,exe\n\"CAFEBABE,class\nFFD8FF,jpg\n", {"line 3"}},
    {"quoteInsidePlainField", "signature,type\n4D5A,ex\"e\nFFD8FF,jpg\n", {"line 2"}},
    {"textAfterClosingQuote", "signature,type\n\"4D5A\"x,exe\nFFD8FF,jpg\n", {"line 2"}},
    {"nonHex", "signature,type\n4D5A,exe\nZZZZ,z\n0x1234,y\n", {"line 3", "line 4"}},
    {"typeOf51Characters", "signature,type\n4D5A," + std::string(51, 't') + "\n", {"line 2"}},
    {"tooManyFields", "signature,type\n4D5A,exe,extra\n", {"line 2"}},
    {"tooFewFields", "signature,type\n4D5A\n", {"line 2"}},
    {"duplicateRows", "signature,type\n4D5A,exe\nFFD8FF,jpg\n4D5A,exe\nffd8ff,jpeg\n", {"line 4", "line 5"}},
    // A quoted field over two lines: the row after it is counted from its own line.
    {"lineNumbersPastAQuotedLineBreak", "signature,type\n\"4D5A\",\"a\nb\"\nZZZZ,z\n", {"line 2", "line 4"}},
    {"crlfWithBadRow", "\xEF\xBB\xBFsignature,type\r\n4D5A,exe\r\n12,x\r\n", {"line 3"}},
    {"jsonUnclosedArray", "[", {"line 1"}},
    {"jsonSyntaxErrorOnItsLine",
     "[\n{\"signature\":\"4D5A\",\"type\":\"exe\"},\n{\"signature\":}\n]",
     {"line 3"}},
    {"jsonNotAnArray", "{\"signature\":\"4D5A\",\"type\":\"exe\"}", {"line 1"}},
    {"jsonElementNotAnObject",
     "[\n{\"signature\":\"4D5A\",\"type\":\"exe\"},\n\"FFD8FF\",\n{\"signature\":\"FFD8FF\",\"type\":\"jpg\"}"
     "\n]",
     {"line 3"}},
    {"jsonMissingOrNonTextMember",
     "[{\"signature\":\"4D5A\"},\n {\"signature\":17,\"type\":\"x\"},\n "
     "{\"signature\":\"ABCD\",\"type\":\"a\"}]",
     {"line 1", "line 2"}},
    {"jsonRuleBroken", "[\n {\"signature\": \"4D5A\", \"type\": \"a/b\"}\n]", {"line 2"}},
};

class MalformedImport : public LibraryExchange, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedImport, namesEachBadRowByLineAndChangesNothing) {
    const MalformedCase& c = GetParam();
    ASSERT_EQ(AddConfirmedSignature(data_, "89504E47", "png").result, ConfirmOutcome::Result::Added);
    const std::string before = test::readAll(data_.libraryPath());
    const ImportOutcome outcome = importConfirmed(data_, c.text, std::nullopt, false);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(subjectsOf(outcome.bad), c.badLines);
    for (const Refusal& bad : outcome.bad) EXPECT_NE(bad.reason, "") << bad.subject;
    EXPECT_TRUE(outcome.stoppedByBadRows);
    EXPECT_TRUE(outcome.added.empty());
    EXPECT_EQ(test::readAll(data_.libraryPath()), before);
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedImport, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

// Spreadsheets write a byte order mark and CRLF; both are read, and quoted fields keep commas.
TEST_F(LibraryExchange, byteOrderMarkCrlfAndQuotedCommasImport) {
    const ImportOutcome outcome = importConfirmed(
        data_,
        "\xEF\xBB\xBFsignature,type,format\r\n4d5a,exe,\"DOS, Windows\"\r\n\r\n\"FFD8FF\",\"j,pg\",x\r\n",
        std::nullopt, false);
    ASSERT_EQ(outcome.error, "");
    EXPECT_TRUE(outcome.bad.empty());
    EXPECT_THAT(rowsOf(listed(data_)), ElementsAreArray(std::vector<std::pair<std::string, std::string>>{
                                           {"4D5A", "exe"}, {"FFD8FF", "j,pg"}}));
}

TEST_F(LibraryExchange, heldValuesAreSkippedOrReportedAsConflictsAndBadRowsSkippedOnRequest) {
    ASSERT_EQ(AddConfirmedSignature(data_, "4D5A", "exe").result, ConfirmOutcome::Result::Added);
    ASSERT_EQ(AddConfirmedSignature(data_, "FFD8FF", "jpg").result, ConfirmOutcome::Result::Added);
    const std::string text = "signature,type\n4d5a,exe\nFFD8FF,jpeg\nZZ,bad\nCAFEBABE,class\n";
    const ImportOutcome stopped = importConfirmed(data_, text, ExchangeFormat::Csv, false);
    EXPECT_TRUE(stopped.stoppedByBadRows);
    EXPECT_EQ(listed(data_).size(), 2u);

    const ImportOutcome outcome = importConfirmed(data_, text, ExchangeFormat::Csv, true);
    ASSERT_EQ(outcome.error, "");
    EXPECT_FALSE(outcome.stoppedByBadRows);
    EXPECT_EQ(rowsOf(outcome.added),
              (std::vector<std::pair<std::string, std::string>>{{"CAFEBABE", "class"}}));
    EXPECT_EQ(outcome.skipped, 1u);
    EXPECT_EQ(subjectsOf(outcome.conflicts), std::vector<std::string>{"line 3"});
    EXPECT_EQ(subjectsOf(outcome.bad), std::vector<std::string>{"line 4"});
    EXPECT_EQ(rowsOf(listed(data_)), (std::vector<std::pair<std::string, std::string>>{
                                         {"4D5A", "exe"}, {"FFD8FF", "jpg"}, {"CAFEBABE", "class"}}));
}

TEST_F(LibraryExchange, fileThatIsNoRegularFileIsRefusedWithoutReading) {
    EXPECT_NE(importConfirmedFile(data_, dir_.path(), std::nullopt, false).error, "");
    EXPECT_NE(importConfirmedFile(data_, dir_.file("missing.csv"), std::nullopt, false).error, "");
}

}  // namespace
}  // namespace vex
