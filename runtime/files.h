#pragma once
// Whole-file and numbered-file commands over POSIX. None of them shows a
// message or raises a runtime error: failures come back as false, 0, -1 or an
// empty byte-set, and where a caller lists failures to the user, as an error text.
//
// Share modes between openers (numbered files and writeFile) are kept with
// open-file-description locks (F_OFD_SETLK), so they hold between two openers in
// one process as well as between processes running this runtime. Programs that
// do not take these locks are not held back by them.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace vex {

// True when a directory search for `name` finds at least one entry: files,
// directories and dangling links count. A name that does not exist literally and
// holds "*" or "?" is a wildcard pattern over its last component(s).
bool fileExists(const std::string& name);

// True when `path` names an existing directory (links followed).
bool isDirectory(const std::string& path);

// Renames without ever replacing: false when `newName` exists (as anything) or
// `oldName` is missing. `error`, when given, receives the reason of a failure.
bool renameFile(const std::string& oldName, const std::string& newName, std::string* error = nullptr);

// A folder opened once, so that what is read in it and what is renamed in it
// are in the same folder, even when a folder on its path is swapped for a
// symbolic link meanwhile.
class FolderHandle {
public:
    FolderHandle() = default;
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle();

    // Opens `folder` ("" is the current folder). False, with the reason, when it cannot be opened.
    bool open(const std::string& folder, std::string* error = nullptr);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& folder() const { return folder_; }

    // Up to `count` first bytes of the regular file `name` in the folder. A
    // final symbolic link is not followed and nothing blocks: a link, FIFO,
    // device or socket is refused. False with the reason when it cannot be read.
    bool readFirstBytes(const std::string& name, std::size_t count, std::string& bytes,
                        std::string* error = nullptr) const;
    // Renames `from` to `to`, both names in this folder, never replacing an existing entry.
    bool renameNoReplace(const std::string& from, const std::string& to, std::string* error = nullptr) const;

private:
    int fd_ = -1;
    std::string folder_;
};

// Creates or replaces `name` with the byte-sets written in order. A regular file
// is replaced atomically, so a failed write leaves the old content (or no file)
// rather than a torn one; a FIFO or device is written in place. False for an empty
// name, a file another opener holds, or any failure.
bool writeFile(const std::string& name, std::span<const ByteSet> parts);
bool writeFile(const std::string& name, const ByteSet& bytes);

// Reads a whole regular file. False (with the reason in `error`) for a missing
// file, a directory, a FIFO or device, or a read failure; never blocks.
bool readWholeFile(const std::string& name, std::string& content, std::string* error = nullptr);

// What tells whether a file was written between two looks at it: equal stamps
// mean the same file with the same size and modification time.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStampOf(int fd);
FileStamp fileStampOf(const struct stat& info);

// Tells this boot of the machine from every other (from the kernel's boot_id), 0 when
// the kernel does not say. A cache stamped with it need not wait for the disk: what a
// crash of the machine could have torn is passed over after the reboot anyway, and
// within one boot every process sees the page cache as written.
std::uint64_t currentBootStamp();

// A file's bytes, read whole into memory that is never cleared first: a long
// list is copied once, from the page cache into its buffer.
class FileBytes {
public:
    FileBytes() = default;
    explicit FileBytes(std::string_view bytes);
    std::string_view view() const { return {data_.get(), size_}; }
    // Drops the bytes from `size` on.
    void cut(std::size_t size) { size_ = std::min(size, size_); }

private:
    friend std::string readRegularFile(const std::string&, FileBytes&, FileStamp*);
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
};

// Reads a regular file whole without blocking on a FIFO. A missing file reads as
// empty, with `stamp->exists` false. Returns "" or why it cannot be read.
std::string readRegularFile(const std::string& path, FileBytes& bytes, FileStamp* stamp = nullptr);

// Open modes of openFile.
namespace open_mode {
constexpr int kRead = 1;             // read only; the file must exist
constexpr int kWrite = 2;            // write only; the file must exist
constexpr int kReadWrite = 3;        // read and write; the file must exist
constexpr int kCreateTruncate = 4;   // write only; created, or cut to length 0
constexpr int kWriteCreate = 5;      // write only; created when missing, content kept
constexpr int kReadWriteCreate = 6;  // read and write; created when missing, content kept
}  // namespace open_mode

// Share modes of openFile: what this opener lets others do while it holds the file.
namespace share_mode {
constexpr int kShareAll = 1;   // others may read and write
constexpr int kDenyRead = 2;   // others may not read
constexpr int kDenyWrite = 3;  // others may not write
constexpr int kExclusive = 4;  // others may neither read nor write
}  // namespace share_mode

// Opens `name` (binary, position 0) and returns its file number, or 0 for an empty
// name, a mode outside 1..6, a share mode outside 1..4, a directory, a conflict with
// another opener's share mode, or a platform failure. Never blocks: a FIFO without
// a writer opens for reading (and reads nothing); one without a reader fails for writing.
int openFile(const std::string& name, int openMode = open_mode::kReadWrite,
             int shareMode = share_mode::kShareAll);

// Closes the file and forgets its number; an unknown number does nothing.
void closeFile(int fileNumber);

// Sets the position to 0; false for an unknown number.
bool moveToStartOfFile(int fileNumber);

// Up to `length` bytes from the current position (fewer at the end, none past it).
// Empty for length <= 0 or an unknown number; a read failure moves the position to
// the end of the file and gives an empty byte-set.
ByteSet readBytes(int fileNumber, int length);

// The file's size in bytes; -1 for an unknown number or a platform failure.
std::int64_t getFileLength(int fileNumber);

// Number of files currently open through openFile (for leak checks in tests).
int openFileCount();

}  // namespace vex
