#include "ident/signature.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/declared_function.h"
#include "runtime/text.h"

namespace vex {
namespace {

// Reads from offset `done` until `count` bytes are there, retrying short and interrupted reads.
bool readHeader(int fd, unsigned char* buffer, int done, int count) {
    while (done < count) {
        const ssize_t got = ::pread(fd, buffer + done, static_cast<size_t>(count - done), done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;  // error, or the file shrank after the length check
        done += static_cast<int>(got);
    }
    return true;
}

}  // namespace

std::string hexDigitsOf(const unsigned char* bytes, int count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<size_t>(count) * 2);
    for (int i = 0; i < count; ++i) {
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

// O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
int droppedPathOpenFlags() { return O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY; }

// One fstat: what a signature value and the drops' directory test both need of an open path.
DroppedHeader::Kind kindOfOpened(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return DroppedHeader::Kind::NoHeader;
    if (S_ISDIR(info.st_mode)) return DroppedHeader::Kind::Directory;
    // Only a regular file is read: a device or FIFO could give bytes that are no file's header, or none.
    if (S_ISREG(info.st_mode) && info.st_size >= kSignatureBytes) return DroppedHeader::Kind::Header;
    return DroppedHeader::Kind::NoHeader;
}

bool finishHeaderRead(int fd, unsigned char* bytes, int done) {
    return readHeader(fd, bytes, done, kSignatureBytes);
}

DroppedHeader::Kind kindWithoutHeader(const std::string& path) {
    // A folder we may not open (no read permission) is still a folder.
    const bool isDirectory = callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value(path)}) != 0;
    return isDirectory ? DroppedHeader::Kind::Directory : DroppedHeader::Kind::NoHeader;
}

DroppedHeader::Kind kindAfterFailedOpen(const std::string& path, int error) {
    if (error == ENOENT || error == ENOTDIR) return DroppedHeader::Kind::Missing;
    return kindWithoutHeader(path);
}

std::string ReadSignatureValue(const std::string& path) {
    const int fd = ::open(path.c_str(), droppedPathOpenFlags());
    if (fd < 0) return std::string(kTooShortText);
    unsigned char header[kSignatureBytes];
    const bool read = kindOfOpened(fd) == DroppedHeader::Kind::Header && finishHeaderRead(fd, header, 0);
    ::close(fd);
    return read ? hexDigitsOf(header, kSignatureBytes) : std::string(kTooShortText);
}

DroppedHeader readDroppedHeader(const std::string& path) {
    DroppedHeader header;
    const int fd = ::open(path.c_str(), droppedPathOpenFlags());
    if (fd < 0) {
        header.kind = kindAfterFailedOpen(path, errno);
        return header;
    }
    header.kind = kindOfOpened(fd);
    if (header.kind == DroppedHeader::Kind::Header && !finishHeaderRead(fd, header.bytes, 0))
        header.kind = DroppedHeader::Kind::NoHeader;
    ::close(fd);
    if (header.kind == DroppedHeader::Kind::NoHeader) header.kind = kindWithoutHeader(path);
    return header;
}

ExaminedPath examinedPathOf(const DroppedHeader& header) {
    if (header.kind == DroppedHeader::Kind::Header)
        return {false, hexDigitsOf(header.bytes, kSignatureBytes)};
    return {header.kind == DroppedHeader::Kind::Directory, std::string(kTooShortText),
            header.kind == DroppedHeader::Kind::Missing};
}

ExaminedPath examineDroppedPath(const std::string& path) { return examinedPathOf(readDroppedHeader(path)); }

std::string FileClassOf(std::string& path) {
    path = trimBothEnds(path);
    // Only the last component can carry an extension: a full stop in a folder name is not one.
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const size_t stop = path.rfind('.');
    if (stop == std::string::npos || stop < nameStart) return std::string(kNoClassText);
    return path.substr(stop + 1);
}

}  // namespace vex
