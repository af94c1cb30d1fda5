#include "ident/signature.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

std::string HexDigitsOf(const unsigned char* bytes, int count) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<size_t>(count) * 2);
    for (int i = 0; i < count; ++i) {
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string ReadSignatureValue(const std::string& path) {
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::string(kTooShortText);
    unsigned char header[kSignatureBytes];
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= kSignatureBytes &&
                    readHeader(fd, header, kSignatureBytes);
    ::close(fd);
    if (!ok) return std::string(kTooShortText);
    return HexDigitsOf(header, kSignatureBytes);
}

std::string FileClassOf(std::string& path) {
    path = trimBothEnds(path);
    // Only the last component can carry an extension: a full stop in a folder name is not one.
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const size_t stop = path.rfind('.');
    if (stop == std::string::npos || stop < nameStart) return std::string(kNoClassText);
    return path.substr(stop + 1);
}

}  // namespace vex
