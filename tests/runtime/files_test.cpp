#include "runtime/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "tests/support/file_contents.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::readAll;
using test::TempDir;

ByteSet bytesOf(const std::string& text) { return ByteSet(text.begin(), text.end()); }

class FilesTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(openFileCount(), 0) << "a test left a file number open"; }
    TempDir dir;
};

// ---------------------------------------------------------------------------
// fileExists / isDirectory

struct ExistsCase {
    const char* name;  // relative to the scratch folder; "" stays empty
    bool exists;
    bool directory;
};

class FileExistsTest : public FilesTest, public ::testing::WithParamInterface<ExistsCase> {
protected:
    void SetUp() override {
        dir.write("a.txt", "x");
        dir.write("photo [1].jpg", "x");
        std::filesystem::create_directory(dir.file("sub.d"));
        std::filesystem::create_directory_symlink(dir.file("sub.d"), dir.file("link-to-dir"));
        std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling"));
    }
};

TEST_P(FileExistsTest, answersLikeADirectorySearch) {
    const ExistsCase& c = GetParam();
    const std::string name = *c.name ? dir.file(c.name) : std::string();
    EXPECT_EQ(fileExists(name), c.exists) << c.name;
    EXPECT_EQ(isDirectory(name), c.directory) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileExistsTest,
    ::testing::Values(ExistsCase{"a.txt", true, false}, ExistsCase{"sub.d", true, true},
                      ExistsCase{"sub.d/", true, true}, ExistsCase{"link-to-dir", true, true},
                      ExistsCase{"dangling", true, false}, ExistsCase{"missing.txt", false, false},
                      ExistsCase{"", false, false}, ExistsCase{"*.txt", true, false},
                      ExistsCase{"?.txt", true, false}, ExistsCase{"*.png", false, false},
                      ExistsCase{"photo [1].jpg", true, false}, ExistsCase{"photo [1].*", true, false},
                      ExistsCase{"photo [2].*", false, false}, ExistsCase{"missing/*", false, false}));

// ---------------------------------------------------------------------------
// renameFile

TEST_F(FilesTest, renameFile_movesTheFile) {
    const std::string from = dir.write("frag0001.chk", "PK");
    std::string error = "stale";
    ASSERT_TRUE(renameFile(from, dir.file("frag0001.zip"), &error));
    EXPECT_FALSE(fileExists(from));
    EXPECT_EQ(readAll(dir.file("frag0001.zip")), "PK");
}

TEST_F(FilesTest, renameFile_neverReplacesAnExistingTarget) {
    const std::string from = dir.write("a.chk", "new");
    const std::string to = dir.write("a.zip", "precious");
    std::string error;
    EXPECT_FALSE(renameFile(from, to, &error));
    EXPECT_NE(error.find("exists"), std::string::npos) << error;
    EXPECT_EQ(readAll(to), "precious");
    EXPECT_EQ(readAll(from), "new");

    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_FALSE(renameFile(from, dir.file("folder")));
    EXPECT_EQ(readAll(from), "new");
}

TEST_F(FilesTest, renameFile_failsWithAReasonForBadNames) {
    std::string error;
    EXPECT_FALSE(renameFile(dir.file("missing"), dir.file("b"), &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(renameFile("", dir.file("b"), &error));
    EXPECT_FALSE(renameFile(dir.write("a", "x"), "", &error));
    EXPECT_FALSE(renameFile(dir.file("a"), dir.file("no-folder/b"), &error));
    EXPECT_EQ(readAll(dir.file("a")), "x");
    EXPECT_TRUE(renameFile(dir.file("a"), dir.file("b")));
}

// ---------------------------------------------------------------------------
// writeFile

TEST_F(FilesTest, writeFile_writesEveryPartInOrder) {
    const ByteSet parts[] = {bytesOf("MZ"), {}, bytesOf("\x90"), bytesOf(std::string("\0x", 2))};
    ASSERT_TRUE(writeFile(dir.file("out.bin"), parts));
    EXPECT_EQ(readAll(dir.file("out.bin")), std::string("MZ\x90\0x", 5));
    ASSERT_TRUE(writeFile(dir.file("out.bin"), bytesOf("short")));
    EXPECT_EQ(readAll(dir.file("out.bin")), "short");
    ASSERT_TRUE(writeFile(dir.file("empty.bin"), ByteSet{}));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("empty.bin")));
}

TEST_F(FilesTest, writeFile_refusesNamesItCannotWrite) {
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_FALSE(writeFile("", bytesOf("x")));
    EXPECT_FALSE(writeFile(dir.file("folder"), bytesOf("x")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    EXPECT_FALSE(writeFile(dir.file("no-folder/out.bin"), bytesOf("x")));
    EXPECT_EQ(test::entryCount(dir.path()), 1);
}

TEST_F(FilesTest, writeFile_sharesNothingWithAnOpenReader) {
    const std::string name = dir.write("held.ini", "old");
    const int reader = openFile(name, open_mode::kRead, share_mode::kShareAll);
    ASSERT_NE(reader, 0);
    EXPECT_FALSE(writeFile(name, bytesOf("new")));
    EXPECT_EQ(readAll(name), "old");
    closeFile(reader);
    EXPECT_TRUE(writeFile(name, bytesOf("new")));
    EXPECT_EQ(readAll(name), "new");
}

TEST_F(FilesTest, writeFile_toSpecialFilesNeverBlocks) {
    EXPECT_TRUE(writeFile("/dev/null", bytesOf("discarded")));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(writeFile(dir.file("pipe"), bytesOf("nobody reads")));  // no reader: refused at once
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// ---------------------------------------------------------------------------
// openFile and the numbered-file commands

struct BadOpenCase {
    const char* name;
    int openMode;
    int shareMode;
};

class OpenFileRejectsTest : public FilesTest, public ::testing::WithParamInterface<BadOpenCase> {};

TEST_P(OpenFileRejectsTest, givesZero) {
    dir.write("exists.bin", "data");
    std::filesystem::create_directory(dir.file("folder"));
    const BadOpenCase& c = GetParam();
    const std::string name = *c.name ? dir.file(c.name) : std::string();
    EXPECT_EQ(openFile(name, c.openMode, c.shareMode), 0);
    EXPECT_EQ(readAll(dir.file("exists.bin")), "data");
}

INSTANTIATE_TEST_SUITE_P(Arguments, OpenFileRejectsTest,
                         ::testing::Values(BadOpenCase{"", 3, 1}, BadOpenCase{"exists.bin", 0, 1},
                                           BadOpenCase{"exists.bin", 7, 1}, BadOpenCase{"exists.bin", -1, 1},
                                           BadOpenCase{"exists.bin", 3, 0}, BadOpenCase{"exists.bin", 3, 5},
                                           BadOpenCase{"missing.bin", 1, 1}, BadOpenCase{"missing.bin", 2, 1},
                                           BadOpenCase{"missing.bin", 3, 1}, BadOpenCase{"folder", 1, 1},
                                           BadOpenCase{"folder", 3, 1}, BadOpenCase{"folder", 6, 1},
                                           BadOpenCase{"no-folder/new.bin", 4, 1},
                                           BadOpenCase{"no-folder/new.bin", 6, 1}));

TEST_F(FilesTest, openFile_createModesCreateAndOnlyModeFourTruncates) {
    for (const int mode :
         {open_mode::kCreateTruncate, open_mode::kWriteCreate, open_mode::kReadWriteCreate}) {
        const std::string fresh = dir.file("fresh" + std::to_string(mode));
        const int created = openFile(fresh, mode);
        EXPECT_NE(created, 0) << mode;
        closeFile(created);
        EXPECT_TRUE(std::filesystem::is_regular_file(fresh)) << mode;

        const std::string kept = dir.write("kept" + std::to_string(mode), "content");
        const int reopened = openFile(kept, mode);
        ASSERT_NE(reopened, 0) << mode;
        EXPECT_EQ(getFileLength(reopened), mode == open_mode::kCreateTruncate ? 0 : 7) << mode;
        closeFile(reopened);
    }
}

TEST_F(FilesTest, readBytes_readsUpToTheEndThenNothing) {
    const int file = openFile(dir.write("four.bin", "ABCD"), open_mode::kRead);
    ASSERT_NE(file, 0);
    EXPECT_EQ(getFileLength(file), 4);
    EXPECT_EQ(readBytes(file, 10), bytesOf("ABCD"));
    EXPECT_TRUE(readBytes(file, 10).empty());
    EXPECT_TRUE(moveToStartOfFile(file));
    EXPECT_EQ(readBytes(file, 2), bytesOf("AB"));
    EXPECT_EQ(readBytes(file, 2), bytesOf("CD"));
    EXPECT_TRUE(moveToStartOfFile(file));
    EXPECT_TRUE(readBytes(file, 0).empty());
    EXPECT_TRUE(readBytes(file, -5).empty());
    EXPECT_EQ(readBytes(file, 0x7fffffff), bytesOf("ABCD"));  // a huge length on a small file
    closeFile(file);
}

TEST_F(FilesTest, numberedCommands_ignoreUnknownAndClosedNumbers) {
    const int file = openFile(dir.write("a.bin", "AB"), open_mode::kRead);
    ASSERT_NE(file, 0);
    closeFile(file);
    for (const int number : {file, 0, -1, 123456}) {
        EXPECT_FALSE(moveToStartOfFile(number)) << number;
        EXPECT_TRUE(readBytes(number, 4).empty()) << number;
        EXPECT_EQ(getFileLength(number), -1) << number;
        closeFile(number);  // does nothing
    }
}

TEST_F(FilesTest, readBytes_fromAWriteOnlyFileFailsAndLeavesTheNumberUsable) {
    const int file = openFile(dir.write("w.bin", "ABCD"), open_mode::kWrite);
    ASSERT_NE(file, 0);
    EXPECT_TRUE(readBytes(file, 4).empty());
    EXPECT_EQ(getFileLength(file), 4);
    closeFile(file);
}

TEST_F(FilesTest, openFile_onAFifoNeverBlocks) {
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(openFile(pipe, open_mode::kWrite), 0);  // no reader
    const int reader = openFile(pipe, open_mode::kRead);
    ASSERT_NE(reader, 0);
    EXPECT_TRUE(readBytes(reader, 10).empty());  // no writer, nothing waiting
    EXPECT_TRUE(moveToStartOfFile(reader));
    closeFile(reader);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(FilesTest, readBytes_fromADeviceGivesExactlyTheLength) {
    const int zero = openFile("/dev/zero", open_mode::kRead);
    ASSERT_NE(zero, 0);
    EXPECT_EQ(readBytes(zero, 10), ByteSet(10, 0));
    EXPECT_EQ(readBytes(zero, 100000).size(), 100000u);
    closeFile(zero);
}

TEST_F(FilesTest, fileNumbersAreDistinctAndNonZero) {
    const std::string name = dir.write("a.bin", "x");
    const int first = openFile(name, open_mode::kRead);
    const int second = openFile(name, open_mode::kRead);
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
    closeFile(first);
    EXPECT_EQ(getFileLength(second), 1);
    closeFile(second);
}

TEST_F(FilesTest, permissionDenied_givesZeroAndFalse) {
    const std::string secret = dir.write("secret.bin", "s");
    ::chmod(secret.c_str(), 0000);
    std::filesystem::create_directory(dir.file("locked"));
    const std::string inside = dir.write("locked/in.bin", "i");
    ::chmod(dir.file("locked").c_str(), 0555);
    EXPECT_TRUE(test::runUnprivileged(dir, [&] {
        return openFile(secret, open_mode::kRead) == 0 &&
               openFile(secret, open_mode::kReadWriteCreate) == 0 &&
               !writeFile(dir.file("locked/new.bin"), bytesOf("x")) && !writeFile(inside, bytesOf("x")) &&
               !renameFile(inside, dir.file("locked/moved.bin")) && openFileCount() == 0;
    }));
    EXPECT_EQ(readAll(inside), "i");
    EXPECT_FALSE(fileExists(dir.file("locked/new.bin")));
}

// Every command, pointed into a folder that is missing or read-only, answers
// with its failure value and leaves nothing behind.
bool everyCommandFailsQuietlyIn(const std::string& folder, const std::string& existing) {
    const std::string fresh = folder + "/fresh.bin";
    bool ok = !fileExists(fresh) && !fileExists(folder + "/*.none") && !isDirectory(fresh);
    ok =
        ok && !writeFile(fresh, bytesOf("x")) && !renameFile(existing, fresh) && !renameFile(fresh, existing);
    for (int mode = open_mode::kRead; mode <= open_mode::kReadWriteCreate; ++mode) {
        ok = ok && openFile(fresh, mode) == 0;
    }
    const int none = openFile(fresh, open_mode::kWriteCreate);
    ok = ok && none == 0 && getFileLength(none) == -1 && readBytes(none, 10).empty() &&
         !moveToStartOfFile(none);
    std::string content = "stale";
    ok = ok && !readWholeFile(fresh, content) && content.empty();
    return ok && !fileExists(fresh) && openFileCount() == 0;
}

TEST_F(FilesTest, missingFolder_everyCommandFailsQuietly) {
    const std::string existing = dir.write("kept.bin", "kept");
    EXPECT_TRUE(everyCommandFailsQuietlyIn(dir.file("no/such/folder"), existing));
    EXPECT_EQ(readAll(existing), "kept");
}

TEST_F(FilesTest, readOnlyFolder_refusesNewFilesButStillReads) {
    std::filesystem::create_directory(dir.file("ro"));
    const std::string inside = dir.write("ro/inside.bin", "ABCD");
    const std::string existing = dir.write("kept.bin", "kept");
    ::chmod(dir.file("ro").c_str(), 0555);
    EXPECT_TRUE(test::runUnprivileged(dir, [&] {
        bool ok = everyCommandFailsQuietlyIn(dir.file("ro"), existing);
        const int reader = openFile(inside, open_mode::kRead);
        ok = ok && reader != 0 && readBytes(reader, 10) == bytesOf("ABCD") && getFileLength(reader) == 4;
        closeFile(reader);
        std::string content;
        return ok && readWholeFile(inside, content) && content == "ABCD";
    }));
    EXPECT_EQ(readAll(existing), "kept");
    EXPECT_EQ(test::entryCount(dir.file("ro")), 1);
}

// ---------------------------------------------------------------------------
// Share modes between two openers

struct ShareCase {
    int firstMode, firstShare, secondMode, secondShare;
    bool secondOpens;
};

class ShareModeTest : public FilesTest, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModeTest, secondOpenerSeesTheFirstOnesShareMode) {
    const ShareCase& c = GetParam();
    const std::string name = dir.write("shared.bin", "content");
    const int first = openFile(name, c.firstMode, c.firstShare);
    ASSERT_NE(first, 0);
    const int second = openFile(name, c.secondMode, c.secondShare);
    EXPECT_EQ(second != 0, c.secondOpens);
    closeFile(second);
    closeFile(first);
    // Once both are closed nothing holds the file any more.
    const int again = openFile(name, c.secondMode, c.secondShare);
    EXPECT_NE(again, 0);
    closeFile(again);
}

using namespace open_mode;
using namespace share_mode;
INSTANTIATE_TEST_SUITE_P(Pairs, ShareModeTest,
                         ::testing::Values(ShareCase{kRead, kShareAll, kRead, kShareAll, true},
                                           ShareCase{kRead, kShareAll, kReadWrite, kShareAll, true},
                                           ShareCase{kRead, kDenyWrite, kRead, kShareAll, true},
                                           ShareCase{kRead, kDenyWrite, kWrite, kShareAll, false},
                                           ShareCase{kRead, kDenyWrite, kWriteCreate, kShareAll, false},
                                           ShareCase{kReadWrite, kDenyRead, kRead, kShareAll, false},
                                           ShareCase{kReadWrite, kDenyRead, kWrite, kShareAll, true},
                                           ShareCase{kWrite, kShareAll, kRead, kDenyWrite, false},
                                           ShareCase{kRead, kShareAll, kWrite, kDenyRead, false},
                                           ShareCase{kWrite, kDenyRead, kWrite, kDenyRead, true},
                                           ShareCase{kRead, kDenyWrite, kRead, kDenyWrite, true},
                                           ShareCase{kRead, kShareAll, kRead, kExclusive, false},
                                           ShareCase{kRead, kExclusive, kRead, kShareAll, false},
                                           ShareCase{kWrite, kExclusive, kWrite, kShareAll, false}));

TEST_F(FilesTest, truncatingOpenIsRefusedWithoutCuttingAHeldFile) {
    const std::string name = dir.write("held.bin", "content");
    const int holder = openFile(name, open_mode::kRead, share_mode::kDenyWrite);
    ASSERT_NE(holder, 0);
    EXPECT_EQ(openFile(name, open_mode::kCreateTruncate), 0);
    EXPECT_EQ(readAll(name), "content");
    closeFile(holder);
}

TEST_F(FilesTest, shareModesHoldBetweenProcesses) {
    const std::string name = dir.write("cross.bin", "content");
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);  // so the parent's close is seen as end of file
        const int held = openFile(name, open_mode::kReadWrite, share_mode::kExclusive);
        const char status = held != 0 ? 'y' : 'n';
        (void)!::write(ready[1], &status, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1);  // until the parent has looked
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char status = 0;
    ASSERT_EQ(::read(ready[0], &status, 1), 1);
    ASSERT_EQ(status, 'y');
    EXPECT_EQ(openFile(name, open_mode::kRead), 0);
    EXPECT_FALSE(writeFile(name, bytesOf("x")));
    ::close(release[1]);
    int childStatus = 0;
    ::waitpid(child, &childStatus, 0);
    ::close(ready[0]);
    const int after = openFile(name, open_mode::kRead);
    EXPECT_NE(after, 0);
    closeFile(after);
}

}  // namespace
}  // namespace vex
