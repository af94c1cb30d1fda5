#pragma once
// Longest-prefix lookup: the probable file type of a signature value. A
// confirmed value is kept as every one of its prefixes 4 to 20 bytes long; a
// file's value is compared against the longest prefixes first.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace vex {

inline constexpr std::string_view kUnknownFileType = "未知类型";

inline constexpr int kShortestPrefix = 4;
inline constexpr int kLongestPrefix = 20;
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
// stands for it, as the first record of a query does.
class PrefixIndex {
public:
    // `prefixes[i]` is the text of column stem+(20 - i); an empty text stands
    // for a field that holds nothing and never matches.
    void addRecord(Value fileType, const std::array<std::string_view, kPrefixCount>& prefixes);
    void reserve(std::size_t records);

    // The answer of the 17-query procedure; a record whose type reads empty
    // (see storedTypeText) is passed over.
    std::string lookup(std::string_view signature) const;

    std::size_t recordCount() const { return types_.size(); }

private:
    // One open-addressing table for all columns, its keys' texts kept end to
    // end in one buffer: a library of 10,000 records makes 170,000 entries,
    // and one allocation per entry would cost more than all look-ups of a drop.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t record = kEmpty;
        std::uint32_t offset = 0;
        std::uint16_t length = 0;
        std::uint8_t position = 0;
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    static constexpr std::uint32_t kNotFound = kEmpty;

    static std::uint32_t hashOf(int position, std::string_view text);
    bool holds(const Slot& slot, std::uint32_t hash, int position, std::string_view text) const;
    std::uint32_t find(int position, std::string_view text, std::uint32_t hash) const;
    void insert(int position, std::string_view text, std::uint32_t hash, std::uint32_t record);
    // Starts loading the slot a hash lands on: the 17 keys of one record or
    // signature are then fetched from memory side by side, not one after another.
    void prefetch(std::uint32_t hash) const;
    void growTo(std::size_t slotCount);

    std::vector<Value> types_;
    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::size_t used_ = 0;
    std::string texts_;
};

}  // namespace vex
