// The rename journal must give back every path exactly, whatever bytes it holds, and tell which renames
// the identification list may not hold yet, also after a run that died in the middle of a line.

#include "library/rename_journal.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace vex {
namespace {

std::vector<JournalRecord> readBack(const std::string& file) {
    std::vector<JournalRecord> records;
    EXPECT_EQ(readRenameJournal(file, records), "");
    return records;
}

TEST(RenameJournal, awkwardPathsComeBackByteForByte) {
    test::TempDir dir;
    const std::string file = dir.file("rename.journal");
    const std::vector<std::pair<std::string, std::string>> renames = {
        {"/d/a\tb", "/d/a\tb.png"},
        {"/d/line\nbreak", "/d/line\nbreak.pdf"},
        {"/d/back\\slash\\t", "/d/x\\n.jpg"},
        {"/d/cr\r", "/d/cr\r.gif"},
        {"/d/\xE6\x96\x87\xE4\xBB\xB6", "/d/\xE6\x96\x87.zip"},
        {"/d/\xFF\xFE broken", "/d/\xFF.bin"},
        {"/d/trailing\\", "/d/trailing\\.x"},
    };
    {
        RenameJournalWriter writer;
        ASSERT_EQ(writer.open(file), "");
        for (const auto& [from, to] : renames)
            ASSERT_EQ(writer.appendRename(from, to, "89504E47", "png"), "");
    }
    const std::vector<JournalRecord> unsaved = unsavedRenames(readBack(file));
    ASSERT_EQ(unsaved.size(), renames.size());
    for (std::size_t i = 0; i < renames.size(); ++i) {
        EXPECT_EQ(unsaved[i].oldPath, renames[i].first);
        EXPECT_EQ(unsaved[i].newPath, renames[i].second);
        EXPECT_EQ(unsaved[i].type, "png");
    }
}

TEST(RenameJournal, onlyRenamesAfterTheLastSavedLineAreUnsaved) {
    test::TempDir dir;
    const std::string file = dir.file("rename.journal");
    for (int run = 0; run < 2; ++run) {
        RenameJournalWriter writer;
        ASSERT_EQ(writer.open(file), "");
        writer.appendRename("/a" + std::to_string(run), "/a.x", "", "x");
        writer.appendSaved();
        writer.appendRename("/b" + std::to_string(run), "/b.x", "", "x");
        ASSERT_EQ(writer.flush(), "");
    }
    const std::vector<JournalRecord> records = readBack(file);
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const JournalRecord& r) { return r.kind == JournalRecord::Kind::Run; }),
              2);
    const std::vector<JournalRecord> unsaved = unsavedRenames(records);
    ASSERT_EQ(unsaved.size(), 1u);
    EXPECT_EQ(unsaved[0].oldPath, "/b1");
}

// Each step: 'R' a run begins, 'r' rename, 'u' undo, 'f' failed (of `name`), 's' saved.
struct StandingCase {
    const char* label;
    std::vector<std::pair<char, std::string>> steps;
    std::vector<std::string> standing;  // old paths of the last standing run
};

class LastStandingRun : public ::testing::TestWithParam<StandingCase> {};

TEST_P(LastStandingRun, isTheNewestRunWithRenamesNotTakenBack) {
    test::TempDir dir;
    const std::string file = dir.file("rename.journal");
    {
        RenameJournalWriter writer;
        ASSERT_EQ(writer.open(file), "");
        for (const auto& [step, name] : GetParam().steps) {
            switch (step) {
                case 'R':
                    writer = RenameJournalWriter();
                    ASSERT_EQ(writer.open(file), "");
                    break;
                case 'r':
                    writer.appendRename("/" + name, "/" + name + ".x", "", "x");
                    break;
                case 'u':
                    writer.appendUndo("/" + name, "/" + name + ".x", "", "x");
                    break;
                case 'f':
                    writer.appendFailed("/" + name, "/" + name + ".x");
                    break;
                default:
                    writer.appendSaved();
            }
        }
    }
    std::vector<std::string> standing;
    for (const JournalRecord& rename : lastStandingRun(readBack(file)))
        standing.push_back(rename.oldPath.substr(1));
    EXPECT_EQ(standing, GetParam().standing);
}

INSTANTIATE_TEST_SUITE_P(
    Journals, LastStandingRun,
    ::testing::Values(
        StandingCase{"noRenames", {{'s', ""}}, {}},
        StandingCase{
            "lastRunOnly", {{'r', "a"}, {'s', ""}, {'R', ""}, {'r', "b"}, {'r', "c"}, {'s', ""}}, {"b", "c"}},
        StandingCase{"failedRenameNeverStood", {{'r', "a"}, {'r', "b"}, {'f', "b"}}, {"a"}},
        StandingCase{"undoneRunGivesWayToTheOneBefore",
                     {{'r', "a"}, {'R', ""}, {'r', "b"}, {'u', "b"}, {'s', ""}},
                     {"a"}},
        StandingCase{
            "failedUndoStillStands", {{'r', "a"}, {'R', ""}, {'r', "b"}, {'u', "b"}, {'f', "b"}}, {"b"}},
        StandingCase{"renamedAgainLaterStandsAgain", {{'r', "a"}, {'u', "a"}, {'R', ""}, {'r', "a"}}, {"a"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RenameJournal, anUndoIsReadAsTheMoveBackForReconciling) {
    test::TempDir dir;
    const std::string file = dir.file("rename.journal");
    RenameJournalWriter writer;
    ASSERT_EQ(writer.open(file), "");
    writer.appendRename("/a", "/a.x", "S", "x");
    writer.appendSaved();
    writer.appendUndo("/a", "/a.x", "S", "x");
    const std::vector<JournalRecord> unsaved = unsavedRenames(readBack(file));
    ASSERT_EQ(unsaved.size(), 1u);
    EXPECT_EQ(unsaved[0].oldPath, "/a.x");
    EXPECT_EQ(unsaved[0].newPath, "/a");
}

TEST(RenameJournal, aLineCutShortIsSkippedAndCannotSwallowTheNextRecord) {
    test::TempDir dir;
    const std::string file = dir.file("rename.journal");
    std::ofstream(file, std::ios::binary)
        << "vexorin-rename-journal\t1\nrename\t/a\t/a.png\t\tpng\nrename\t/b\t/b.p";
    EXPECT_EQ(unsavedRenames(readBack(file)).size(), 1u);
    RenameJournalWriter writer;
    ASSERT_EQ(writer.open(file), "");
    ASSERT_EQ(writer.appendRename("/c", "/c.gif", "", "gif"), "");
    const std::vector<JournalRecord> unsaved = unsavedRenames(readBack(file));
    ASSERT_EQ(unsaved.size(), 2u);
    EXPECT_EQ(unsaved[1].oldPath, "/c");
    EXPECT_EQ(unsaved[1].newPath, "/c.gif");
}

TEST(RenameJournal, aMissingJournalHoldsNothing) {
    test::TempDir dir;
    EXPECT_TRUE(readBack(dir.file("none")).empty());
}

}  // namespace
}  // namespace vex
