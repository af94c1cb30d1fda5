#include "library/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "runtime/atomic_file.h"
#include "runtime/files.h"

namespace vex {
namespace {

// Change when the header below changes; the index's own layout has its own version inside the image.
constexpr std::uint64_t kIndexFileFormat = 2;
constexpr char kIndexFileMagic[8] = {'V', 'X', 'L', 'I', 'B', 'I', 'D', 'X'};
constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr std::size_t kSqliteChangeCounterAt = 24;

enum HeaderField : std::size_t {
    kMagic,
    kFormat,
    kDevice,
    kInode,
    kSize,
    kModified,
    kChanged,
    kChangeCounter,
    kBoot,  // the file is trusted only in the boot that wrote it, so it need not wait for the disk
    kHeaderFields
};
using Header = std::array<std::uint64_t, kHeaderFields>;

// An image is far larger than its library only when something is wrong with it: a
// library makes at most about a kilobyte of index per record, and a record takes
// some bytes of the library. Beyond this the file is not read into memory.
constexpr std::int64_t kLargestImagePerLibraryByte = 128;
constexpr std::uint64_t kLargestImageOfAnyLibrary = 1 << 20;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool readAt(int fd, std::uint64_t offset, char* into, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::pread(fd, into, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// A journal or log beside the library that may hold what its file does not show yet.
bool mayHoldChanges(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno != ENOENT;
    return !S_ISREG(info.st_mode) || info.st_size > 0;
}

Header headerOf(const LibraryFileState& library) {
    Header header{};
    std::memcpy(&header[kMagic], kIndexFileMagic, sizeof kIndexFileMagic);
    header[kFormat] = kIndexFileFormat;
    header[kDevice] = library.device;
    header[kInode] = library.inode;
    header[kSize] = static_cast<std::uint64_t>(library.size);
    header[kModified] = static_cast<std::uint64_t>(library.modifiedNs);
    header[kChanged] = static_cast<std::uint64_t>(library.changedNs);
    header[kChangeCounter] = library.changeCounter;
    header[kBoot] = currentBootStamp();
    return header;
}

}  // namespace

std::optional<LibraryFileState> libraryFileState(const std::string& libraryPath) {
    if (mayHoldChanges(libraryPath + "-journal") || mayHoldChanges(libraryPath + "-wal")) return std::nullopt;
    const FileDescriptor file(::open(libraryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::array<char, 100> header;
    if (!readAt(file.get(), 0, header.data(), header.size()) ||
        std::string_view(header.data(), kSqliteMagic.size()) != kSqliteMagic)
        return std::nullopt;
    LibraryFileState state;
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modifiedNs = nanoseconds(info.st_mtim);
    state.changedNs = nanoseconds(info.st_ctim);
    for (std::size_t at = kSqliteChangeCounterAt; at < kSqliteChangeCounterAt + 4; ++at)
        state.changeCounter = state.changeCounter << 8 | static_cast<unsigned char>(header[at]);
    return state;
}

std::optional<PrefixIndex> readIndexFile(const std::string& indexPath, const LibraryFileState& library) {
    const FileDescriptor file(
        ::open(indexPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    Header header;
    const auto headerBytes = static_cast<std::int64_t>(sizeof header);
    if (info.st_size < headerBytes ||
        !readAt(file.get(), 0, reinterpret_cast<char*>(header.data()), sizeof header) ||
        header != headerOf(library))
        return std::nullopt;
    const auto imageSize = static_cast<std::uint64_t>(info.st_size - headerBytes);
    if (imageSize > kLargestImageOfAnyLibrary &&
        imageSize / kLargestImagePerLibraryByte > static_cast<std::uint64_t>(library.size))
        return std::nullopt;
    std::uint64_t offset = sizeof header;
    return PrefixIndex::fromImage(imageSize, [&](char* into, std::size_t size) {
        if (!readAt(file.get(), offset, into, size)) return false;
        offset += size;
        return true;
    });
}

void writeIndexFile(const std::string& indexPath, const LibraryFileState& library, const PrefixIndex& index) {
    // Written only as a file of its own: never through a link, nor over anything else.
    struct stat info {};
    if (::lstat(indexPath.c_str(), &info) == 0 ? !S_ISREG(info.st_mode) : errno != ENOENT) return;
    const Header header = headerOf(library);
    const PrefixIndex::Image image = index.image();
    std::vector<std::string_view> parts = image.parts();
    parts.insert(parts.begin(), {reinterpret_cast<const char*>(header.data()), sizeof header});
    saveFileAtomicallyInParts(indexPath, parts, bootStampedSaveSync());
}

}  // namespace vex
