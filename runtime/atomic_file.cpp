#include "runtime/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/files.h"

namespace vex {
namespace {

std::mutex& writeFunctionMutex() {
    static std::mutex instance;
    return instance;
}

AtomicSaveWriteFunction& writeFunction() {
    static AtomicSaveWriteFunction instance;
    return instance;
}

ssize_t writeThroughHook(int fd, const void* data, std::size_t size) {
    AtomicSaveWriteFunction hook;
    {
        std::lock_guard lock(writeFunctionMutex());
        hook = writeFunction();
    }
    return hook ? hook(fd, data, size) : ::write(fd, data, size);
}

std::string failure(const std::string& path, const std::string& reason) {
    return "Cannot save '" + path + "'. Reason: " + reason;
}

std::string failureFromErrno(const std::string& path, int error) {
    return failure(path, std::strerror(error));
}

// A link is followed so that saving through it replaces its target, not the link.
std::string resolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the target; the counter and clock keep two savers apart,
// O_EXCL makes sure we never open someone else's file.
int createTemporaryBeside(const std::string& target, std::string& temporaryPath, int& error) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = folderOf(target) + "/." + baseNameOf(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto ticks =
            static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        temporaryPath = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                        std::to_string(ticks % 1000000) + ".tmp";
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

// A process killed between creating its temporary and renaming it leaves the temporary behind.
// Such leftovers of `target`, named after a process that no longer runs, are removed after each
// successful save; a temporary of a live saver is never touched.
void removeLeftoverTemporaries(const std::string& target) {
    const std::string prefix = "." + baseNameOf(target) + ".";
    const std::string folder = folderOf(target);
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) return;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
        const std::string_view rest = name.substr(prefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos) continue;
        const std::string pidText(rest.substr(0, dash));
        if (pidText.find_first_not_of("0123456789") != std::string::npos || pidText.size() > 9) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(pidText));
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
    ::closedir(directory);
}

// Returns 0 or the errno of the failed write. A write that makes no progress
// counts as a full disk rather than looping forever.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = writeThroughHook(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Makes the rename itself durable. Some file systems refuse fsync on a folder;
// the new content is already in place then, so that is not a failure of the save.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void setAtomicSaveWriteFunction(AtomicSaveWriteFunction function) {
    std::lock_guard lock(writeFunctionMutex());
    writeFunction() = std::move(function);
}

SaveSync bootStampedSaveSync() { return currentBootStamp() != 0 ? SaveSync::NotNeeded : SaveSync::ToDisk; }

std::string saveFileAtomically(const std::string& path, std::string_view bytes, SaveSync sync) {
    return saveFileAtomicallyInParts(path, std::span<const std::string_view>(&bytes, 1), sync);
}

std::string saveFileAtomicallyInParts(const std::string& path, std::span<const std::string_view> parts,
                                      SaveSync sync) {
    if (path.empty()) return "Cannot save a file without a name.";
    const std::string target = resolveTarget(path);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) return failure(path, "it is not a regular file");
        // A file the user made read-only stays protected, as an in-place write would fail too.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return failureFromErrno(path, errno);
    } else if (errno != ENOENT) {
        return failureFromErrno(path, errno);
    }

    std::string temporaryPath;
    int error = 0;
    const int fd = createTemporaryBeside(target, temporaryPath, error);
    if (fd < 0) return failureFromErrno(path, error);

    if (exists) {
        // Owner and group can only be kept by a privileged or same-owner saver; best effort.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* the saver's own ownership stays */
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    }
    for (const std::string_view part : parts)
        if (error == 0) error = writeAll(fd, part);
    if (error == 0 && sync == SaveSync::ToDisk && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporaryPath.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporaryPath.c_str());
        return failureFromErrno(path, error);
    }
    if (sync == SaveSync::ToDisk) syncFolder(folderOf(target));
    removeLeftoverTemporaries(target);
    return {};
}

}  // namespace vex
