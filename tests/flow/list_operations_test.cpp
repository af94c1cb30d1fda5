// Deleting from and clearing the two list files: what is written, what is
// left alone, and what the caller is shown afterwards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "flow/lists.h"
#include "tests/support/file_contents.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class ListOperationsTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    std::string setIni_ = data_.experimentListPath();
    std::string setokIni_ = data_.identificationListPath();
};

TEST_F(ListOperationsTest, clearingAMissingLibraryCreatesAnEmptyFile) {
    ASSERT_EQ(clearExperiments(data_).error, "");
    EXPECT_TRUE(fs::exists(setIni_));
    EXPECT_EQ(fs::file_size(setIni_), 0u);
    const Listing<ExperimentEntry> listing = listExperiments(data_);
    EXPECT_EQ(listing.error, "");
    EXPECT_TRUE(listing.entries.empty());
}

TEST_F(ListOperationsTest, deletingNothingListedRewritesNothing) {
    const std::string before = "[/a]\n特征值=1\n;keep me\n";
    test::writeAll(setIni_, before);
    const auto stamp = fs::last_write_time(setIni_);
    std::vector<ExperimentEntry> after;
    for (const std::vector<std::string>& paths : {std::vector<std::string>{}, {"/not-listed"}}) {
        ASSERT_EQ(deleteExperiments(data_, paths, &after).error, "");
        EXPECT_EQ(test::readAll(setIni_), before);
        EXPECT_EQ(fs::last_write_time(setIni_), stamp);
        EXPECT_EQ(after.size(), 1u);
    }
}

TEST_F(ListOperationsTest, deletingEntriesKeepsTheRestAndComments) {
    test::writeAll(
        setokIni_,
        "; notes\r\n[/a]\r\ntype=1\r\ntype1=x\r\n[/b]\r\ntype=2\r\n; about c\r\n[/c]\r\ntype=3\r\n");
    std::vector<IdentificationEntry> after;
    ASSERT_EQ(deleteIdentifications(data_, {"/a", "/c"}, &after).error, "");
    EXPECT_EQ(test::readAll(setokIni_), "; notes\r\n[/b]\r\ntype=2\r\n; about c\r\n");
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].path, "/b");
}

TEST_F(ListOperationsTest, unreadableListFileIsReportedAndNeverOverwritten) {
    fs::create_directory(setokIni_);
    EXPECT_NE(listIdentifications(data_).error, "");
    EXPECT_NE(clearIdentifications(data_).error, "");
    std::vector<IdentificationEntry> after;
    EXPECT_NE(deleteIdentifications(data_, {"/a"}, &after).error, "");
    EXPECT_TRUE(after.empty());
    EXPECT_TRUE(fs::is_directory(setokIni_));
}

// Run without root's power over permission bits, so the refusal is real.
TEST(ListOperations, readOnlyFolderReportsAndLosesNothing) {
    test::TempDir dir;
    const DataDirectory data(dir.file("data"));
    fs::create_directory(data.folder());
    test::writeAll(data.experimentListPath(), "[/a]\r\n特征值=1\r\n");
    ::chmod(data.experimentListPath().c_str(), 0644);
    ::chmod(data.folder().c_str(), 0555);
    EXPECT_TRUE(test::runUnprivileged(dir, [&] {
        std::vector<ExperimentEntry> after;
        return !deleteExperiments(data, {"/a"}, &after).error.empty() && after.size() == 1 &&
               !clearExperiments(data).error.empty();
    }));
    EXPECT_EQ(test::readAll(data.experimentListPath()), "[/a]\r\n特征值=1\r\n");
    EXPECT_EQ(listExperiments(data).entries.size(), 1u);
}

}  // namespace
}  // namespace vex
