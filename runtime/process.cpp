#include "runtime/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

extern char** environ;

namespace vex {
namespace {

constexpr unsigned kCloseRangeCloexec = 1U << 2;  // CLOSE_RANGE_CLOEXEC, not in every libc header

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

// Resolved before forking: the child of a threaded program may only make
// async-signal-safe calls, which a PATH search with its allocations is not.
std::string resolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable && *pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = path.find(':', start);
        const std::string_view folder = std::string_view(path).substr(
            start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate(folder.empty() ? std::string_view(".") : folder);
        candidate.append("/").append(name);
        if (isExecutableFile(candidate)) return candidate;
        if (colon == std::string::npos) return {};
        start = colon + 1;
    }
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void execInChild(const char* program, char* const argv[], int errorPipe, bool detach) {
    if (detach) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int error = errno;
                (void)!::write(errorPipe, &error, sizeof error);
            }
            ::_exit(grandchild < 0 ? 127 : 0);
        }
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaults, nullptr);
    ::sigaction(SIGCHLD, &defaults, nullptr);
    // Descriptors other libraries opened without O_CLOEXEC must not leak into the program.
    ::syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec);
    ::execve(program, argv, environ);
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

// The child's exit status, 128 + the signal that ended it, or -1 when it cannot be waited for.
int exitStatusOf(pid_t child) {
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void waitForChild(pid_t child) { (void)exitStatusOf(child); }

// Reads the errno the child reports when exec failed; end of file means it succeeded.
int execFailure(int errorPipe) {
    int error = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

std::mutex& openerMutex() {
    static std::mutex instance;
    return instance;
}

WebAddressOpener& opener() {
    static WebAddressOpener instance;
    return instance;
}

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < commandLine.size();) {
        const char c = commandLine[i];
        if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t run = 0;
            while (i + run < commandLine.size() && commandLine[i + run] == '\\') ++run;
            i += run;
            if (i < commandLine.size() && commandLine[i] == '"') {
                current.append(run / 2, '\\');
                if (run % 2 == 1) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(run, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (inQuotes && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

namespace {

// Starts `argv` in a child (detached: in a grandchild of a session of its own)
// and returns the child's id once the program runs, or -1 when it could not be started.
pid_t startChild(const std::vector<std::string>& argv, bool detach) {
    if (argv.empty() || argv.front().empty()) return -1;
    const std::string program = resolveProgram(argv.front());
    if (program.empty()) return -1;
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) execInChild(program.c_str(), arguments.data(), errorPipe[1], detach);
    ::close(errorPipe[1]);
    if (child < 0) {
        ::close(errorPipe[0]);
        return -1;
    }
    const int failure = execFailure(errorPipe[0]);
    ::close(errorPipe[0]);
    if (failure == 0) return child;
    waitForChild(child);
    return -1;
}

}  // namespace

bool startProcess(const std::vector<std::string>& argv, bool wait) {
    // Returns once the program runs (or could not be started); a detached start
    // only waits for the short-lived intermediate process.
    const pid_t child = startChild(argv, !wait);
    if (child < 0) return false;
    waitForChild(child);
    return true;
}

bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) {
    (void)windowMode;  // X11 and Wayland give a starter no say over another program's first window
    return startProcess(splitCommandLine(commandLine), wait);
}

void setWebAddressOpener(WebAddressOpener newOpener) {
    std::lock_guard lock(openerMutex());
    opener() = std::move(newOpener);
}

bool startWatchedProcess(const std::vector<std::string>& argv, std::function<void(int exitStatus)> onExit) {
    const pid_t child = startChild(argv, false);
    if (child < 0) return false;
    // The program may run as long as the browser it became; the watcher waits with it
    // and is never joined, so nothing waits on it at exit.
    std::thread([child, onExit = std::move(onExit)] {
        const int status = exitStatusOf(child);
        if (onExit) onExit(status);
    }).detach();
    return true;
}

bool openWebAddress(const std::string& address, std::function<void()> lateFailure) {
    const std::string target = address.empty() ? std::string(kDefaultWebAddress) : address;
    WebAddressOpener current;
    {
        std::lock_guard lock(openerMutex());
        current = opener();
    }
    if (current) return current(target);
    // The address is one argument, never parsed by a shell.
    return startWatchedProcess({"xdg-open", target}, [lateFailure = std::move(lateFailure)](int status) {
        if (status == 0 || !lateFailure) return;
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, lateFailure, Qt::QueuedConnection);
        else
            lateFailure();
    });
}

void processPendingEvents() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || QThread::currentThread() != application->thread()) return;
    QCoreApplication::processEvents();
}

}  // namespace vex
