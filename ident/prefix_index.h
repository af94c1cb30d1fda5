#pragma once
// Longest-prefix lookup: the probable file type of a signature value. A
// confirmed value is kept as every one of its prefixes 4 to 20 bytes long; a
// file's value is compared against the longest prefixes first.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ident/match_details.h"
#include "ident/table_allocator.h"
#include "runtime/value.h"

namespace vex {

inline constexpr int kShortestPrefix = 4;
inline constexpr int kLongestPrefix = 20;
// Digits two values must share before a file matching only those digits is
// taken as a meaningful match of either.
inline constexpr int kMeaningfulSharedDigits = 8;
inline constexpr int kPrefixCount = kLongestPrefix - kShortestPrefix + 1;

// The first `length` bytes of a signature value, the whole value when it is
// shorter. A cut that would end inside a multi-byte character ends before it,
// so no stored prefix is broken text. Storing and lookup both cut here.
std::string_view signaturePrefix(std::string_view signature, int length);

// A stored type as text. A library received from someone may hold any kind of
// value there: text is read as it is, a whole number in decimal, and anything
// else (bytes, a real number, a date) as no type at all, so that it can never
// become a file name's extension nor stop an identification.
std::string storedTypeText(const Value& type);

// The prefix columns of a library's records, indexed so that one signature is
// answered with at most 17 hash look-ups. Fed with the records in the order
// the store delivers them; among records that share a prefix the first one
// stands for it, as the first record of a query does. The others, and the
// sampled files added after the records, are kept aside for the answer's details.
class PrefixIndex {
public:
    // `prefixes[i]` is the text of column stem+(20 - i); an empty text stands
    // for a field that holds nothing and never matches. `key` names the record
    // in the details of answers it gives.
    void addRecord(Value fileType, const std::array<std::string_view, kPrefixCount>& prefixes,
                   std::optional<std::int64_t> key = std::nullopt);
    void reserve(std::size_t records);
    // A sampled file of `fileClass`: counted at every prefix of its signature
    // value (cut as the library cuts) that some record holds. Add samples
    // after the records; a prefix stored later does not see them.
    void addSample(std::string_view signature, std::string_view fileClass);

    // The answer of the 17-query procedure; a record whose type reads empty
    // (see storedTypeText) is passed over.
    std::string lookup(std::string_view signature) const;
    // The same answer, with how it was found: the alternatives at the matched
    // prefix are the other records' types and the samples' classes, each
    // other than the answer.
    Answer explain(std::string_view signature) const;

    std::size_t recordCount() const { return types_.size(); }

    // The records part of the index (never the samples) as flat arrays, for a
    // file that spares the next drop reading the whole library.
    class Image;
    Image image() const;
    // Fills the next `size` bytes of an image at `into`; false when it cannot.
    using ImageReader = std::function<bool(char* into, std::size_t size)>;
    // The index of an image of exactly `imageSize` bytes; nothing when they are
    // not a whole, unaltered image of this program's layout. Every count and
    // place in it is checked, so a damaged or made-up image is turned away
    // rather than read past its arrays.
    static std::optional<PrefixIndex> fromImage(std::uint64_t imageSize, const ImageReader& read);
    // Sums an image changed on purpose again, so that a test of the checks
    // behind the checksum reaches them. Does nothing to a shorter text.
    static void resealImage(std::string& image);

private:
    // One open-addressing table for all columns, its keys' texts kept end to
    // end in one buffer: a library of 10,000 records makes 170,000 entries,
    // and one allocation per entry would cost more than all look-ups of a drop.
    struct Slot {
        std::uint32_t record;  // kEmpty in an empty slot
        std::uint32_t offset;
        std::uint32_t extras;  // extras number of what is kept aside; kEmpty for nothing
        std::uint16_t tag;     // the hash's upper half: most other keys differ there
        std::uint8_t length;   // a look-up's prefixes are at most 20 bytes: longer ones are not kept
        std::uint8_t position;
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    static constexpr Slot kEmptySlot{kEmpty, 0, kEmpty, 0, 0, 0};
    using SlotTable = std::vector<Slot, TableAllocator<Slot>>;
    // The slots of this index rehashed into a table of `slotCount`.
    SlotTable rehashed(std::size_t slotCount) const;
    static std::uint16_t tagOf(std::uint32_t hash) { return static_cast<std::uint16_t>(hash >> 16); }

    // What is kept aside for a slot, under its extras number: the records after
    // the first that hold its prefix, chained in the order they were added in
    // one array (so an image of them is a copy of three arrays), and the
    // samples' classes with their counts.
    struct Link {
        std::uint32_t record;
        std::uint32_t next;  // kEmpty at the end of the chain
    };
    std::uint32_t extrasOf(std::size_t slot);
    void addLaterRecord(std::size_t slot, std::uint32_t record);
    // Where a record's new prefix text goes: the prefixes of one value are
    // beginnings of its longest one, which is then kept once for all of them.
    struct RecordText {
        std::string_view longest;
        std::uint32_t offset = kEmpty;  // where `longest` went, kEmpty while it is not kept
    };
    std::uint32_t keepText(std::string_view text, RecordText& record);

    struct Match {
        const Slot* slot = nullptr;  // nothing: no prefix gave a type
        std::string type;
    };
    Match match(std::string_view signature) const;
    // The alternatives of an answer of `type` from the prefix with extras number
    // `extras`: worked out at the first such answer (the type is always the
    // same), again after a record or sample added to them.
    const Alternatives* alternativesOf(std::uint32_t extras, const std::string& type) const;

    static std::uint32_t hashOf(int position, std::string_view text);
    bool holds(const Slot& slot, std::uint32_t hash, int position, std::string_view text) const;
    // The slot that holds the text at that position, nothing when none does.
    const Slot* find(int position, std::string_view text, std::uint32_t hash) const;
    void insert(int position, std::string_view text, std::uint32_t hash, std::uint32_t record,
                RecordText& recordText);
    // Starts loading the slot a hash lands on: the 17 keys of one record or
    // signature are then fetched from memory side by side, not one after another.
    void prefetch(std::uint32_t hash) const;
    void growTo(std::size_t slotCount);

    // Whether an image's arrays hold together: every place in range, every chain ending.
    struct SlotLimits {
        std::uint64_t records, textBytes, extras;
    };
    static bool slotsInRange(const Slot* slots, std::size_t count, const SlotLimits& limits,
                             std::size_t& used);
    bool chainsEnd(std::size_t records) const;

    std::vector<Value> types_;
    std::vector<std::optional<std::int64_t>> keys_;
    std::vector<std::uint32_t> laterFirst_, laterLast_;  // per extras number
    std::vector<Link, TableAllocator<Link>> laterLinks_;
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> classCounts_;  // class number, samples
    // Every answer's alternatives share this one owner: handing them out costs
    // a count on one block that stays in the cache, not on one per prefix.
    std::shared_ptr<std::deque<Alternatives>> workedAlternatives_ =
        std::make_shared<std::deque<Alternatives>>();
    // Per extras number: its alternatives' place in workedAlternatives_, kNone
    // when there are none, kEmpty when not worked out yet. Kept apart from the
    // rest of the extras, so that an answer reads four bytes rather than more.
    mutable std::vector<std::uint32_t> workedAt_;
    static constexpr std::uint32_t kNone = kEmpty - 1;
    std::vector<std::string> classes_;
    std::unordered_map<std::string, std::uint32_t> classNumbers_;
    SlotTable slots_;  // a power of two in size, at most half full
    std::size_t used_ = 0;
    std::string texts_;

public:
    // A header, then the parts in order. The parts view the index, and last as
    // long as it is left unchanged.
    class Image {
    public:
        std::vector<std::string_view> parts() const;

    private:
        friend class PrefixIndex;
        std::string header_;
        std::string_view slots_;  // the index's own table, or `smallSlots_`
        SlotTable smallSlots_;    // the table at its smallest, when the index's own is larger
        std::string_view texts_, laterFirst_, laterLast_, laterLinks_;
        std::vector<std::int64_t> keys_;
        std::vector<std::uint8_t> keyKnown_;
        std::string types_;
    };
};

}  // namespace vex
