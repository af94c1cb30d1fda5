#pragma once
// Runs a program as a child process, the way a user or a script would, so tests can
// kill it, starve it of disk space or take away its rights without touching the
// test process itself.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex::test {

struct ChildOptions {
    // "NAME=value" entries added to (or replacing those of) the test's own environment.
    std::vector<std::string> environment;
    std::string input;  // written to the child's standard input, which is then closed
    // A child still running after this long is killed: a hang becomes a failure, never a stuck test.
    std::chrono::milliseconds timeout{std::chrono::minutes(5)};
    // Largest file the child may write (RLIMIT_FSIZE): writes beyond it fail as on a full disk.
    std::optional<std::uint64_t> fileSizeLimit;
    // When the test runs as root, the child runs as "nobody", so permission bits bind it.
    bool dropRootRights = false;
};

struct ChildResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    int signal = 0;     // the signal that ended it, 0 when it exited
    bool timedOut = false;
    std::string out;
    std::string err;
    long maxResidentKb = 0;  // the child's peak resident memory (runChild only)
};

// Starts `argv` (argv[0] is the program's path) and waits for it.
ChildResult runChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

// A started child that the caller may kill at a moment of its choosing. Its input and
// output are /dev/null; `timeout` does not apply.
class Child {
public:
    Child(const std::vector<std::string>& argv, const ChildOptions& options = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    // Sends `number` to the child while it has not been reaped; it may then still run.
    bool signal(int number);
    // Sends SIGKILL (if still running) and reaps the child; returns whether it was still running.
    bool kill();
    // Waits for the child to end; output is not captured by this class.
    ChildResult wait();
    // Waits until the child ends or `deadline` passes; the result only when it ended.
    std::optional<ChildResult> waitUntil(std::chrono::steady_clock::time_point deadline);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// The uid of "nobody" (65534), used by dropRootRights.
inline constexpr uid_t kNobody = 65534;
bool runningAsRoot();

}  // namespace vex::test
