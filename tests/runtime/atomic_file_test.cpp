#include "runtime/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "tests/support/file_contents.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::entryCount;
using test::readAll;
using test::TempDir;

mode_t permissionBits(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class AtomicSaveTest : public ::testing::Test {
protected:
    void TearDown() override { setAtomicSaveWriteFunction({}); }
    TempDir dir;
};

TEST_F(AtomicSaveTest, createsANewFileWithTheUsualPermissions) {
    const mode_t previous = ::umask(022);
    const std::string path = dir.file("set.ini");
    EXPECT_EQ(saveFileAtomically(path, "[a]\r\nk=v\r\n"), "");
    ::umask(previous);
    EXPECT_EQ(readAll(path), "[a]\r\nk=v\r\n");
    EXPECT_EQ(permissionBits(path), 0644u);
    EXPECT_EQ(entryCount(dir.path()), 1);
}

TEST_F(AtomicSaveTest, replacesContentAndKeepsPermissionBits) {
    const std::string path = dir.write("setok.ini", "a much longer old content than the new one");
    ::chmod(path.c_str(), 0640);
    EXPECT_EQ(saveFileAtomically(path, "new"), "");
    EXPECT_EQ(readAll(path), "new");
    EXPECT_EQ(permissionBits(path), 0640u);
    EXPECT_EQ(saveFileAtomically(path, ""), "");
    EXPECT_EQ(readAll(path), "");
    EXPECT_EQ(entryCount(dir.path()), 1);
}

TEST_F(AtomicSaveTest, removesTemporariesThatKilledSaversLeftButNoOthers) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // its process id now names no process
    const std::string folder = std::filesystem::path(dir.file("set.ini")).parent_path().string();
    auto temporary = [&](long pid) { return folder + "/.set.ini." + std::to_string(pid) + "-0-1.tmp"; };
    for (const std::string& name : {temporary(child), temporary(::getpid()), temporary(1),
                                    folder + "/.other.ini." + std::to_string(child) + "-0-1.tmp"})
        std::ofstream(name) << "left";

    ASSERT_EQ(saveFileAtomically(dir.file("set.ini"), "[a]\n"), "");

    EXPECT_FALSE(std::filesystem::exists(temporary(child)));
    EXPECT_TRUE(std::filesystem::exists(temporary(::getpid())));
    EXPECT_TRUE(std::filesystem::exists(temporary(1)));
    EXPECT_TRUE(std::filesystem::exists(folder + "/.other.ini." + std::to_string(child) + "-0-1.tmp"));
}

TEST_F(AtomicSaveTest, savingThroughALinkReplacesItsTarget) {
    const std::string target = dir.write("real.ini", "old");
    const std::string link = dir.file("link.ini");
    std::filesystem::create_symlink(target, link);
    EXPECT_EQ(saveFileAtomically(link, "new"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readAll(target), "new");
}

// A write that fails part-way (full disk, I/O error) must leave the old file as it
// was and no temporary file behind.
struct WriteFault {
    const char* label;
    int failOnCall;  // 1-based call of the write function that fails
    int error;       // errno of the failure; 0 makes the call write nothing
};

class AtomicSaveFaultTest : public AtomicSaveTest, public ::testing::WithParamInterface<WriteFault> {};

TEST_P(AtomicSaveFaultTest, oldFileSurvivesUntouched) {
    const WriteFault fault = GetParam();
    const std::string path = dir.write("set.ini", "precious old content");
    int calls = 0;
    setAtomicSaveWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (++calls == fault.failOnCall) {
            errno = fault.error;
            return fault.error ? -1 : 0;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 3));  // short writes until then
    });
    const std::string error = saveFileAtomically(path, "replacement that never fully arrives");
    EXPECT_NE(error, "") << fault.label;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(readAll(path), "precious old content") << fault.label;
    EXPECT_EQ(entryCount(dir.path()), 1) << "temporary file left behind: " << fault.label;
}

INSTANTIATE_TEST_SUITE_P(Faults, AtomicSaveFaultTest,
                         ::testing::Values(WriteFault{"disk full at once", 1, ENOSPC},
                                           WriteFault{"disk full midway", 4, ENOSPC},
                                           WriteFault{"i/o error", 2, EIO}, WriteFault{"no progress", 3, 0}));

TEST_F(AtomicSaveTest, diskFullReasonReachesTheCaller) {
    const std::string path = dir.write("set.ini", "old");
    setAtomicSaveWriteFunction([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    EXPECT_NE(saveFileAtomically(path, "new").find("No space left"), std::string::npos);
}

TEST_F(AtomicSaveTest, interruptedWritesAreRetried) {
    int calls = 0;
    setAtomicSaveWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (++calls % 2 == 1) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, data, std::min<std::size_t>(size, 5));
    });
    const std::string path = dir.file("out.ini");
    EXPECT_EQ(saveFileAtomically(path, "0123456789abcdef"), "");
    EXPECT_EQ(readAll(path), "0123456789abcdef");
}

TEST_F(AtomicSaveTest, refusesWhatIsNotARegularFile) {
    std::filesystem::create_directory(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_NE(saveFileAtomically("", "x"), "");
    EXPECT_NE(saveFileAtomically(dir.file("folder"), "x"), "");
    EXPECT_NE(saveFileAtomically(dir.file("pipe"), "x"), "");
    EXPECT_NE(saveFileAtomically(dir.file("no-folder/set.ini"), "x"), "");
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe")));
    EXPECT_EQ(entryCount(dir.path()), 2);
}

TEST_F(AtomicSaveTest, readOnlyFileAndFolderAreLeftAlone) {
    const std::string readOnly = dir.write("ro.ini", "kept");
    ::chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(dir.file("locked"));
    const std::string inLocked = dir.write("locked/set.ini", "kept too");
    ::chmod(inLocked.c_str(), 0666);
    ::chmod(dir.file("locked").c_str(), 0555);
    EXPECT_TRUE(test::runUnprivileged(dir, [&] {
        return saveFileAtomically(readOnly, "new").find("Permission denied") != std::string::npos &&
               !saveFileAtomically(inLocked, "new").empty() &&
               !saveFileAtomically(dir.file("locked/fresh.ini"), "new").empty();
    }));
    EXPECT_EQ(readAll(readOnly), "kept");
    EXPECT_EQ(readAll(inLocked), "kept too");
    EXPECT_EQ(entryCount(dir.file("locked")), 1);
}

}  // namespace
}  // namespace vex
