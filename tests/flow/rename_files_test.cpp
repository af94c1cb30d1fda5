// Renaming identified files to their probable type.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "flow/lists.h"
#include "flow/rename.h"
#include "runtime/atomic_file.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

// The files renamed here begin with these bytes, so the listed signature value is theirs.
const std::string kJpegHeader("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
constexpr const char* kJpeg = "FFD8FFE000104A464946";

class RenameFilesTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_.file("files")); }
    void TearDown() override { setAtomicSaveWriteFunction({}); }

    std::string file(const std::string& name, const std::string& bytes = kJpegHeader) {
        const std::string path = dir_.file("files/" + name);
        test::writeAll(path, bytes);
        return path;
    }
    void recordIdentifications(const std::vector<std::array<std::string, 3>>& entries) {
        IdentificationList list(data_.identificationListPath());
        ASSERT_EQ(list.load(), "");
        for (const auto& [signature, path, type] : entries) ASSERT_EQ(list.record(signature, path, type), "");
        ASSERT_EQ(list.save(), "");
    }
    // Every listed file, as the window asks when all rows are checked.
    std::vector<RenameRequest> everyListedFile() {
        std::vector<RenameRequest> requests;
        for (const IdentificationEntry& entry : listIdentifications(data_).entries)
            requests.push_back({entry.path, entry.type, entry.signature});
        return requests;
    }
    static std::vector<std::string> pathsOf(const std::vector<IdentificationEntry>& entries) {
        std::vector<std::string> paths;
        for (const IdentificationEntry& entry : entries) paths.push_back(entry.path);
        return paths;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
};

struct RenameCase {
    const char* name;
    std::string fileName;  // created in the files folder
    std::string type;
    std::string expectedName;  // empty: not renamed
    bool listedAsFailure;
};

class RenameOne : public RenameFilesTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameOne, renamesWithinTheFolderAndMovesTheEntryOnlyOnSuccess) {
    const RenameCase& c = GetParam();
    const std::string path = file(c.fileName);
    recordIdentifications({{"FFD8FFE000104A464946", path, c.type}});

    std::vector<IdentificationEntry> after;
    const RenameOutcome outcome = renameFiles(data_, everyListedFile(), &after);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.refused.size(), c.listedAsFailure ? 1u : 0u);
    ASSERT_EQ(after.size(), 1u);
    if (c.expectedName.empty()) {
        EXPECT_TRUE(outcome.renamed.empty());
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(after[0].path, path);
        return;
    }
    const std::string expected = dir_.file("files/" + c.expectedName);
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(outcome.renamed[0], std::make_pair(path, expected));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(expected));
    EXPECT_EQ(after[0].fileClass, c.type);
    EXPECT_EQ(after[0].signature, "FFD8FFE000104A464946");
    EXPECT_EQ(after[0].path, expected);
    EXPECT_EQ(after[0].type, c.type);
    EXPECT_EQ(test::readAll(data_.identificationListPath()),
              "[" + expected + "]\r\ntype1=" + c.type + "\r\ntype=FFD8FFE000104A464946\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameOne,
    ::testing::Values(RenameCase{"replacesExtension", "a.dat", "jpg", "a.jpg", false},
                      RenameCase{"addsMissingExtension", "readme", "txt", "readme.txt", false},
                      RenameCase{"unknownTypeSkippedQuietly", "u.dat", "未知类型", "", false},
                      RenameCase{"readDefaultNeverAnExtension", "d.dat", "Un", "", true},
                      RenameCase{"noClassNeverAnExtension", "n.dat", "无类型", "", true},
                      RenameCase{"slashInTypeRefused", "s.dat", "../evil", "", true},
                      RenameCase{"alreadyNamedAfterType", "p.jpg", "jpg", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenameFilesTest, renameInsideDottedFolderStaysInThatFolder) {
    fs::create_directories(dir_.file("files/x.d"));
    const std::string path = file("x.d/readme");
    recordIdentifications({{kJpeg, path, "txt"}});
    const RenameOutcome outcome = renameFiles(data_, everyListedFile());
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(outcome.renamed[0].second, path + ".txt");
    EXPECT_TRUE(fs::exists(path + ".txt"));
}

TEST_F(RenameFilesTest, renameNeverReplacesAndKeepsEntriesOfFailures) {
    const std::string a = file("a.dat", "original a"), taken = file("a.jpg", "someone else's");
    const std::string gone = dir_.file("files/gone.dat");
    const std::string b = file("b.dat");
    recordIdentifications({{"6F726967696E616C2061", a, "jpg"}, {kJpeg, gone, "png"}, {kJpeg, b, "gif"}});

    std::vector<IdentificationEntry> after;
    const RenameOutcome outcome = renameFiles(data_, everyListedFile(), &after);
    EXPECT_EQ(outcome.error, "");
    ASSERT_EQ(outcome.refused.size(), 2u);
    EXPECT_EQ(outcome.refused[0].subject, a);
    EXPECT_EQ(outcome.refused[1].subject, gone);
    EXPECT_EQ(test::readAll(taken), "someone else's");
    EXPECT_EQ(test::readAll(a), "original a");
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(pathsOf(after), (std::vector<std::string>{a, gone, dir_.file("files/b.gif")}));
}

TEST_F(RenameFilesTest, renameUndoneWhenTheListFileCannotBeWritten) {
    const std::string a = file("a.dat");
    recordIdentifications({{kJpeg, a, "jpg"}});
    const std::string before = test::readAll(data_.identificationListPath());
    const std::vector<RenameRequest> requests = everyListedFile();
    setAtomicSaveWriteFunction([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    std::vector<IdentificationEntry> after;
    const RenameOutcome outcome = renameFiles(data_, requests, &after);
    EXPECT_NE(outcome.error, "");
    EXPECT_TRUE(outcome.renamed.empty());
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(test::readAll(data_.identificationListPath()), before);
    EXPECT_EQ(pathsOf(after), std::vector<std::string>{a});
}

TEST_F(RenameFilesTest, undoTakesBackWhatItCanOfTheLastRunAndNamesTheRest) {
    // A partial run: c's new name is taken, so c was never renamed and is no part of the undo.
    const std::string a = file("a.dat"), b = file("b.dat"), c = file("c.dat"), d = file("d.dat");
    const std::string blocker = file("c.jpg", "blocker 10");
    recordIdentifications({{kJpeg, a, "jpg"}, {kJpeg, b, "jpg"}, {kJpeg, c, "jpg"}, {kJpeg, d, "jpg"}});
    ASSERT_EQ(renameFiles(data_, everyListedFile()).renamed.size(), 3u);
    const std::string aNew = dir_.file("files/a.jpg"), bNew = dir_.file("files/b.jpg"),
                      dNew = dir_.file("files/d.jpg");
    test::writeAll(a, "a newcomer takes the old name");
    test::writeAll(dNew, "rewritten since the rename");

    std::vector<IdentificationEntry> after;
    const UndoRenameOutcome undone = undoLastRename(data_, &after);
    EXPECT_EQ(undone.error, "");
    EXPECT_EQ(undone.tried, 3u);
    EXPECT_EQ(undone.renamed, (std::vector<std::pair<std::string, std::string>>{{bNew, b}}));
    ASSERT_EQ(undone.refused.size(), 2u);
    EXPECT_EQ(undone.refused[0].subject, dNew);
    EXPECT_NE(undone.refused[0].reason.find("changed"), std::string::npos) << undone.refused[0].reason;
    EXPECT_EQ(undone.refused[1].subject, aNew);
    EXPECT_NE(undone.refused[1].reason.find(a), std::string::npos) << undone.refused[1].reason;
    EXPECT_EQ(test::readAll(a), "a newcomer takes the old name");
    EXPECT_EQ(test::readAll(blocker), "blocker 10");
    EXPECT_EQ(test::readAll(b), kJpegHeader);
    std::vector<std::string> listed = pathsOf(after);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{aNew, b, c, dNew}));

    // What could not go back still stands: the next undo tries it again, and only it.
    fs::remove(a);
    test::writeAll(dNew, kJpegHeader);
    const UndoRenameOutcome again = undoLastRename(data_);
    EXPECT_TRUE(again.refused.empty());
    EXPECT_EQ(again.renamed, (std::vector<std::pair<std::string, std::string>>{{dNew, d}, {aNew, a}}));
    EXPECT_EQ(undoLastRename(data_).tried, 0u);  // nothing of any run stands any more
    EXPECT_EQ(listIdentifications(data_).entries.size(), 4u);
}

}  // namespace
}  // namespace vex
