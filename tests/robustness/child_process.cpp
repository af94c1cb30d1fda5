#include "tests/robustness/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

extern char** environ;

namespace vex::test {
namespace {

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& wanted : overrides) replaced |= wanted.substr(0, wanted.find('=')) == name;
        if (!replaced) merged.push_back(text);
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

struct Pipes {
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
};

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Forks and execs; in the child only async-signal-safe calls run before exec.
pid_t spawn(const std::vector<std::string>& argv, const ChildOptions& options, Pipes* pipes) {
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = mergedEnvironment(options.environment);
    std::vector<char*> argPointers = pointersTo(args);
    std::vector<char*> envPointers = pointersTo(environment);
    const bool dropRights = options.dropRootRights && runningAsRoot();

    const pid_t pid = ::fork();
    if (pid != 0) return pid;

    // Child.
    ::signal(SIGPIPE, SIG_DFL);
    if (pipes) {
        ::dup2(pipes->in[0], STDIN_FILENO);
        ::dup2(pipes->out[1], STDOUT_FILENO);
        ::dup2(pipes->err[1], STDERR_FILENO);
    } else {
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
    }
    if (options.fileSizeLimit) {
        // Without this the first write past the limit would end the child with SIGXFSZ
        // instead of failing with EFBIG, which is what a full disk looks like to a program.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (dropRights && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        _exit(125);
    ::execve(argPointers[0], argPointers.data(), envPointers.data());
    _exit(127);
}

void decodeStatus(int status, ChildResult& result) {
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

}  // namespace

bool runningAsRoot() { return ::geteuid() == 0; }

ChildResult runChild(const std::vector<std::string>& argv, const ChildOptions& options) {
    ChildResult result;
    Pipes pipes;
    if (::pipe2(pipes.in, O_CLOEXEC) != 0 || ::pipe2(pipes.out, O_CLOEXEC) != 0 ||
        ::pipe2(pipes.err, O_CLOEXEC) != 0) {
        result.err = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    const pid_t pid = spawn(argv, options, &pipes);
    closeFd(pipes.in[0]);
    closeFd(pipes.out[1]);
    closeFd(pipes.err[1]);
    if (pid < 0) {
        closeFd(pipes.in[1]);
        closeFd(pipes.out[0]);
        closeFd(pipes.err[0]);
        result.err = std::string("fork: ") + std::strerror(errno);
        return result;
    }
    ::fcntl(pipes.in[1], F_SETFL, O_NONBLOCK);
    if (options.input.empty()) closeFd(pipes.in[1]);

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    std::size_t written = 0;
    while (pipes.out[0] >= 0 || pipes.err[0] >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3] = {{pipes.out[0], POLLIN, 0}, {pipes.err[0], POLLIN, 0}, {pipes.in[1], POLLOUT, 0}};
        if (::poll(fds, 3, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0 && errno != EINTR)
            break;
        char buffer[65536];
        int* sources[2] = {&pipes.out[0], &pipes.err[0]};
        std::string* sinks[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; ++i) {
            if (*sources[i] < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = ::read(*sources[i], buffer, sizeof buffer);
            if (got > 0)
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                closeFd(*sources[i]);
        }
        if (pipes.in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put =
                ::write(pipes.in[1], options.input.data() + written, options.input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put < 0 && errno != EAGAIN && errno != EINTR) closeFd(pipes.in[1]);
            if (written == options.input.size()) closeFd(pipes.in[1]);
        }
    }
    closeFd(pipes.in[1]);
    closeFd(pipes.out[0]);
    closeFd(pipes.err[0]);
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    decodeStatus(status, result);
    result.maxResidentKb = usage.ru_maxrss;
    return result;
}

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options)
    : pid_(spawn(argv, options, nullptr)) {}

Child::~Child() { kill(); }

bool Child::signal(int number) {
    if (pid_ <= 0 || reaped_) return false;
    return ::kill(pid_, number) == 0;
}

bool Child::kill() {
    if (pid_ <= 0 || reaped_) return false;
    int status = 0;
    const bool running = ::waitpid(pid_, &status, WNOHANG) == 0;
    if (running) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    reaped_ = true;
    return running;
}

ChildResult Child::wait() {
    ChildResult result;
    if (pid_ <= 0 || reaped_) return result;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    decodeStatus(status, result);
    return result;
}

std::optional<ChildResult> Child::waitUntil(std::chrono::steady_clock::time_point deadline) {
    if (pid_ <= 0 || reaped_) return ChildResult{};
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) {
            reaped_ = true;
            ChildResult result;
            decodeStatus(status, result);
            return result;
        }
        if (ended < 0 && errno != EINTR) return ChildResult{};
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        ::usleep(200);
    }
}

}  // namespace vex::test
