#include "library/list_index.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/atomic_file.h"

namespace vex {
namespace {

constexpr char kMagic[8] = {'V', 'X', 'N', 'A', 'M', 'E', 'S', '\n'};
constexpr std::uint32_t kVersion = 2;
constexpr int kLengthBits = 24;
constexpr std::uint64_t kLongestExtent = (std::uint64_t{1} << kLengthBits) - 1;
constexpr std::uint64_t kFarthestOffset = (std::uint64_t{1} << (64 - kLengthBits)) - 1;
constexpr std::uint64_t kUnsure = ~std::uint64_t{0};
constexpr std::uint64_t kFewestSlots = 1024;

// VEXORIN_LIST_INDEX_FROM (bytes) in the environment sets it for a process, so the
// crash harness can stop runs while they keep the index of a short list.
std::uint64_t smallestIndexedFromEnvironment() {
    if (const char* text = std::getenv("VEXORIN_LIST_INDEX_FROM"); text && *text) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text, &end, 10);
        if (*end == '\0') return value;
    }
    return std::uint64_t{1} << 20;
}

std::atomic<std::uint64_t> smallestIndexed{smallestIndexedFromEnvironment()};

std::uint64_t mix(std::uint64_t value) {
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdULL;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ULL;
    return value ^ (value >> 33);
}

std::uint64_t packed(const SectionExtent& extent) {
    if (extent.length > kLongestExtent || extent.offset > kFarthestOffset) return kUnsure;
    return extent.offset << kLengthBits | extent.length;
}

std::uint32_t lineEndingCode(std::string_view eol) { return eol == "\n" ? 1 : eol == "\r" ? 2 : 3; }
std::string lineEndingOf(std::uint32_t code) { return code == 1 ? "\n" : code == 2 ? "\r" : "\r\n"; }

std::uint64_t slotCountFor(std::uint64_t names) {
    std::uint64_t slots = kFewestSlots;
    while (slots < names * 2) slots *= 2;
    return slots;
}

}  // namespace

std::uint64_t listNameHash(std::string_view name) {
    std::uint64_t hash = mix(name.size() ^ 0x9E3779B97F4A7C15ULL);
    std::size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, name.data() + at, 8);
        hash = mix(hash ^ word);
    }
    std::uint64_t rest = 0;
    if (at < name.size()) std::memcpy(&rest, name.data() + at, name.size() - at);
    hash = mix(hash ^ rest);
    return hash == 0 ? 1 : hash;  // 0 marks an empty slot
}

struct ListNameIndex::Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t lineEnding;
    std::uint64_t device;
    std::uint64_t inode;
    std::int64_t size;
    std::int64_t modifiedNs;
    std::uint64_t wholeSize;
    std::uint64_t endsWithLineBreak;
    std::uint64_t slotCount;
    std::uint64_t used;
    std::uint64_t bootStamp;  // currentBootStamp() when written
    std::uint64_t checksum;   // of everything above

    static Header of(const FileStamp& stamp, const ListShape& shape, std::uint64_t slotCount,
                     std::uint64_t used) {
        Header header{};
        std::memcpy(header.magic, kMagic, sizeof kMagic);
        header.version = kVersion;
        header.lineEnding = lineEndingCode(shape.lineEnding);
        header.device = stamp.device;
        header.inode = stamp.inode;
        header.size = stamp.size;
        header.modifiedNs = stamp.modifiedNs;
        header.wholeSize = shape.wholeSize;
        header.endsWithLineBreak = shape.endsWithLineBreak;
        header.slotCount = slotCount;
        header.used = used;
        header.bootStamp = currentBootStamp();
        header.checksum = header.sum();
        return header;
    }
    std::uint64_t sum() const {
        return listNameHash({reinterpret_cast<const char*>(this), offsetof(Header, checksum)});
    }
    bool describes(const FileStamp& stamp, std::uint64_t fileSize) const {
        return std::memcmp(magic, kMagic, sizeof kMagic) == 0 && version == kVersion && checksum == sum() &&
               device == stamp.device && inode == stamp.inode && size == stamp.size &&
               modifiedNs == stamp.modifiedNs && bootStamp == currentBootStamp() && lineEnding >= 1 &&
               lineEnding <= 3 && wholeSize <= static_cast<std::uint64_t>(stamp.size) &&
               slotCount >= kFewestSlots && (slotCount & (slotCount - 1)) == 0 && used * 2 <= slotCount &&
               fileSize == sizeof(Header) + slotCount * sizeof(Slot);
    }
    ListShape shape() const { return {wholeSize, endsWithLineBreak != 0, lineEndingOf(lineEnding)}; }
};

ListNameIndex::ListNameIndex(std::string listFile, int fd, void* mapping, std::size_t mappedBytes,
                             ListShape shape)
    : listFile_(std::move(listFile)),
      fd_(fd),
      mapping_(mapping),
      mappedBytes_(mappedBytes),
      shape_(std::move(shape)) {}

ListNameIndex::ListNameIndex(ListNameIndex&& other) noexcept { *this = std::move(other); }

ListNameIndex& ListNameIndex::operator=(ListNameIndex&& other) noexcept {
    if (this == &other) return *this;
    close();
    listFile_ = std::move(other.listFile_);
    shape_ = std::move(other.shape_);
    fd_ = std::exchange(other.fd_, -1);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mappedBytes_ = std::exchange(other.mappedBytes_, 0);
    return *this;
}

ListNameIndex::~ListNameIndex() { close(); }

void ListNameIndex::close() {
    if (mapping_) ::munmap(mapping_, mappedBytes_);
    if (fd_ >= 0) ::close(fd_);
    mapping_ = nullptr;
    fd_ = -1;
}

std::uint64_t ListNameIndex::smallestIndexedList() { return smallestIndexed; }
void ListNameIndex::setSmallestIndexedList(std::uint64_t bytes) { smallestIndexed = bytes; }

ListNameIndex::Slot* ListNameIndex::slotTable() const {
    return reinterpret_cast<Slot*>(static_cast<char*>(mapping_) + sizeof(Header));
}

std::uint64_t ListNameIndex::slotCount() const { return (mappedBytes_ - sizeof(Header)) / sizeof(Slot); }

std::optional<ListNameIndex> ListNameIndex::open(const std::string& listFile, const FileStamp& stamp) {
    const int fd = ::open(pathFor(listFile).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    Header header{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        !header.describes(stamp, static_cast<std::uint64_t>(info.st_size))) {
        ::close(fd);
        return std::nullopt;
    }
    const auto bytes = static_cast<std::size_t>(info.st_size);
    void* mapping = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED) {
        ::close(fd);
        return std::nullopt;
    }
    return ListNameIndex(listFile, fd, mapping, bytes, header.shape());
}

std::optional<ListNameIndex> ListNameIndex::write(const std::string& listFile, const FileStamp& stamp,
                                                  const ListShape& shape,
                                                  const std::vector<IndexedSection>& sections) {
    const std::uint64_t count = slotCountFor(sections.size());
    std::string bytes(sizeof(Header) + count * sizeof(Slot), '\0');
    Slot* table = reinterpret_cast<Slot*>(bytes.data() + sizeof(Header));
    std::uint64_t used = 0;
    for (const IndexedSection& section : sections) {
        std::uint64_t at = section.hash & (count - 1);
        while (table[at].hash != 0 && table[at].hash != section.hash) at = (at + 1) & (count - 1);
        if (table[at].hash != 0) continue;  // a later copy of a name, or another name of the same hash
        table[at] = {section.hash, packed(section.extent)};
        ++used;
    }
    const Header header = Header::of(stamp, shape, count, used);
    std::memcpy(bytes.data(), &header, sizeof header);
    // The index is ours alone: whatever else stands under its name (a link, say) is
    // taken away, not written through.
    const std::string path = pathFor(listFile);
    if (struct stat info{}; ::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        ::unlink(path.c_str());
    if (!saveFileAtomically(path, bytes, bootStampedSaveSync()).empty()) return std::nullopt;
    return open(listFile, stamp);
}

ListNameIndex::Listed ListNameIndex::find(std::string_view name, SectionExtent& extent) const {
    const std::uint64_t hash = listNameHash(name);
    const std::uint64_t count = slotCount();
    const Slot* table = slotTable();
    std::uint64_t at = hash & (count - 1);
    for (std::uint64_t probes = 0; probes < count; ++probes, at = (at + 1) & (count - 1)) {
        const Slot slot = table[at];
        if (slot.hash == 0) return Listed::No;
        if (slot.hash != hash) continue;
        if (slot.packed == kUnsure) return Listed::Unsure;
        extent = {slot.packed >> kLengthBits, slot.packed & kLongestExtent};
        // The index was written by us, but read as any file: an extent past the list is no answer.
        if (extent.offset + extent.length > shape_.wholeSize) return Listed::Unsure;
        return Listed::Yes;
    }
    return Listed::Unsure;
}

void ListNameIndex::add(const std::vector<IndexedSection>& sections, const FileStamp& stamp,
                        const ListShape& shape) {
    Header header{};
    std::memcpy(&header, mapping_, sizeof header);
    const std::uint64_t count = slotCount();
    if ((header.used + sections.size()) * 2 > count) {
        // Grown by writing it anew from its own slots: the list need not be read again.
        std::vector<IndexedSection> all;
        all.reserve(header.used + sections.size());
        for (std::uint64_t at = 0; at < count; ++at)
            if (const Slot slot = slotTable()[at]; slot.hash != 0)
                all.push_back({slot.hash, slot.packed == kUnsure
                                              ? SectionExtent{0, kLongestExtent + 1}
                                              : SectionExtent{slot.packed >> kLengthBits,
                                                              slot.packed & kLongestExtent}});
        all.insert(all.end(), sections.begin(), sections.end());
        if (auto grown = write(listFile_, stamp, shape, all)) *this = std::move(*grown);
        return;
    }
    std::uint64_t used = header.used;
    Slot* table = slotTable();
    for (const IndexedSection& section : sections) {
        std::uint64_t at = section.hash & (count - 1);
        while (table[at].hash != 0 && table[at].hash != section.hash) at = (at + 1) & (count - 1);
        if (table[at].hash != 0) continue;
        table[at] = {section.hash, packed(section.extent)};
        ++used;
    }
    // The slots are in place before the header makes them valid for the list as it now is. Without
    // a boot stamp, slots a crash of the machine kept from the disk would look valid after it.
    if (bootStampedSaveSync() == SaveSync::ToDisk && ::fdatasync(fd_) != 0) return;
    writeHeader(stamp, shape, used);
}

void ListNameIndex::writeHeader(const FileStamp& stamp, const ListShape& shape, std::uint64_t used) {
    const Header header = Header::of(stamp, shape, slotCount(), used);
    if (::pwrite(fd_, &header, sizeof header, 0) == static_cast<ssize_t>(sizeof header)) shape_ = shape;
}

}  // namespace vex
