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

void PrefixIndex::addRecord(Value fileType, const std::array<std::string_view, kPrefixCount>& prefixes,
                            std::optional<std::int64_t> key) {
    const auto record = static_cast<std::uint32_t>(types_.size());
    types_.push_back(std::move(fileType));
    keys_.push_back(key);
    if ((used_ + kPrefixCount) * 2 > slots_.size()) growTo(std::max<std::size_t>(64, slots_.size() * 2));
    std::array<std::uint32_t, kPrefixCount> hashes;
    RecordText recordText;
    for (int position = 0; position < kPrefixCount; ++position) {
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
        if (recordText.longest.empty() && prefixes[position].size() <= 0xFF)
            recordText.longest = prefixes[position];
    }
    for (int position = 0; position < kPrefixCount; ++position) {
        const std::string_view prefix = prefixes[position];
        if (!prefix.empty() && prefix.size() <= 0xFF)
            insert(position, prefix, hashes[position], record, recordText);
    }
}

void PrefixIndex::reserve(std::size_t records) {
    types_.reserve(records);
    keys_.reserve(records);
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
    return slot.tag == tagOf(hash) && slot.position == position && slot.length == text.size() &&
           std::string_view(texts_).substr(slot.offset, slot.length) == text;
}

void PrefixIndex::prefetch(std::uint32_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
}

const PrefixIndex::Slot* PrefixIndex::find(int position, std::string_view text, std::uint32_t hash) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.record == kEmpty) return nullptr;
        if (holds(slot, hash, position, text)) return &slot;
    }
}

std::uint32_t PrefixIndex::keepText(std::string_view text, RecordText& record) {
    if (!record.longest.starts_with(text)) {
        const auto offset = static_cast<std::uint32_t>(texts_.size());
        texts_ += text;
        return offset;
    }
    if (record.offset == kEmpty) {
        record.offset = static_cast<std::uint32_t>(texts_.size());
        texts_ += record.longest;
    }
    return record.offset;
}

// The caller has made room: the table stays at most half full.
void PrefixIndex::insert(int position, std::string_view text, std::uint32_t hash, std::uint32_t record,
                         RecordText& recordText) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (; slots_[i].record != kEmpty; i = (i + 1) & mask) {
        if (holds(slots_[i], hash, position, text)) {
            // An earlier record answers for this prefix; this one is an alternative.
            addLaterRecord(i, record);
            return;
        }
    }
    slots_[i] = Slot{record,
                     keepText(text, recordText),
                     kEmpty,
                     tagOf(hash),
                     static_cast<std::uint8_t>(text.size()),
                     static_cast<std::uint8_t>(position)};
    ++used_;
}

PrefixIndex::SlotTable PrefixIndex::rehashed(std::size_t slotCount) const {
    SlotTable table(slotCount, kEmptySlot);
    const std::size_t mask = slotCount - 1;
    for (const Slot& slot : slots_) {
        if (slot.record == kEmpty) continue;
        const std::string_view text = std::string_view(texts_).substr(slot.offset, slot.length);
        std::size_t i = hashOf(slot.position, text) & mask;
        while (table[i].record != kEmpty) i = (i + 1) & mask;
        table[i] = slot;
    }
    return table;
}

void PrefixIndex::growTo(std::size_t slotCount) { slots_ = rehashed(slotCount); }

std::uint32_t PrefixIndex::extrasOf(std::size_t slot) {
    std::uint32_t& number = slots_[slot].extras;
    if (number == kEmpty) {
        number = static_cast<std::uint32_t>(laterFirst_.size());
        laterFirst_.push_back(kEmpty);
        laterLast_.push_back(kEmpty);
        classCounts_.emplace_back();
        workedAt_.push_back(kEmpty);
    }
    workedAt_[number] = kEmpty;  // the caller adds to them
    return number;
}

void PrefixIndex::addLaterRecord(std::size_t slot, std::uint32_t record) {
    const std::uint32_t number = extrasOf(slot);
    const auto link = static_cast<std::uint32_t>(laterLinks_.size());
    laterLinks_.push_back({record, kEmpty});
    std::uint32_t& last = laterLast_[number];
    (last == kEmpty ? laterFirst_[number] : laterLinks_[last].next) = link;
    last = link;
}

void PrefixIndex::addSample(std::string_view signature, std::string_view fileClass) {
    if (fileClass.empty()) return;  // names no alternative
    std::array<std::string_view, kPrefixCount> prefixes;
    std::array<std::uint32_t, kPrefixCount> hashes;
    for (int position = 0; position < kPrefixCount; ++position) {
        prefixes[position] = signaturePrefix(signature, prefixLengthAt(position));
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
    }
    std::uint32_t classNumber = kEmpty;
    for (int position = 0; position < kPrefixCount; ++position) {
        if (prefixes[position].empty()) continue;
        const Slot* found = find(position, prefixes[position], hashes[position]);
        if (!found) continue;
        if (classNumber == kEmpty) {
            const auto [at, isNew] = classNumbers_.try_emplace(std::string(fileClass),
                                                               static_cast<std::uint32_t>(classes_.size()));
            if (isNew) classes_.emplace_back(fileClass);
            classNumber = at->second;
        }
        const auto slot = static_cast<std::size_t>(found - slots_.data());
        auto& counts = classCounts_[extrasOf(slot)];
        const auto counted = std::find_if(counts.begin(), counts.end(), [classNumber](const auto& count) {
            return count.first == classNumber;
        });
        if (counted != counts.end())
            ++counted->second;
        else
            counts.emplace_back(classNumber, 1);
    }
}

PrefixIndex::Match PrefixIndex::match(std::string_view signature) const {
    std::array<std::string_view, kPrefixCount> prefixes;
    std::array<std::uint32_t, kPrefixCount> hashes;
    for (int position = 0; position < kPrefixCount; ++position) {
        prefixes[position] = signaturePrefix(signature, prefixLengthAt(position));
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
    }
    for (int position = 0; position < kPrefixCount; ++position) {
        const Slot* slot = find(position, prefixes[position], hashes[position]);
        if (!slot) continue;
        std::string type = storedTypeText(types_[slot->record]);
        if (!type.empty()) return {slot, std::move(type)};
    }
    return {nullptr, std::string(kUnknownFileType)};
}

std::string PrefixIndex::lookup(std::string_view signature) const { return match(signature).type; }

Answer PrefixIndex::explain(std::string_view signature) const {
    Match found = match(signature);
    Answer answer{std::move(found.type), {}};
    if (!found.slot) return answer;
    answer.details.digits = found.slot->length;
    answer.details.record = keys_[found.slot->record];
    const std::uint32_t extras = found.slot->extras;
    if (extras == kEmpty) return answer;
    if (const Alternatives* alternatives = alternativesOf(extras, answer.type))
        answer.details.alternatives = std::shared_ptr<const Alternatives>(workedAlternatives_, alternatives);
    return answer;
}

const Alternatives* PrefixIndex::alternativesOf(std::uint32_t number, const std::string& type) const {
    if (const std::uint32_t worked = workedAt_[number]; worked != kEmpty)
        return worked == kNone ? nullptr : &(*workedAlternatives_)[worked];
    std::vector<RecordAlternative> records;
    for (std::uint32_t link = laterFirst_[number]; link != kEmpty; link = laterLinks_[link].next) {
        const std::uint32_t record = laterLinks_[link].record;
        std::string other = storedTypeText(types_[record]);
        if (other.empty() || sameType(other, type)) continue;
        const bool listed = std::any_of(records.begin(), records.end(), [&other](const RecordAlternative& r) {
            return sameType(r.type, other);
        });
        if (!listed) records.push_back({std::move(other), keys_[record]});
    }
    std::vector<SampleAlternative> samples;
    for (const auto& [classNumber, count] : classCounts_[number])
        if (!sameType(classes_[classNumber], type)) samples.push_back({classes_[classNumber], count});
    std::sort(samples.begin(), samples.end(), [](const SampleAlternative& a, const SampleAlternative& b) {
        return a.samples != b.samples ? a.samples > b.samples : a.fileClass < b.fileClass;
    });
    workedAt_[number] = kNone;
    if (records.empty() && samples.empty()) return nullptr;
    workedAt_[number] = static_cast<std::uint32_t>(workedAlternatives_->size());
    return &workedAlternatives_->emplace_back(Alternatives{std::move(records), std::move(samples)});
}

}  // namespace vex
