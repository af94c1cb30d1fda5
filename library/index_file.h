#pragma once
// The confirmed library's lookup index, kept in a file beside the library so
// that a drop reads a few flat arrays instead of every record. The file only
// ever stands for the one state of the library it was built from: when the
// library has changed since, or the file is of another version or damaged, it
// is passed over, and the next full reading of the library writes it again.

#include <cstdint>
#include <optional>
#include <string>

#include "ident/prefix_index.h"

namespace vex {

// What tells one state of a library file from every other: the file itself
// (device, inode), its size and times, and SQLite's own count of the changes
// written to it (bytes 24..27 of its header), which moves on every commit even
// when the clock does not.
struct LibraryFileState {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;  // status change: a rewrite in place moves it, and nothing sets it back
    std::uint32_t changeCounter = 0;
    bool operator==(const LibraryFileState&) const = default;
};

// The state of the library at `libraryPath`; nothing when it cannot be read,
// is no SQLite database, or may hold more than its file shows: a rollback
// journal (a write under way, or one cut short) or a write-ahead log beside it
// that is not empty.
std::optional<LibraryFileState> libraryFileState(const std::string& libraryPath);

// The index kept at `indexPath` when it was built from `library` as it is;
// nothing when it is missing, of another version, damaged, or of another state.
std::optional<PrefixIndex> readIndexFile(const std::string& indexPath, const LibraryFileState& library);

// Keeps the records part of `index`, built from `library`, at `indexPath`,
// replacing the file whole. A failure (a read-only folder, a full disk) is
// silent: the index is only ever a shortcut.
void writeIndexFile(const std::string& indexPath, const LibraryFileState& library, const PrefixIndex& index);

}  // namespace vex
