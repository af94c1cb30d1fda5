#include "ident/signature.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/declared_function.h"
#include "runtime/text.h"

namespace vex {
namespace {

// Reads exactly `count` bytes from offset 0, retrying short and interrupted reads.
bool readHeader(int fd, unsigned char* buffer, int count) {
    int done = 0;
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

namespace {

enum class HeaderRead { Read, Directory, Unreadable, Missing };

// One open, one fstat, one read: what a signature value and the drops' directory test both need.
HeaderRead readHeaderOf(const std::string& path, unsigned char (&header)[kSignatureBytes]) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? HeaderRead::Missing : HeaderRead::Unreadable;
    struct stat info {};
    HeaderRead result = HeaderRead::Unreadable;
    if (::fstat(fd, &info) == 0) {
        if (S_ISDIR(info.st_mode))
            result = HeaderRead::Directory;
        else if (S_ISREG(info.st_mode) && info.st_size >= kSignatureBytes &&
                 readHeader(fd, header, kSignatureBytes))
            result = HeaderRead::Read;
    }
    ::close(fd);
    return result;
}

}  // namespace

std::string ReadSignatureValue(const std::string& path) {
    unsigned char header[kSignatureBytes];
    if (readHeaderOf(path, header) != HeaderRead::Read) return std::string(kTooShortText);
    return hexDigitsOf(header, kSignatureBytes);
}

DroppedHeader readDroppedHeader(const std::string& path) {
    DroppedHeader header;
    switch (readHeaderOf(path, header.bytes)) {
        case HeaderRead::Read:
            header.kind = DroppedHeader::Kind::Header;
            return header;
        case HeaderRead::Directory:
            header.kind = DroppedHeader::Kind::Directory;
            return header;
        case HeaderRead::Missing:
            header.kind = DroppedHeader::Kind::Missing;
            return header;
        case HeaderRead::Unreadable:
            break;
    }
    // A folder we may not open (no read permission) is still a folder.
    const bool isDirectory = callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value(path)}) != 0;
    header.kind = isDirectory ? DroppedHeader::Kind::Directory : DroppedHeader::Kind::NoHeader;
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
