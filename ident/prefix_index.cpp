#include "ident/prefix_index.h"

#include <algorithm>

#include "runtime/text.h"

namespace vex {
namespace {

constexpr int prefixLengthAt(int position) { return kLongestPrefix - position; }

}  // namespace

std::string storedTypeText(const Value& type) {
    if (const auto* text = type.get_if<std::string>()) return *text;
    if (const auto* number = type.get_if<std::int64_t>()) return std::to_string(*number);
    if (const auto* number = type.get_if<std::int32_t>()) return std::to_string(*number);
    if (const auto* number = type.get_if<std::int16_t>()) return std::to_string(*number);
    if (const auto* number = type.get_if<std::uint8_t>()) return std::to_string(*number);
    return {};
}

std::string_view signaturePrefix(std::string_view signature, int length) {
    // The same cut as cutToBytes, without copying: this runs 17 times per file.
    std::size_t end = length <= 0 ? 0 : std::min(signature.size(), static_cast<std::size_t>(length));
    while (end > 0 && !isCharacterBoundary(signature, end)) --end;
    return signature.substr(0, end);
}

void PrefixIndex::addRecord(Value fileType, const std::array<std::string_view, kPrefixCount>& prefixes) {
    const auto record = static_cast<std::uint32_t>(types_.size());
    types_.push_back(std::move(fileType));
    if ((used_ + kPrefixCount) * 2 > slots_.size()) growTo(std::max<std::size_t>(64, slots_.size() * 2));
    std::array<std::uint32_t, kPrefixCount> hashes;
    for (int position = 0; position < kPrefixCount; ++position) {
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
    }
    for (int position = 0; position < kPrefixCount; ++position) {
        const std::string_view prefix = prefixes[position];
        if (!prefix.empty() && prefix.size() <= 0xFFFF) insert(position, prefix, hashes[position], record);
    }
}

void PrefixIndex::reserve(std::size_t records) {
    types_.reserve(records);
    // As addRecord grows it: room for every prefix of every record with the table at most half full.
    std::size_t wanted = 64;
    while (wanted < 2 * records * kPrefixCount) wanted *= 2;
    if (wanted > slots_.size()) growTo(wanted);
}

std::uint32_t PrefixIndex::hashOf(int position, std::string_view text) {
    const std::uint64_t h =
        std::hash<std::string_view>{}(text) ^ (static_cast<std::uint64_t>(position) * 0x9E3779B97F4A7C15ull);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

bool PrefixIndex::holds(const Slot& slot, std::uint32_t hash, int position, std::string_view text) const {
    return slot.hash == hash && slot.position == position && slot.length == text.size() &&
           std::string_view(texts_).substr(slot.offset, slot.length) == text;
}

void PrefixIndex::prefetch(std::uint32_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
}

std::uint32_t PrefixIndex::find(int position, std::string_view text, std::uint32_t hash) const {
    if (slots_.empty()) return kNotFound;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.record == kEmpty) return kNotFound;
        if (holds(slot, hash, position, text)) return slot.record;
    }
}

// The caller has made room: the table stays at most half full.
void PrefixIndex::insert(int position, std::string_view text, std::uint32_t hash, std::uint32_t record) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (; slots_[i].record != kEmpty; i = (i + 1) & mask) {
        if (holds(slots_[i], hash, position, text)) return;  // an earlier record holds it
    }
    slots_[i] = Slot{hash, record, static_cast<std::uint32_t>(texts_.size()),
                     static_cast<std::uint16_t>(text.size()), static_cast<std::uint8_t>(position)};
    texts_ += text;
    ++used_;
}

void PrefixIndex::growTo(std::size_t slotCount) {
    std::vector<Slot> old(slotCount);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.record == kEmpty) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].record != kEmpty) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::string PrefixIndex::lookup(std::string_view signature) const {
    std::array<std::string_view, kPrefixCount> prefixes;
    std::array<std::uint32_t, kPrefixCount> hashes;
    for (int position = 0; position < kPrefixCount; ++position) {
        prefixes[position] = signaturePrefix(signature, prefixLengthAt(position));
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
    }
    for (int position = 0; position < kPrefixCount; ++position) {
        const std::uint32_t record = find(position, prefixes[position], hashes[position]);
        if (record == kNotFound) continue;
        std::string type = storedTypeText(types_[record]);
        if (!type.empty()) return type;
    }
    return std::string(kUnknownFileType);
}

}  // namespace vex
