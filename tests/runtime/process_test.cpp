#include "runtime/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::readAll;
using test::TempDir;
using Clock = std::chrono::steady_clock;

struct SplitCase {
    const char* commandLine;
    std::vector<std::string> arguments;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, readsArgumentsLikeAWindowsProgram) {
    EXPECT_EQ(splitCommandLine(GetParam().commandLine), GetParam().arguments) << GetParam().commandLine;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SplitCommandLineTest,
    ::testing::Values(SplitCase{"explorer /select,/data/a b.txt", {"explorer", "/select,/data/a", "b.txt"}},
                      SplitCase{"explorer \"/select,/data/a b.txt\"", {"explorer", "/select,/data/a b.txt"}},
                      SplitCase{"  a\t\tb  ", {"a", "b"}}, SplitCase{"", {}}, SplitCase{"   ", {}},
                      SplitCase{"\"\"", {""}}, SplitCase{"a \"\" b", {"a", "", "b"}},
                      SplitCase{"x\"a b\"y", {"xa by"}}, SplitCase{"\"a\"\"b\"", {"a\"b"}},
                      SplitCase{"a\\b\\\\c", {"a\\b\\\\c"}}, SplitCase{"a\\\"b", {"a\"b"}},
                      SplitCase{"\"a\\\\\" b", {"a\\", "b"}},
                      SplitCase{"\"unterminated arg", {"unterminated arg"}}));

class ProcessTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ProcessTest, waitingRunReturnsAfterTheProgramEnded) {
    const std::string out = dir.file("out.txt");
    EXPECT_TRUE(runCommandLine("sh -c \"sleep 0.2; printf 'done here' > '" + out + "'\"", true));
    EXPECT_EQ(readAll(out), "done here");
    EXPECT_TRUE(runCommandLine("false", true));  // started is all that counts, not the exit code
}

TEST_F(ProcessTest, programsThatCannotStartGiveFalse) {
    const std::string notExecutable = dir.write("script.sh", "#!/bin/sh\n");
    for (const std::string& commandLine :
         {std::string(), std::string("   "), std::string("no-such-program-vexorin --x"), dir.path(),
          notExecutable, dir.file("missing/prog")}) {
        EXPECT_FALSE(runCommandLine(commandLine, true)) << commandLine;
        EXPECT_FALSE(runCommandLine(commandLine, false)) << commandLine;
    }
    EXPECT_FALSE(startProcess({}, true));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a failed start left a child behind";
}

TEST_F(ProcessTest, runWithoutWaitingReturnsAtOnceAndLeavesNoZombie) {
    const auto start = Clock::now();
    EXPECT_TRUE(runCommandLine("sleep 5", false));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    // The program lives on, but not as our child: nothing to reap, ever.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ProcessTest, detachedProgramRunsWithItsArguments) {
    const std::string out = dir.file("detached.txt");
    ASSERT_TRUE(startProcess({"sh", "-c", "printf '%s' \"$1\" > \"$2\"", "sh", "a b; $(x)", out}, false));
    for (int i = 0; i < 100 && readAll(out).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(readAll(out), "a b; $(x)");
}

TEST_F(ProcessTest, startedProgramsInheritNoStrayDescriptors) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    const int stray = ::dup2(devNull, 57);  // dup2 gives a descriptor without O_CLOEXEC
    ::close(devNull);
    ASSERT_EQ(stray, 57);
    const std::string out = dir.file("fds.txt");
    EXPECT_TRUE(startProcess({"sh", "-c", "ls /proc/$$/fd > \"$1\"", "sh", out}, true));
    ::close(stray);
    const std::string listed = readAll(out);
    EXPECT_NE(listed.find("0\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("57"), std::string::npos) << listed;
}

TEST_F(ProcessTest, openWebAddressGoesThroughTheInstalledOpener) {
    std::vector<std::string> opened;
    setWebAddressOpener([&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    openWebAddress("https://example.org/vexorin");
    openWebAddress();
    openWebAddress("");
    setWebAddressOpener({});
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/vexorin", kDefaultWebAddress,
                                                kDefaultWebAddress}));
}

TEST_F(ProcessTest, defaultOpenerPassesTheAddressAsOneArgumentToXdgOpen) {
    const std::string out = dir.file("xdg-open.args");
    const std::string fake = dir.write("xdg-open", "#!/bin/sh\nprintf '%s|' \"$@\" > '" + out + "'\n");
    ::chmod(fake.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir.path() + ":" + oldPath).c_str(), 1);
    const std::string address = "https://example.org/?a=1&b=$(touch pwned) x";
    openWebAddress(address);
    ::setenv("PATH", oldPath.c_str(), 1);
    for (int i = 0; i < 100 && readAll(out).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(readAll(out), address + "|");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST(ProcessPendingEventsTest, doesNothingWithoutAnApplication) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    processPendingEvents();
}

TEST(ProcessPendingEventsTest, runsWaitingEventsOnTheGuiThread) {
    int argc = 1;
    char name[] = "test_runtime";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    int ran = 0;
    QMetaObject::invokeMethod(
        &application, [&] { ++ran; }, Qt::QueuedConnection);
    processPendingEvents();
    EXPECT_EQ(ran, 1);

    // Off the GUI thread it must leave the queue alone.
    QMetaObject::invokeMethod(
        &application, [&] { ++ran; }, Qt::QueuedConnection);
    std::thread([] { processPendingEvents(); }).join();
    EXPECT_EQ(ran, 1);
    processPendingEvents();
    EXPECT_EQ(ran, 2);
}

}  // namespace
}  // namespace vex
