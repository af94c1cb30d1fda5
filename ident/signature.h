#pragma once
// A file's signature value (its first 10 bytes as 20 upper-case hexadecimal
// digits) and its file class (the text after the last full stop of its name).

#include <string>
#include <string_view>

namespace vex {

// What stands in place of a signature value for a file that cannot be read or is shorter than 10 bytes.
inline constexpr std::string_view kTooShortText = "无法读取，文件太短";
// The file class of a name without a full stop.
inline constexpr std::string_view kNoClassText = "无类型";

inline constexpr int kSignatureBytes = 10;

// Returns the signature value of the file at `path`, or kTooShortText. Reads regular files only, never blocks
// (a FIFO, device or socket gives the too-short text at once) and never changes the file.
std::string ReadSignatureValue(const std::string& path);

// What a drop needs to know of one dropped path: whether it names a directory (drops skip those) and,
// if not, its signature value. Costs the same one open as ReadSignatureValue; the directory test through
// PathIsDirectoryA runs only for a path that cannot be opened.
struct ExaminedPath {
    bool isDirectory = false;
    std::string signature;
    // Nothing of that name exists (any more): there is no file to record.
    bool missing = false;
};
ExaminedPath examineDroppedPath(const std::string& path);

// examineDroppedPath in two steps, for reading on one thread and using the result on another: the
// reading step allocates nothing, the text is made by the second.
struct DroppedHeader {
    enum class Kind : unsigned char { Header, Directory, NoHeader, Missing };
    Kind kind = Kind::NoHeader;
    unsigned char bytes[kSignatureBytes] = {};
};
DroppedHeader readDroppedHeader(const std::string& path);
ExaminedPath examinedPathOf(const DroppedHeader& header);

// readDroppedHeader step by step, for a reader that opens and reads by other means (io_uring) and must
// come to the same answer. Open the path with droppedPathOpenFlags(); when that fails, kindAfterFailedOpen
// says the rest. Otherwise kindOfOpened: Header means "read the first kSignatureBytes bytes", and a short
// or interrupted read is finished by finishHeaderRead. An opened path that gives no header (NoHeader, or a
// failed read) is settled by kindWithoutHeader, after the file is closed.
int droppedPathOpenFlags();
DroppedHeader::Kind kindAfterFailedOpen(const std::string& path, int error);
DroppedHeader::Kind kindOfOpened(int fd);
bool finishHeaderRead(int fd, unsigned char* bytes, int done);
DroppedHeader::Kind kindWithoutHeader(const std::string& path);

// Formats `count` bytes as upper-case hexadecimal digits, two per byte.
std::string hexDigitsOf(const unsigned char* bytes, int count);

// Trims blanks (space, U+3000) from both ends of `path` in place, then returns the text after the last full
// stop of its last component (case kept, possibly empty), or kNoClassText when that component has none.
std::string FileClassOf(std::string& path);

}  // namespace vex
