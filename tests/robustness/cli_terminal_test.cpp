// The command line's progress bar appears only when standard error is a terminal,
// so these tests give vexorin-cli a pseudo-terminal and read what it draws there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "tests/robustness/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

struct TerminalRun {
    std::string terminal;  // what reached the terminal (standard error only)
    int exitCode = -1;
};

// Runs `argv` with standard error on a new pseudo-terminal and standard output
// on /dev/null. A run that outlives `timeout` is killed and reported as exit -1.
TerminalRun runOnTerminal(const std::vector<std::string>& argv, std::chrono::seconds timeout) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    TerminalRun run;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return run;
    if (pid == 0) {
        // The child: only calls that are safe between fork and exec.
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) continue;
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) {
            run.terminal.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;  // EIO: the child closed its end of the terminal
    }
    if (std::chrono::steady_clock::now() >= deadline) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

std::vector<std::string> smallFiles(const TempDir& dir, int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back(dir.write("f" + std::to_string(i), "0123456789" + std::to_string(i)));
    return paths;
}

std::vector<std::string> identifyCommand(const TempDir& data, const std::vector<std::string>& paths,
                                         const std::vector<std::string>& options = {}) {
    std::vector<std::string> argv{cliPath(), "--data-dir", data.path(), "identify"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), paths.begin(), paths.end());
    return argv;
}

TEST(CliOnATerminal, longRunsDrawOneBarThatEndsFullAndOnItsOwnLine) {
    VEX_REQUIRE_CLI_COMMANDS("identify");
    TempDir files, data;
    const std::vector<std::string> paths = smallFiles(files, 1001);
    const TerminalRun run = runOnTerminal(identifyCommand(data, paths), std::chrono::seconds(120));
    ASSERT_EQ(run.exitCode, 0) << run.terminal;
    const std::string full = "\r[" + std::string(40, '#') + "] 1001/1001";
    const std::size_t end = run.terminal.find(full);
    ASSERT_NE(end, std::string::npos) << run.terminal;
    // The terminal turns "\n" into "\r\n". The summary follows on a line of its own.
    EXPECT_EQ(run.terminal.substr(end + full.size()), "\r\nvexorin-cli: 1001 files identified\r\n");
    EXPECT_EQ(run.terminal.find("\r[ "), 0u) << "the bar starts empty";
    // Redrawn once per percent at most, not once per file.
    std::size_t draws = 0;
    for (std::size_t at = run.terminal.find("\r["); at != std::string::npos;
         at = run.terminal.find("\r[", at + 1))
        ++draws;
    EXPECT_LE(draws, 101u);
}

TEST(CliOnATerminal, shortRunsAndRedirectedErrorsShowNoBar) {
    VEX_REQUIRE_CLI_COMMANDS("identify");
    TempDir files, data;
    const TerminalRun shortRun =
        runOnTerminal(identifyCommand(data, smallFiles(files, 20)), std::chrono::seconds(60));
    EXPECT_EQ(shortRun.exitCode, 0);
    EXPECT_EQ(shortRun.terminal, "");

    TempDir moreFiles;
    const ChildResult redirected = runCli(data.path(), {"identify", "-"}, [&] {
        ChildOptions options;
        for (const std::string& path : smallFiles(moreFiles, 1001)) options.input += path + "\n";
        return options;
    }());
    EXPECT_EQ(redirected.exitCode, 0) << describe(redirected);
    EXPECT_EQ(redirected.err, "");

    const TerminalRun quiet =
        runOnTerminal(identifyCommand(data, smallFiles(moreFiles, 1001), {"-q"}), std::chrono::seconds(120));
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.terminal, "") << "-q shows neither the bar nor the summary";
}

}  // namespace
}  // namespace vex::test
