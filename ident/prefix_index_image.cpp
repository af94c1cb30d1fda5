// The records part of a PrefixIndex as bytes and back. An image is read far
// more often than it is written (once per drop, against once per change of the
// library), so it is the index's own arrays copied as they are, each read
// straight into place; only the types are encoded one by one.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <type_traits>
#include <variant>

#include "ident/prefix_index.h"

namespace vex {
namespace {

// Change whenever the arrays below, the kinds a Value can hold, or what the
// index makes of a record change: an image of another layout is then rebuilt.
constexpr std::uint64_t kImageLayout = 1;
constexpr char kImageMagic[8] = {'V', 'X', 'P', 'R', 'E', 'F', 'I', 'X'};

enum HeaderField : std::size_t {
    kMagic,
    kLayout,
    kRecords,
    kSlots,
    kUsed,
    kTextBytes,
    kExtras,
    kLinks,
    kTypeBytes,
    kChecksum,
    kHeaderFields
};
using Header = std::array<std::uint64_t, kHeaderFields>;
constexpr std::size_t kHeaderBytes = sizeof(Header);
// No library comes near this; a file claiming more is not read into memory.
constexpr std::uint64_t kLargestImage = std::uint64_t{1} << 40;

// A checksum that catches any changed byte and almost any other damage, at a
// few milliseconds for a 100,000-record image. Each part is taken in chunks
// of one size, so a reader that checks each chunk as it arrives (still in the
// processor's cache) gets the same sum as the writer.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

std::uint64_t mixed(std::uint64_t state, std::uint64_t word) {
    return std::rotl((state ^ word) * kMultiplier, 29);
}

std::uint64_t chunkSum(const char* bytes, std::size_t size) {
    std::uint64_t lanes[4] = {size, 1, 2, 3};
    std::size_t at = 0;
    for (; at + 32 <= size; at += 32) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at + 8 * lane, 8);
            lanes[lane] = mixed(lanes[lane], word);
        }
    }
    for (; at < size; ++at) lanes[at % 4] = mixed(lanes[at % 4], static_cast<unsigned char>(bytes[at]));
    std::uint64_t sum = 0;
    for (const std::uint64_t lane : lanes) sum = mixed(sum, lane);
    return sum;
}

class Checksum {
public:
    // One chunk of a part: a whole kChunkBytes, or what is left of the part.
    void addChunk(const char* bytes, std::size_t size) { sum_ = mixed(sum_, chunkSum(bytes, size)); }
    void addPart(std::string_view part) {
        for (std::size_t at = 0; at < part.size(); at += kChunkBytes)
            addChunk(part.data() + at, std::min(kChunkBytes, part.size() - at));
    }
    std::uint64_t value() const { return sum_; }

private:
    std::uint64_t sum_ = 0;
};

template <class T, class Allocator>
std::string_view bytesOf(const std::vector<T, Allocator>& items) {
    static_assert(std::is_trivially_copyable_v<T>);
    return {reinterpret_cast<const char*>(items.data()), items.size() * sizeof(T)};
}

// ---- types: one kind byte (the Value's alternative), then its contents ----

template <class T>
void putRaw(std::string& out, const T& item) {
    static_assert(std::is_trivially_copyable_v<T>);
    out.append(reinterpret_cast<const char*>(&item), sizeof item);
}

void putBytes(std::string& out, const void* bytes, std::size_t size) {
    putRaw(out, static_cast<std::uint64_t>(size));
    out.append(static_cast<const char*>(bytes), size);
}

static_assert(std::variant_size_v<Value::Storage> == 14, "a new kind of Value needs its encoding here");

void putValue(std::string& out, const Value& value) {
    const Value::Storage& storage = value.storage();
    out += static_cast<char>(storage.index());
    if (const auto* v = std::get_if<std::uint8_t>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<std::int16_t>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<std::int32_t>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<std::int64_t>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<float>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<double>(&storage)) putRaw(out, *v);
    if (const auto* v = std::get_if<bool>(&storage)) putRaw(out, static_cast<std::uint8_t>(*v));
    if (const auto* v = std::get_if<DateTime>(&storage)) putRaw(out, v->days);
    if (const auto* v = std::get_if<std::string>(&storage)) putBytes(out, v->data(), v->size());
    if (const auto* v = std::get_if<ByteSet>(&storage)) putBytes(out, v->data(), v->size());
    if (const auto* v = std::get_if<Subroutine>(&storage))
        putRaw(out, static_cast<std::uint64_t>(v->address));
    if (const auto* v = std::get_if<UnitRef>(&storage)) {
        putRaw(out, v->window);
        putRaw(out, v->unit);
    }
    if (const auto* v = std::get_if<NumericArray>(&storage)) {
        putRaw(out, static_cast<std::uint32_t>(v->element));
        putBytes(out, v->data.data(), v->data.size());
    }
}

// Reads values back from an encoded run, every length checked against what is left.
class ValueReader {
public:
    explicit ValueReader(std::string_view bytes) : rest_(bytes) {}
    bool atEnd() const { return rest_.empty(); }

    std::optional<Value> next() {
        std::uint8_t kind;
        if (!take(kind)) return std::nullopt;
        switch (kind) {
            case 0:
                return Value();
            case 1:
                return scalar<std::uint8_t>();
            case 2:
                return scalar<std::int16_t>();
            case 3:
                return scalar<std::int32_t>();
            case 4:
                return scalar<std::int64_t>();
            case 5:
                return scalar<float>();
            case 6:
                return scalar<double>();
            case 7: {
                std::uint8_t flag;
                if (!take(flag) || flag > 1) return std::nullopt;
                return Value(flag == 1);
            }
            case 8: {
                double days;
                if (!take(days)) return std::nullopt;
                return Value(DateTime{days});
            }
            case 9: {
                std::string_view text;
                if (!takeBytes(text)) return std::nullopt;
                return Value(std::string(text));
            }
            case 10: {
                std::string_view bytes;
                if (!takeBytes(bytes)) return std::nullopt;
                return Value(ByteSet(bytes.begin(), bytes.end()));
            }
            case 11: {
                std::uint64_t address;
                if (!take(address)) return std::nullopt;
                return Value(Subroutine{static_cast<std::uintptr_t>(address)});
            }
            case 12: {
                UnitRef unit;
                if (!take(unit.window) || !take(unit.unit)) return std::nullopt;
                return Value(unit);
            }
            case 13: {
                std::uint32_t element;
                std::string_view bytes;
                if (!take(element) || !takeBytes(bytes)) return std::nullopt;
                return Value(
                    NumericArray{static_cast<TypeTag>(element), ByteSet(bytes.begin(), bytes.end())});
            }
            default:
                return std::nullopt;
        }
    }

private:
    template <class T>
    bool take(T& item) {
        if (rest_.size() < sizeof item) return false;
        std::memcpy(&item, rest_.data(), sizeof item);
        rest_.remove_prefix(sizeof item);
        return true;
    }
    template <class T>
    std::optional<Value> scalar() {
        T item;
        if (!take(item)) return std::nullopt;
        return Value(item);
    }
    bool takeBytes(std::string_view& bytes) {
        std::uint64_t size;
        if (!take(size) || size > rest_.size()) return false;
        bytes = rest_.substr(0, static_cast<std::size_t>(size));
        rest_.remove_prefix(static_cast<std::size_t>(size));
        return true;
    }

    std::string_view rest_;
};

// Reads parts of an image into place, chunk by chunk, summing them as they come.
class PartReader {
public:
    PartReader(const PrefixIndex::ImageReader& read, Checksum& checksum) : read_(read), checksum_(checksum) {}

    // `check(first, count)` sees each chunk's items as they arrive, while they are still in the cache.
    template <class T, class Allocator, class Check = bool (*)(const T*, std::size_t)>
    bool into(std::vector<T, Allocator>& items, std::uint64_t count, Check check = nullptr) {
        static_assert(std::is_trivially_copyable_v<T> && kChunkBytes % sizeof(T) == 0);
        items.resize(static_cast<std::size_t>(count));
        char* const at = reinterpret_cast<char*>(items.data());
        const std::size_t size = items.size() * sizeof(T);
        for (std::size_t done = 0; done < size; done += kChunkBytes) {
            const std::size_t chunk = std::min(kChunkBytes, size - done);
            if (!read_(at + done, chunk)) return false;
            checksum_.addChunk(at + done, chunk);
            if constexpr (!std::is_pointer_v<Check>) {
                if (!check(items.data() + done / sizeof(T), chunk / sizeof(T))) return false;
            }
        }
        return true;
    }
    bool into(std::string& text, std::uint64_t size) {
        text.resize(static_cast<std::size_t>(size));
        for (std::size_t done = 0; done < text.size(); done += kChunkBytes) {
            const std::size_t chunk = std::min(kChunkBytes, text.size() - done);
            if (!read_(text.data() + done, chunk)) return false;
            checksum_.addChunk(text.data() + done, chunk);
        }
        return true;
    }

private:
    const PrefixIndex::ImageReader& read_;
    Checksum& checksum_;
};

}  // namespace

std::vector<std::string_view> PrefixIndex::Image::parts() const {
    return {header_,     slots_,     texts_,      bytesOf(keys_), bytesOf(keyKnown_),
            laterFirst_, laterLast_, laterLinks_, types_};
}

PrefixIndex::Image PrefixIndex::image() const {
    // The slots are copied byte for byte: no padding may carry stray bytes into the image.
    static_assert(std::has_unique_object_representations_v<Slot> &&
                  std::has_unique_object_representations_v<Link>);
    Image image;
    image.keys_.reserve(keys_.size());
    image.keyKnown_.reserve(keys_.size());
    for (const std::optional<std::int64_t>& key : keys_) {
        image.keys_.push_back(key.value_or(0));
        image.keyKnown_.push_back(key.has_value());
    }
    for (const Value& type : types_) putValue(image.types_, type);

    // A library read at its size from the store holds many shared prefixes: the
    // table made ready for all of them may be far larger than they need.
    std::size_t smallest = 64;
    while (smallest < 2 * used_) smallest *= 2;
    if (smallest < slots_.size()) image.smallSlots_ = rehashed(smallest);
    image.slots_ = bytesOf(image.smallSlots_.empty() ? slots_ : image.smallSlots_);
    image.texts_ = texts_;
    image.laterFirst_ = bytesOf(laterFirst_);
    image.laterLast_ = bytesOf(laterLast_);
    image.laterLinks_ = bytesOf(laterLinks_);

    Header header{};
    std::memcpy(&header[kMagic], kImageMagic, sizeof kImageMagic);
    header[kLayout] = kImageLayout;
    header[kRecords] = types_.size();
    header[kSlots] = image.slots_.size() / sizeof(Slot);
    header[kUsed] = used_;
    header[kTextBytes] = texts_.size();
    header[kExtras] = laterFirst_.size();
    header[kLinks] = laterLinks_.size();
    header[kTypeBytes] = image.types_.size();
    // The checksum covers the header too, taken with the checksum's own place empty.
    image.header_.assign(reinterpret_cast<const char*>(header.data()), kHeaderBytes);
    Checksum checksum;
    for (const std::string_view part : image.parts()) checksum.addPart(part);
    header[kChecksum] = checksum.value();
    std::memcpy(image.header_.data(), header.data(), kHeaderBytes);
    return image;
}

void PrefixIndex::resealImage(std::string& image) {
    if (image.size() < kHeaderBytes) return;
    Header header;
    std::memcpy(header.data(), image.data(), kHeaderBytes);
    header[kChecksum] = 0;
    Checksum checksum;
    checksum.addPart({reinterpret_cast<const char*>(header.data()), kHeaderBytes});
    // The parts' sizes as the header gives them, each summed in its own chunks.
    const std::uint64_t sizes[] = {
        header[kSlots] * sizeof(Slot),           header[kTextBytes],
        header[kRecords] * sizeof(std::int64_t), header[kRecords],
        header[kExtras] * sizeof(std::uint32_t), header[kExtras] * sizeof(std::uint32_t),
        header[kLinks] * sizeof(Link),           header[kTypeBytes]};
    std::string_view rest = std::string_view(image).substr(kHeaderBytes);
    for (const std::uint64_t size : sizes) {
        const std::string_view part =
            rest.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, rest.size())));
        checksum.addPart(part);
        rest.remove_prefix(part.size());
    }
    header[kChecksum] = checksum.value();
    std::memcpy(image.data(), header.data(), kHeaderBytes);
}

std::optional<PrefixIndex> PrefixIndex::fromImage(std::uint64_t imageSize, const ImageReader& read) {
    if (imageSize < kHeaderBytes || imageSize > kLargestImage) return std::nullopt;
    Header header;
    if (!read(reinterpret_cast<char*>(header.data()), kHeaderBytes)) return std::nullopt;
    if (std::memcmp(&header[kMagic], kImageMagic, sizeof kImageMagic) != 0 || header[kLayout] != kImageLayout)
        return std::nullopt;
    // Each count is checked against the size before any is multiplied, so no sum below can overflow.
    const std::uint64_t records = header[kRecords], slotCount = header[kSlots], extras = header[kExtras],
                        links = header[kLinks];
    for (const std::uint64_t count :
         {records, slotCount, header[kTextBytes], extras, links, header[kTypeBytes]})
        if (count > imageSize) return std::nullopt;
    if (records >= kEmpty || extras >= kEmpty || links >= kEmpty || slotCount > kEmpty) return std::nullopt;
    const std::uint64_t expected = kHeaderBytes + slotCount * sizeof(Slot) + header[kTextBytes] +
                                   records * (sizeof(std::int64_t) + 1) + extras * 2 * sizeof(std::uint32_t) +
                                   links * sizeof(Link) + header[kTypeBytes];
    if (expected != imageSize) return std::nullopt;

    const std::uint64_t claimedSum = header[kChecksum];
    header[kChecksum] = 0;
    Checksum checksum;
    checksum.addPart({reinterpret_cast<const char*>(header.data()), kHeaderBytes});
    PartReader part(read, checksum);
    PrefixIndex index;
    std::vector<std::int64_t> keys;
    std::vector<std::uint8_t> keyKnown;
    std::string types;
    const SlotLimits limits{records, header[kTextBytes], extras};
    std::size_t used = 0;
    const auto slotsInRange = [&](const Slot* slots, std::size_t count) {
        return PrefixIndex::slotsInRange(slots, count, limits, used);
    };
    if (!part.into(index.slots_, slotCount, slotsInRange) || !part.into(index.texts_, header[kTextBytes]) ||
        !part.into(keys, records) || !part.into(keyKnown, records) || !part.into(index.laterFirst_, extras) ||
        !part.into(index.laterLast_, extras) || !part.into(index.laterLinks_, links) ||
        !part.into(types, header[kTypeBytes]) || checksum.value() != claimedSum)
        return std::nullopt;

    // The table must keep empty slots, or a look-up of a missing prefix would never end.
    if ((slotCount != 0 && !std::has_single_bit(slotCount)) || used != header[kUsed] ||
        used * 2 > slotCount || !index.chainsEnd(static_cast<std::size_t>(records)))
        return std::nullopt;
    index.used_ = used;
    index.keys_.reserve(keys.size());
    for (std::size_t record = 0; record < keys.size(); ++record) {
        if (keyKnown[record] > 1) return std::nullopt;
        index.keys_.push_back(keyKnown[record] ? std::optional(keys[record]) : std::nullopt);
    }
    index.types_.reserve(keys.size());
    ValueReader values(types);
    while (index.types_.size() < records) {
        std::optional<Value> type = values.next();
        if (!type) return std::nullopt;
        index.types_.push_back(std::move(*type));
    }
    if (!values.atEnd()) return std::nullopt;
    index.classCounts_.resize(index.laterFirst_.size());
    index.workedAt_.assign(index.laterFirst_.size(), kEmpty);
    return index;
}

// Without a branch per slot: a table of millions of slots is checked at the speed it is read.
bool PrefixIndex::slotsInRange(const Slot* slots, std::size_t count, const SlotLimits& limits,
                               std::size_t& used) {
    bool wrong = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Slot& slot = slots[i];
        const bool full = slot.record != kEmpty;
        used += full;
        const bool outside = (slot.record >= limits.records) | (slot.length == 0) |
                             (slot.position >= kPrefixCount) |
                             (std::uint64_t{slot.offset} + slot.length > limits.textBytes) |
                             ((slot.extras != kEmpty) & (slot.extras >= limits.extras));
        wrong |= full & outside;
    }
    return !wrong;
}

bool PrefixIndex::chainsEnd(std::size_t records) const {
    const std::size_t links = laterLinks_.size();
    for (std::size_t number = 0; number < laterFirst_.size(); ++number)
        for (const std::uint32_t link : {laterFirst_[number], laterLast_[number]})
            if (link != kEmpty && link >= links) return false;
    // A chain only ever leads to later links, so every chain ends.
    for (std::size_t link = 0; link < links; ++link) {
        const Link& at = laterLinks_[link];
        if (at.record >= records || (at.next != kEmpty && (at.next <= link || at.next >= links)))
            return false;
    }
    return true;
}

}  // namespace vex
