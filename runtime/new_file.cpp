#include "runtime/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vex {
namespace {

std::string reason(const std::string& what, const std::string& path, int error) {
    return what + " '" + path + "'. Reason: " + std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // no progress: stop instead of looping for ever
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

NewFileResult writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) return {NewFileOutcome::AlreadyExists, {}};

    std::string temporary = folderOf(path) + "/.vexorin-new-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return {NewFileOutcome::Failed, reason("Cannot create a file in the folder of", path, errno)};

    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::fchmod(fd, 0644);
    ::close(fd);
    if (!written) {
        ::unlink(temporary.c_str());
        return {NewFileOutcome::Failed, reason("Cannot write", path, writeError)};
    }
    // link() fails when the name exists, so a file someone created meanwhile is kept.
    const int linked = ::link(temporary.c_str(), path.c_str());
    const int linkError = errno;
    ::unlink(temporary.c_str());
    if (linked == 0) return {NewFileOutcome::Written, {}};
    if (linkError == EEXIST) return {NewFileOutcome::AlreadyExists, {}};
    return {NewFileOutcome::Failed, reason("Cannot create", path, linkError)};
}

}  // namespace vex
