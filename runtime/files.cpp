#include "runtime/files.h"

#include <fcntl.h>
#include <glob.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <utility>

#include "runtime/atomic_file.h"

namespace vex {
namespace {

// ---------------------------------------------------------------------------
// Share modes as open-file-description locks.
//
// Every opener of a regular file holds shared (read) locks on one-byte markers
// far beyond any real data: one for each kind of access it has (read, write) and
// one for each kind of access it denies others (read, write). Shared locks never
// conflict with each other, so any number of openers can hold the same markers.
// After placing its own markers an opener asks (F_OFD_GETLK with a write lock)
// whether anybody else holds the markers it must not meet:
//   its read access   <-> others' "deny read" marker
//   its write access  <-> others' "deny write" marker
//   its "deny read"   <-> others' "read access" marker
//   its "deny write"  <-> others' "write access" marker
// A lock of the same open file description never reports itself, so only other
// openers (in this process or another one) are seen. Markers are placed before
// the question is asked, so of two openers racing for conflicting claims at least
// one sees the other; at worst both fail, never both succeed.
// ---------------------------------------------------------------------------

constexpr off_t kMarkerBase = std::numeric_limits<off_t>::max() - 8;
constexpr off_t kAccessReadMarker = kMarkerBase + 0;
constexpr off_t kAccessWriteMarker = kMarkerBase + 1;
constexpr off_t kDenyReadMarker = kMarkerBase + 2;
constexpr off_t kDenyWriteMarker = kMarkerBase + 3;

struct ShareClaim {
    bool reads = false;
    bool writes = false;
    bool deniesRead = false;
    bool deniesWrite = false;
};

enum class ClaimOutcome { Held, Conflict, LocksUnsupported };

ShareClaim claimFor(bool reads, bool writes, int shareMode) {
    return ShareClaim{reads, writes,
                      shareMode == share_mode::kDenyRead || shareMode == share_mode::kExclusive,
                      shareMode == share_mode::kDenyWrite || shareMode == share_mode::kExclusive};
}

struct flock markerLock(short type, off_t marker) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = marker;
    lock.l_len = 1;
    lock.l_pid = 0;
    return lock;
}

bool isConflictErrno(int error) { return error == EAGAIN || error == EACCES; }

// 0 when placed, else the errno.
int placeMarker(int lockFd, off_t marker) {
    struct flock lock = markerLock(F_RDLCK, marker);
    return ::fcntl(lockFd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

// True when another open file description holds the marker.
bool markerHeldByOthers(int lockFd, off_t marker) {
    struct flock lock = markerLock(F_WRLCK, marker);
    if (::fcntl(lockFd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

ClaimOutcome claimShare(int lockFd, const ShareClaim& claim) {
    const std::pair<bool, off_t> own[] = {{claim.reads, kAccessReadMarker},
                                          {claim.writes, kAccessWriteMarker},
                                          {claim.deniesRead, kDenyReadMarker},
                                          {claim.deniesWrite, kDenyWriteMarker}};
    for (const auto& [wanted, marker] : own) {
        if (!wanted) continue;
        const int error = placeMarker(lockFd, marker);
        if (error == 0) continue;
        // A file system without these locks cannot keep share modes; opening still works.
        return isConflictErrno(error) ? ClaimOutcome::Conflict : ClaimOutcome::LocksUnsupported;
    }
    const std::pair<bool, off_t> mustNotMeet[] = {{claim.reads, kDenyReadMarker},
                                                  {claim.writes, kDenyWriteMarker},
                                                  {claim.deniesRead, kAccessReadMarker},
                                                  {claim.deniesWrite, kAccessWriteMarker}};
    for (const auto& [wanted, marker] : mustNotMeet) {
        if (wanted && markerHeldByOthers(lockFd, marker)) return ClaimOutcome::Conflict;
    }
    return ClaimOutcome::Held;
}

// Shared locks need a descriptor open for reading; a write-only opener gets a
// second, read-only description of the same file (reopened through /proc, so it
// is the same file even if the name changed meanwhile) to hold its markers.
int reopenForReading(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

// ---------------------------------------------------------------------------
// The set of open file numbers.
// ---------------------------------------------------------------------------

struct OpenFileEntry {
    int fd = -1;
    int lockFd = -1;  // a separate descriptor holding the share markers, or -1
};

struct OpenFileTable {
    std::mutex mutex;
    std::map<int, OpenFileEntry> entries;
    int lastNumber = 0;

    int add(OpenFileEntry entry) {
        std::lock_guard lock(mutex);
        do {
            lastNumber = lastNumber == std::numeric_limits<int>::max() ? 1 : lastNumber + 1;
        } while (entries.count(lastNumber) != 0);
        entries[lastNumber] = entry;
        return lastNumber;
    }
};

OpenFileTable& openFiles() {
    static OpenFileTable table;
    return table;
}

void closeEntry(const OpenFileEntry& entry) {
    if (entry.lockFd >= 0) ::close(entry.lockFd);
    if (entry.fd >= 0) ::close(entry.fd);
}

int openFlagsFor(int openMode) {
    switch (openMode) {
        case open_mode::kRead:
            return O_RDONLY;
        case open_mode::kWrite:
            return O_WRONLY;
        case open_mode::kReadWrite:
            return O_RDWR;
        // Cutting to length 0 waits until the share modes allow this opener in.
        case open_mode::kCreateTruncate:
            return O_WRONLY | O_CREAT;
        case open_mode::kWriteCreate:
            return O_WRONLY | O_CREAT;
        case open_mode::kReadWriteCreate:
            return O_RDWR | O_CREAT;
        default:
            return -1;
    }
}

bool modeReads(int openMode) {
    return openMode == open_mode::kRead || openMode == open_mode::kReadWrite ||
           openMode == open_mode::kReadWriteCreate;
}

std::string reasonText(const std::string& what, int error) {
    return what + " Reason: " + std::strerror(error);
}

// Rename without replacing on file systems that refuse RENAME_NOREPLACE: a hard
// link fails atomically when the target exists; only where links are impossible
// too is the target tested first (a small window, but never a silent replace of
// a file that was there before the test).
int renameNoReplaceFallback(const std::string& oldName, const std::string& newName) {
    struct stat info {};
    if (::lstat(oldName.c_str(), &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode)) {
        if (::link(oldName.c_str(), newName.c_str()) == 0) {
            if (::unlink(oldName.c_str()) == 0) return 0;
            const int error = errno;
            ::unlink(newName.c_str());
            return error;
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return errno;
    }
    if (::lstat(newName.c_str(), &info) == 0) return EEXIST;
    return ::rename(oldName.c_str(), newName.c_str()) == 0 ? 0 : errno;
}

bool writeAllInPlace(int fd, std::span<const ByteSet> parts) {
    for (const ByteSet& part : parts) {
        std::size_t done = 0;
        while (done < part.size()) {
            const ssize_t written = ::write(fd, part.data() + done, part.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            done += static_cast<std::size_t>(written);
        }
    }
    return true;
}

// True when some other opener holds `name` open, which a writer that shares
// nothing must not ignore.
bool heldByAnotherOpener(const std::string& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    const bool held = claimShare(fd, claimFor(false, true, share_mode::kExclusive)) == ClaimOutcome::Conflict;
    ::close(fd);
    return held;
}

}  // namespace

bool fileExists(const std::string& name) {
    if (name.empty()) return false;
    struct stat info {};
    if (::lstat(name.c_str(), &info) == 0) return true;
    if (name.find_first_of("*?") == std::string::npos) return false;
    // Only "*" and "?" are wildcards; brackets and backslashes are ordinary
    // characters of file names here and must not start a glob class.
    std::string pattern;
    for (const char c : name) {
        if (c == '[' || c == ']' || c == '\\') pattern += '\\';
        pattern += c;
    }
    glob_t found{};
    const int result = ::glob(pattern.c_str(), GLOB_NOSORT | GLOB_PERIOD, nullptr, &found);
    const bool any = result == 0 && found.gl_pathc > 0;
    ::globfree(&found);
    return any;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool renameFile(const std::string& oldName, const std::string& newName, std::string* error) {
    const std::string what = "Cannot rename '" + oldName + "' to '" + newName + "'.";
    if (oldName.empty() || newName.empty()) {
        if (error) *error = what + " Reason: a file name is empty";
        return false;
    }
    int failure = 0;
    if (::syscall(SYS_renameat2, AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) !=
        0) {
        failure = errno;
        if (failure == EINVAL || failure == ENOSYS) {
            struct stat info {};
            const bool sourceIsDirectory = ::lstat(oldName.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            // EINVAL from a directory means "into its own subfolder", not "flag unsupported".
            if (failure == ENOSYS || !sourceIsDirectory) failure = renameNoReplaceFallback(oldName, newName);
        }
    }
    if (failure != 0 && error) *error = reasonText(what, failure);
    return failure == 0;
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), folder_(std::move(other.folder_)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        folder_ = std::move(other.folder_);
    }
    return *this;
}

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

bool FolderHandle::open(const std::string& folder, std::string* error) {
    if (fd_ >= 0) ::close(fd_);
    folder_ = folder;
    fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0 && error) *error = reasonText("Cannot open the folder '" + folder + "'.", errno);
    return fd_ >= 0;
}

bool FolderHandle::readFirstBytes(const std::string& name, std::size_t count, std::string& bytes,
                                  std::string* error) const {
    bytes.clear();
    const std::string what = "Cannot read '" + folder_ + "/" + name + "'.";
    const int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (error)
            *error = errno == ELOOP ? what + " Reason: it is a symbolic link" : reasonText(what, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (error) *error = what + " Reason: it is not a regular file";
        return false;
    }
    bytes.resize(count);
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = ::read(fd, bytes.data() + filled, count - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int failure = errno;
            ::close(fd);
            if (error) *error = reasonText(what, failure);
            return false;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(filled);
    return true;
}

bool FolderHandle::renameNoReplace(const std::string& from, const std::string& to, std::string* error) const {
    const std::string what = "Cannot rename '" + folder_ + "/" + from + "' to '" + to + "'.";
    int failure = 0;
    if (::syscall(SYS_renameat2, fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) != 0) {
        failure = errno;
        if (failure == EINVAL || failure == ENOSYS) {
            // A file system without the flag: a hard link cannot replace either.
            failure = ::linkat(fd_, from.c_str(), fd_, to.c_str(), 0) == 0 ? 0 : errno;
            if (failure == 0 && ::unlinkat(fd_, from.c_str(), 0) != 0) {
                failure = errno;
                ::unlinkat(fd_, to.c_str(), 0);
            }
        }
    }
    if (failure != 0 && error) *error = reasonText(what, failure);
    return failure == 0;
}

bool writeFile(const std::string& name, std::span<const ByteSet> parts) {
    if (name.empty()) return false;
    struct stat info {};
    const bool exists = ::stat(name.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) return false;
    if (exists && !S_ISREG(info.st_mode)) {
        // FIFOs and devices cannot be replaced; they are written in place, never blocking.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) return false;
        const bool written = writeAllInPlace(fd, parts);
        return ::close(fd) == 0 && written;
    }
    if (exists && heldByAnotherOpener(name)) return false;
    std::string bytes;
    for (const ByteSet& part : parts) bytes.append(part.begin(), part.end());
    return saveFileAtomically(name, bytes).empty();
}

bool writeFile(const std::string& name, const ByteSet& bytes) {
    return writeFile(name, std::span<const ByteSet>(&bytes, 1));
}

bool readWholeFile(const std::string& name, std::string& content, std::string* error) {
    content.clear();
    const std::string what = "Cannot read '" + name + "'.";
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (error) *error = reasonText(what, errno);
        return false;
    }
    struct stat info {};
    int failure = ::fstat(fd, &info) != 0 ? errno : 0;
    if (failure == 0 && !S_ISREG(info.st_mode)) failure = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    if (failure == 0) {
        content.reserve(static_cast<std::size_t>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) failure = errno;
            if (got <= 0) break;
            content.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (failure != 0) {
        content.clear();
        if (error)
            *error =
                failure == EINVAL ? what + " Reason: it is not a regular file" : reasonText(what, failure);
        return false;
    }
    return true;
}

int openFile(const std::string& name, int openMode, int shareMode) {
    const int flags = openFlagsFor(openMode);
    if (name.empty() || flags < 0 || shareMode < share_mode::kShareAll ||
        shareMode > share_mode::kExclusive) {
        return 0;
    }
    // O_NONBLOCK keeps a FIFO without a partner from hanging the caller.
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return 0;
    OpenFileEntry entry{fd, -1};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        closeEntry(entry);
        return 0;
    }
    if (S_ISREG(info.st_mode)) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool reads = modeReads(openMode);
        if (!reads) entry.lockFd = reopenForReading(fd);
        const int lockFd = reads ? fd : entry.lockFd;
        if (lockFd >= 0 && claimShare(lockFd, claimFor(reads, openMode != open_mode::kRead, shareMode)) ==
                               ClaimOutcome::Conflict) {
            closeEntry(entry);
            return 0;
        }
        if (openMode == open_mode::kCreateTruncate && ::ftruncate(fd, 0) != 0) {
            closeEntry(entry);
            return 0;
        }
    }
    return openFiles().add(entry);
}

void closeFile(int fileNumber) {
    OpenFileTable& table = openFiles();
    OpenFileEntry entry;
    {
        std::lock_guard lock(table.mutex);
        const auto found = table.entries.find(fileNumber);
        if (found == table.entries.end()) return;
        entry = found->second;
        table.entries.erase(found);
    }
    closeEntry(entry);
}

bool moveToStartOfFile(int fileNumber) {
    OpenFileTable& table = openFiles();
    std::lock_guard lock(table.mutex);
    const auto found = table.entries.find(fileNumber);
    if (found == table.entries.end()) return false;
    ::lseek(found->second.fd, 0, SEEK_SET);  // FIFOs have no position; still "at the start"
    return true;
}

ByteSet readBytes(int fileNumber, int length) {
    if (length <= 0) return {};
    OpenFileTable& table = openFiles();
    std::lock_guard lock(table.mutex);
    const auto found = table.entries.find(fileNumber);
    if (found == table.entries.end()) return {};
    const int fd = found->second.fd;

    // Size the buffer by what a regular file still holds, so a huge length on a
    // small file allocates nothing; FIFOs and devices grow it as bytes arrive.
    const std::size_t limit = static_cast<std::size_t>(length);
    std::size_t initial = std::min<std::size_t>(limit, 65536);
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const off_t position = regular ? ::lseek(fd, 0, SEEK_CUR) : -1;
    if (regular && position >= 0) {
        const auto remaining = static_cast<std::uint64_t>(std::max<off_t>(info.st_size - position, 0));
        initial = static_cast<std::size_t>(std::min<std::uint64_t>(limit, remaining));
    }
    ByteSet bytes(initial);
    std::size_t got = 0;
    while (got < limit) {
        if (got == bytes.size()) {
            if (regular) break;
            bytes.resize(std::min(limit, std::max<std::size_t>(bytes.size() * 2, 65536)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            ::lseek(fd, 0, SEEK_END);
            return {};
        }
        if (n <= 0) break;  // end of file, or nothing waiting in a FIFO
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

std::int64_t getFileLength(int fileNumber) {
    OpenFileTable& table = openFiles();
    std::lock_guard lock(table.mutex);
    const auto found = table.entries.find(fileNumber);
    if (found == table.entries.end()) return -1;
    struct stat info {};
    if (::fstat(found->second.fd, &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

int openFileCount() {
    OpenFileTable& table = openFiles();
    std::lock_guard lock(table.mutex);
    return static_cast<int>(table.entries.size());
}

FileStamp fileStampOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {};
    return fileStampOf(info);
}

FileStamp fileStampOf(const struct stat& info) {
    return {true, static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

std::uint64_t currentBootStamp() {
    static const std::uint64_t stamp = [] {
        FileBytes bytes;
        if (!readRegularFile("/proc/sys/kernel/random/boot_id", bytes).empty() || bytes.view().size() < 32)
            return std::uint64_t{0};
        std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
        for (const char c : bytes.view()) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        return hash == 0 ? 1 : hash;
    }();
    return stamp;
}

FileBytes::FileBytes(std::string_view bytes)
    : data_(std::make_unique_for_overwrite<char[]>(bytes.size())), size_(bytes.size()) {
    if (!bytes.empty()) std::memcpy(data_.get(), bytes.data(), bytes.size());
}

std::string readRegularFile(const std::string& path, FileBytes& bytes, FileStamp* stamp) {
    bytes = FileBytes();
    if (stamp) *stamp = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return "Cannot read '" + path + "'. Reason: " + std::strerror(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return "Cannot read '" + path + "'. Reason: it is not a regular file";
    }
    if (stamp) *stamp = fileStampOf(fd);
    std::size_t capacity =
        static_cast<std::size_t>(info.st_size) + 1;  // one more, to see the end in one read
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t filled = 0;
    for (;;) {
        if (filled == capacity) {  // the file grew while it was read
            auto larger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(larger.get(), data.get(), filled);
            data = std::move(larger);
            capacity *= 2;
        }
        const ssize_t got = ::read(fd, data.get() + filled, capacity - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return "Cannot read '" + path + "'. Reason: " + std::strerror(error);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.data_ = std::move(data);
    bytes.size_ = filled;
    return {};
}

}  // namespace vex
