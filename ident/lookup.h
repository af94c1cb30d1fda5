#pragma once
// Longest-prefix lookup: the probable file type of a signature value, from the
// confirmed library. The library keeps every prefix of a confirmed value, 4 to
// 20 bytes long, in its own column ("特征值4" … "特征值20"); a file's value is
// compared against the longest column first.
//
// Two ways give the same answer:
// - LookupFileType: one call, one opening of the library, up to 17 queries.
// - LookupSession: reads the library once (for one drop of many files) and
//   answers each value from an in-memory index. It sees the library as it was
//   when the session began; build a new one for every drop.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace vex {

class ExternalDatabase;

inline constexpr std::string_view kUnknownFileType = "未知类型";
inline constexpr std::string_view kConfirmedLibraryTable = "文件特征值库";
inline constexpr std::string_view kPrefixColumnStem = "特征值";
inline constexpr std::string_view kFileTypeColumn = "文件类型";
inline constexpr std::string_view kLibraryPassword = "tulip";

inline constexpr int kShortestPrefix = 4;
inline constexpr int kLongestPrefix = 20;
inline constexpr int kPrefixCount = kLongestPrefix - kShortestPrefix + 1;

// The first `length` bytes of a signature value, the whole value when it is
// shorter. A cut that would end inside a multi-byte character ends before it,
// so no stored prefix is broken text. Storing and lookup both cut here.
std::string_view SignaturePrefix(std::string_view signature, int length);

// "特征值" + length, the column that holds the prefixes of that length.
std::string PrefixColumnName(std::string_view stem, int length);

// Looks `signature` up in `table` of the library at `libraryPath`, opening
// `unit` on it (which releases what the unit had open). Tries the columns
// stem+20 down to stem+4 and returns the "文件类型" of the first record that
// the first matching query delivers, skipping queries whose first record has
// an empty type. "未知类型" when nothing matches or the library cannot be opened.
std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath, std::string_view table,
                           std::string_view stem, std::string_view signature);

// The same with the table and column stem the program always uses.
std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath, std::string_view signature);

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

    // The answer of the 17-query procedure. Raises the type-mismatch runtime
    // error when the record that decides holds a type that is not text.
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

// One drop's view of the library: read once, then any number of look-ups.
// The library is read straight from its file, as the unit would deliver it;
// `unit` is opened only to answer an empty signature, which the index cannot.
class LookupSession {
public:
    LookupSession(ExternalDatabase& unit, std::string libraryPath,
                  std::string table = std::string(kConfirmedLibraryTable),
                  std::string stem = std::string(kPrefixColumnStem));

    // Equal to LookupFileType(unit, libraryPath, table, stem, signature) on the
    // library as it was when the session began.
    std::string lookup(std::string_view signature);

    // False when the library could not be opened or read; every look-up then
    // gives "未知类型".
    bool libraryReadable() const { return readable_; }
    std::size_t recordCount() const { return index_.recordCount(); }

private:
    void readLibrary();

    ExternalDatabase& unit_;
    std::string libraryPath_;
    std::string table_;
    std::string stem_;
    bool readable_ = false;
    PrefixIndex index_;
};

}  // namespace vex
