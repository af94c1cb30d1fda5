#pragma once
// Makes a file read-only for the length of a test. Tests run as root here, and
// root ignores permission bits, so for root the file is made immutable instead
// (where the file system allows it); isReadOnly() says whether either worked.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vex::test {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        namespace fs = std::filesystem;
        fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        if (::geteuid() == 0) immutable_ = setImmutable(true);
    }
    ~ReadOnlyFile() {
        if (immutable_) setImmutable(false);
        std::filesystem::permissions(
            path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isReadOnly() const { return ::geteuid() != 0 || immutable_; }

private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    std::string path_;
    bool immutable_ = false;
};

}  // namespace vex::test
