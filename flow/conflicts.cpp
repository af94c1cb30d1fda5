#include "flow/conflicts.h"

#include <algorithm>

#include "flow/lists.h"
#include "ident/match_details.h"
#include "ident/prefix_index.h"
#include "runtime/translation.h"

namespace vex {
namespace {

constexpr std::size_t kFirstDigits = kMeaningfulSharedDigits;

int sharedDigits(std::string_view a, std::string_view b) {
    const auto differ = std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin());
    return static_cast<int>(differ.first - a.begin());
}

bool isHexValue(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

RecordConflict::Kind kindOf(std::size_t shared, std::size_t recordLength, std::size_t valueLength) {
    if (shared == recordLength && recordLength < valueLength) return RecordConflict::Kind::Extends;
    if (shared == valueLength && valueLength < recordLength) return RecordConflict::Kind::ExtendedBy;
    if (recordLength == valueLength && shared == valueLength) return RecordConflict::Kind::SameValue;
    return RecordConflict::Kind::SharesPrefix;
}

std::string sampleClassesText(const std::vector<SampleClass>& samples) {
    std::string text;
    for (const SampleClass& sample : samples) {
        if (!text.empty()) text += ", ";
        text += sample.fileClass + " ×" + std::to_string(sample.count);
    }
    return text;
}

}  // namespace

void ConflictFinder::addRecord(KeyedSignature record) {
    const std::size_t index = records_.size();
    const std::string& value = record.signature;
    if (value.size() >= kFirstDigits)
        byFirstDigits_[value.substr(0, kFirstDigits)].push_back(index);
    else if (value.size() >= static_cast<std::size_t>(kShortestPrefix))
        shortValues_[value].push_back(index);
    records_.push_back(std::move(record));
    if (!byShortPrefix_.empty()) indexShortPrefixes(index);
}

void ConflictFinder::indexShortPrefixes(std::size_t record) {
    const std::string& value = records_[record].signature;
    for (std::size_t n = kShortestPrefix; n < kFirstDigits && n < value.size(); ++n)
        byShortPrefix_[n - kShortestPrefix][value.substr(0, n)].push_back(record);
}

// Only a value shorter than 8 digits needs records by their shorter
// beginnings; a library rarely holds one, so the index is built on first need.
void ConflictFinder::buildShortPrefixIndex() {
    if (!byShortPrefix_.empty()) return;
    byShortPrefix_.resize(kFirstDigits - kShortestPrefix);
    for (std::size_t record = 0; record < records_.size(); ++record) indexShortPrefixes(record);
}

void ConflictFinder::addSample(std::string_view signature, std::string_view fileClass) {
    if (signature.size() < static_cast<std::size_t>(kShortestPrefix) || !isHexValue(signature) ||
        fileClass.empty())
        return;
    if (signature.size() >= kFirstDigits)
        ++samplesByFirstDigits_[std::string(signature.substr(0, kFirstDigits))][std::string(fileClass)];
    samples_.emplace_back(signature, fileClass);
}

void ConflictFinder::addSamples(const std::vector<ExperimentEntry>& samples) {
    for (const ExperimentEntry& sample : samples) addSample(sample.signature, sample.fileClass);
}

ValueConflicts ConflictFinder::conflictsOf(std::string_view signature, std::string_view type) {
    ValueConflicts conflicts;
    const std::size_t length = signature.size();
    if (length < static_cast<std::size_t>(kShortestPrefix)) return conflicts;

    std::vector<std::size_t> candidates;
    auto take = [&](const auto& map, std::string_view key) {
        if (auto found = map.find(std::string(key)); found != map.end())
            candidates.insert(candidates.end(), found->second.begin(), found->second.end());
    };
    if (length >= kFirstDigits) take(byFirstDigits_, signature.substr(0, kFirstDigits));
    for (std::size_t n = kShortestPrefix; n < kFirstDigits && n <= length; ++n)
        take(shortValues_, signature.substr(0, n));
    if (length < kFirstDigits) {
        buildShortPrefixIndex();
        take(byShortPrefix_[length - kShortestPrefix], signature);
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (std::size_t index : candidates) {
        const KeyedSignature& record = records_[index];
        if (sameType(record.type, type)) continue;
        const int shared = sharedDigits(record.signature, signature);
        const RecordConflict::Kind kind =
            kindOf(static_cast<std::size_t>(shared), record.signature.size(), length);
        if (kind == RecordConflict::Kind::SharesPrefix && shared < kMeaningfulSharedDigits) continue;
        conflicts.records.push_back({kind, shared, record});
    }
    std::stable_sort(conflicts.records.begin(), conflicts.records.end(),
                     [](const RecordConflict& a, const RecordConflict& b) { return a.digits > b.digits; });

    conflicts.sampleDigits = static_cast<int>(std::min(length, kFirstDigits));
    ClassCounts counts;
    if (length >= kFirstDigits) {
        if (auto found = samplesByFirstDigits_.find(std::string(signature.substr(0, kFirstDigits)));
            found != samplesByFirstDigits_.end())
            counts = found->second;
    } else {
        for (const auto& [value, fileClass] : samples_)
            if (value.starts_with(signature)) ++counts[fileClass];
    }
    for (const auto& [fileClass, count] : counts)
        if (!sameType(fileClass, type)) conflicts.samples.push_back({fileClass, count});
    std::sort(conflicts.samples.begin(), conflicts.samples.end(),
              [](const SampleClass& a, const SampleClass& b) {
                  return a.count != b.count ? a.count > b.count : a.fileClass < b.fileClass;
              });
    return conflicts;
}

std::vector<std::string> describeConflicts(const ValueConflicts& conflicts, std::string_view signature,
                                           std::string_view type, std::size_t listed) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < conflicts.records.size() && i < listed; ++i) {
        const RecordConflict& conflict = conflicts.records[i];
        const std::string key = std::to_string(conflict.record.key);
        const std::string& otherType = conflict.record.type;
        const std::string& other = conflict.record.signature;
        switch (conflict.kind) {
            case RecordConflict::Kind::SharesPrefix:
                lines.push_back(message("shares its first %1 digits with record %2 (%3, %4)",
                                        {std::to_string(conflict.digits), key, otherType, other}));
                break;
            case RecordConflict::Kind::Extends:
                lines.push_back(message(
                    "extends record %1 (%2, %3): files beginning with %4 were identified as %2 and now as %5",
                    {key, otherType, other, signature, type}));
                break;
            case RecordConflict::Kind::ExtendedBy:
                lines.push_back(message(
                    "is the beginning of record %1 (%2, %3), which comes first and keeps answering the "
                    "files this value would match",
                    {key, otherType, other}));
                break;
            case RecordConflict::Kind::SameValue:
                lines.push_back(
                    message("is held by record %1 (%2) too, which comes first and answers its files",
                            {key, otherType}));
                break;
        }
    }
    if (conflicts.records.size() > listed)
        lines.push_back(message("… and %1 more records of other types",
                                {std::to_string(conflicts.records.size() - listed)}));
    if (!conflicts.samples.empty())
        lines.push_back(
            message("shares its first %1 digits with sampled files seen as %2",
                    {std::to_string(conflicts.sampleDigits), sampleClassesText(conflicts.samples)}));
    return lines;
}

std::vector<std::string> conflictWarnings(const DataDirectory& data, SignatureStore& store,
                                          std::string_view signature, std::string_view type) {
    ConflictFinder finder;
    std::vector<KeyedSignature> near;
    if (!store.recordsNear(signature, near)) return {};
    for (KeyedSignature& record : near) finder.addRecord(std::move(record));
    // Only samples that begin as the value does can conflict with it: a long experiment list is not copied
    // whole.
    const std::string_view beginning =
        signature.substr(0, std::min<std::size_t>(signature.size(), kFirstDigits));
    ExperimentList samples(data.experimentListPath());
    if (samples.load().empty())
        samples.forEachEntry([&](const ExperimentEntry& sample) {
            if (std::string_view(sample.signature).starts_with(beginning))
                finder.addSample(sample.signature, sample.fileClass);
        });
    return describeConflicts(finder.conflictsOf(signature, type), signature, type);
}

std::string describeStoredWithWarnings(std::string_view signature, std::string_view type,
                                       const std::vector<std::string>& warnings) {
    if (warnings.empty()) return {};
    std::string text = message("The signature value %1 was stored as %2, but it:", {signature, type});
    for (const std::string& warning : warnings) text += "\n- " + warning;
    return text;
}

LibraryCheckOutcome checkLibrary(const DataDirectory& data) {
    LibraryCheckOutcome outcome;
    std::optional<SignatureStore> store = openConfirmedLibrary(data, outcome.error);
    if (!store) return outcome;
    std::vector<KeyedSignature> records;
    std::string reason;
    if (!store->listKeyed(records, &reason)) {
        outcome.error =
            message("Cannot read the confirmed library '%1'. Reason: %2", {data.libraryPath(), reason});
        return outcome;
    }
    Listing<ExperimentEntry> samples = listExperiments(data);
    if (!samples.error.empty()) {
        outcome.error = std::move(samples.error);
        return outcome;
    }
    ConflictFinder finder;
    finder.addSamples(samples.entries);
    outcome.records = records.size();
    for (KeyedSignature& record : records) {
        ValueConflicts conflicts = finder.conflictsOf(record.signature, record.type);
        if (!conflicts.empty()) outcome.conflicts.push_back({record, std::move(conflicts)});
        finder.addRecord(std::move(record));
    }
    return outcome;
}

}  // namespace vex
