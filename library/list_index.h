#pragma once
// An index kept beside a long list file: for each name, where its first
// section lies in the file. A drop of a few files into a list of a million
// entries then reads only the sections of its own names, and appends.
//
// The index is a cache. It describes the list as one stamp of it (device,
// inode, size, modification time) found it in one boot of the machine, and is
// used only while the list still has that stamp in that boot: a list changed by anything else (a hand edit,
// an atomic rewrite, an append cut short) makes it stale, and it is then built again from a scan of the list.
// Losing it, or finding it damaged, costs a scan, never a wrong answer. Only a program holding the data
// directory's lock reads or writes it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files.h"

namespace vex {

// Where one section lies in a list file: its header line's start and its length.
struct SectionExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct IndexedSection {
    std::uint64_t hash = 0;  // listNameHash of the section's name
    SectionExtent extent;
};

// What appending to the list needs to know beside its names.
struct ListShape {
    std::uint64_t wholeSize = 0;  // the length without a torn append at the end
    bool endsWithLineBreak = true;
    std::string lineEnding = "\r\n";  // what new lines end with
};

std::uint64_t listNameHash(std::string_view name);

class ListNameIndex {
public:
    enum class Listed : std::uint8_t { No, Yes, Unsure };

    ListNameIndex(ListNameIndex&& other) noexcept;
    ListNameIndex& operator=(ListNameIndex&& other) noexcept;
    ListNameIndex(const ListNameIndex&) = delete;
    ListNameIndex& operator=(const ListNameIndex&) = delete;
    ~ListNameIndex();

    static std::string pathFor(const std::string& listFile) { return listFile + ".names"; }

    // The index of `listFile` when it describes the list as `stamp` found it; nothing otherwise.
    static std::optional<ListNameIndex> open(const std::string& listFile, const FileStamp& stamp);
    // A new index for a list of `sections` (the first copy of a name first), as `stamp` found it.
    // Nothing when it cannot be written: the list is then scanned next time.
    static std::optional<ListNameIndex> write(const std::string& listFile, const FileStamp& stamp,
                                              const ListShape& shape,
                                              const std::vector<IndexedSection>& sections);
    // Lists shorter than this are scanned: their index would cost more than it saves.
    static std::uint64_t smallestIndexedList();
    static void setSmallestIndexedList(std::uint64_t bytes);  // for tests

    // Whether `name` is listed: No for certain, Yes with where its first section lies
    // (its header may still name another name of the same hash: check it), or Unsure.
    Listed find(std::string_view name, SectionExtent& extent) const;
    const ListShape& shape() const { return shape_; }

    // Sections appended to the list, which `stamp` now finds with `shape`. When the
    // index cannot take them, it is left stale.
    void add(const std::vector<IndexedSection>& sections, const FileStamp& stamp, const ListShape& shape);

private:
    struct Header;
    struct Slot {
        std::uint64_t hash = 0;    // 0: empty
        std::uint64_t packed = 0;  // offset << kLengthBits | length, or kUnsure
    };
    ListNameIndex(std::string listFile, int fd, void* mapping, std::size_t mappedBytes, ListShape shape);
    Slot* slotTable() const;
    std::uint64_t slotCount() const;
    void writeHeader(const FileStamp& stamp, const ListShape& shape, std::uint64_t used);
    void close();

    std::string listFile_;
    int fd_ = -1;
    void* mapping_ = nullptr;
    std::size_t mappedBytes_ = 0;
    ListShape shape_;
};

}  // namespace vex
