#pragma once
// Conflicts a confirmed value brings into the library. The library keeps one
// record per value and answers with the first record of the longest matching
// prefix, so two types behind one prefix never show: the later one loses
// silently, or takes files the earlier one answered. A value is still stored
// (the user decides), but these are what the user is warned about:
//  - a record of another type shares its first 8 digits or more;
//  - a record of another type is a shorter beginning of the value (files it
//    answered that begin with the value now get the new type), or the value is
//    a beginning of such a record (which comes first and keeps answering);
//  - sampled files sharing those digits carry other file classes.
// Types and classes that differ only in letter case count as one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "library/ini_lists.h"
#include "library/signature_store.h"

namespace vex {

struct RecordConflict {
    enum class Kind {
        SharesPrefix,  // the two values share `digits` digits, and neither is a beginning of the other
        Extends,       // the record's whole value is a shorter beginning of the new one
        ExtendedBy,    // the new value is a shorter beginning of the record's
        SameValue,     // a record holds the very same value (only a hand-made library has two)
    };
    Kind kind = Kind::SharesPrefix;
    int digits = 0;  // digits the two values share
    KeyedSignature record;
};

// A file class of samples that share the value's first digits, and how many carry it.
struct SampleClass {
    std::string fileClass;
    std::size_t count = 0;
};

struct ValueConflicts {
    std::vector<RecordConflict> records;  // the longest shared prefix first
    std::vector<SampleClass> samples;     // the most frequent first
    int sampleDigits = 0;                 // digits the samples share with the value
    bool empty() const { return records.empty() && samples.empty(); }
};

// Records and samples indexed by their first digits, so that each value is
// checked against only those that share its beginning: an import of 100,000
// rows checks every row without reading the library more than once.
class ConflictFinder {
public:
    void addRecord(KeyedSignature record);
    void addSample(std::string_view signature, std::string_view fileClass);
    void addSamples(const std::vector<ExperimentEntry>& samples);

    // What storing `signature` as `type` conflicts with, among what was added.
    ValueConflicts conflictsOf(std::string_view signature, std::string_view type);

private:
    using Bucket = std::vector<std::size_t>;  // indices into records_
    using ClassCounts = std::unordered_map<std::string, std::size_t>;
    void indexShortPrefixes(std::size_t record);
    void buildShortPrefixIndex();

    std::vector<KeyedSignature> records_;
    std::unordered_map<std::string, Bucket> byFirstDigits_;  // values of 8 digits or more, by their first 8
    std::unordered_map<std::string, Bucket> shortValues_;    // values of 4 to 7 digits, whole
    std::vector<std::unordered_map<std::string, Bucket>> byShortPrefix_;  // [n-4]: by first n digits, n < 8
    std::unordered_map<std::string, ClassCounts> samplesByFirstDigits_;
    std::vector<std::pair<std::string, std::string>> samples_;  // kept for a value shorter than 8 digits
};

// One line per conflict, in the user's language: "record 107 (exe, 4D5A9000) …"
// and "shares its first 8 digits with sampled files seen as so ×12, o ×30". At most
// `listed` record lines; the rest are counted.
std::vector<std::string> describeConflicts(const ValueConflicts& conflicts, std::string_view signature,
                                           std::string_view type, std::size_t listed = 10);

// The warnings of storing `signature` as `type` into the library of `data`,
// against its records (asked by prefix, not read whole) and its samples.
// Nothing when the library or the samples cannot be read: a warning is advice,
// never a reason to refuse.
std::vector<std::string> conflictWarnings(const DataDirectory& data, SignatureStore& store,
                                          std::string_view signature, std::string_view type);

// A message for the window: the value was stored, and why it may mislead.
std::string describeStoredWithWarnings(std::string_view signature, std::string_view type,
                                       const std::vector<std::string>& warnings);

struct LibraryConflict {
    KeyedSignature record;  // the later of two conflicting records, or the one whose samples disagree
    ValueConflicts conflicts;
};

struct LibraryCheckOutcome : Outcome {
    std::vector<LibraryConflict> conflicts;  // in record order
    std::size_t records = 0;                 // how many records were checked
};

// Every conflict in the library: each record checked against the records
// before it (so each pair is named once) and against the samples.
LibraryCheckOutcome checkLibrary(const DataDirectory& data);

}  // namespace vex
