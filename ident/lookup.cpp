#include "ident/lookup.h"

#include <algorithm>

#include "runtime/database_backend.h"
#include "runtime/external_database.h"
#include "runtime/runtime_error.h"
#include "runtime/sqlite.h"
#include "runtime/text.h"

namespace vex {
namespace {

constexpr int prefixLengthAt(int position) { return kLongestPrefix - position; }

// The decided record's type; the lookup gives up on it when it reads empty.
std::string typeText(const Value& type) {
    if (type.omitted()) return {};
    if (!type.is<std::string>()) raiseRuntimeError(runtime_error_code::kTypeMismatch);
    return type.as<std::string>();
}

// The prefix is bound, never pasted into the statement.
std::string prefixQuery(std::string_view table, std::string_view stem, int length) {
    std::string sql = "select *from ";
    sql += table;
    sql += " where ";
    sql += PrefixColumnName(stem, length);
    sql += "=?";
    return sql;
}

// The type that the first record of the query holds; empty when there is none.
std::string firstRecordType(ExternalDatabase& unit, const std::string& sql, std::string_view prefix) {
    const std::int32_t recordSet = unit.query(sql, {std::string(prefix)});
    if (recordSet == 0) return {};
    unit.moveFirst(recordSet);
    std::string type;
    if (!unit.isEndOfRecords(recordSet))
        type = typeText(unit.readField(recordSet, Value(std::string(kFileTypeColumn))));
    unit.closeRecordSet(recordSet);
    return type;
}

bool openLibrary(ExternalDatabase& unit, const std::string& libraryPath) {
    return unit.open(libraryPath, Value(), Value(std::string(kLibraryPassword)));
}

}  // namespace

std::string_view SignaturePrefix(std::string_view signature, int length) {
    // The same cut as cutToBytes, without copying: this runs 17 times per file.
    std::size_t end = length <= 0 ? 0 : std::min(signature.size(), static_cast<std::size_t>(length));
    while (end > 0 && !isCharacterBoundary(signature, end)) --end;
    return signature.substr(0, end);
}

std::string PrefixColumnName(std::string_view stem, int length) {
    std::string name(stem);
    name += std::to_string(length);
    return name;
}

std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath, std::string_view table,
                           std::string_view stem, std::string_view signature) {
    // A library that cannot be opened identifies nothing; the unit would still
    // answer from whatever it had open before, which may be another file.
    if (!openLibrary(unit, libraryPath)) return std::string(kUnknownFileType);
    for (int length = kLongestPrefix; length >= kShortestPrefix; --length) {
        std::string type =
            firstRecordType(unit, prefixQuery(table, stem, length), SignaturePrefix(signature, length));
        if (!type.empty()) return type;
    }
    return std::string(kUnknownFileType);
}

std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath, std::string_view signature) {
    return LookupFileType(unit, libraryPath, kConfirmedLibraryTable, kPrefixColumnStem, signature);
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
    const std::uint64_t h = std::hash<std::string_view>{}(text) ^ (static_cast<std::uint64_t>(position) * 0x9E3779B97F4A7C15ull);
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
    slots_[i] = Slot{hash, record, static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint16_t>(text.size()),
                     static_cast<std::uint8_t>(position)};
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
        prefixes[position] = SignaturePrefix(signature, prefixLengthAt(position));
        hashes[position] = hashOf(position, prefixes[position]);
        prefetch(hashes[position]);
    }
    for (int position = 0; position < kPrefixCount; ++position) {
        const std::uint32_t record = find(position, prefixes[position], hashes[position]);
        if (record == kNotFound) continue;
        std::string type = typeText(types_[record]);
        if (!type.empty()) return type;
    }
    return std::string(kUnknownFileType);
}

LookupSession::LookupSession(ExternalDatabase& unit, std::string libraryPath, std::string table, std::string stem)
    : unit_(unit), libraryPath_(std::move(libraryPath)), table_(std::move(table)), stem_(std::move(stem)) {
    readLibrary();
}

// Reads the table in one pass, in the order the unit's queries deliver its
// records, and takes each field as the unit would deliver it. The unit itself
// would turn every field into a value through its named operations, which
// costs more than all the look-ups of a drop together.
void LookupSession::readLibrary() {
    const std::string file = database_backend::databaseFileFromConnectionText(
        buildOdbcConnectionText(libraryPath_, Value(), Value(std::string(kLibraryPassword))));
    auto database = sqlite::Database::open(file, sqlite::OpenMode::ReadOnly);
    if (!database) return;
    auto select = sqlite::Statement::prepare(*database, "select *from " + table_);
    if (!select) return;

    // The first column of each name, as reading a field by name finds it.
    auto columnNamed = [&](std::string_view name) -> int {
        for (int column = 0; column < select->columnCount(); ++column)
            if (select->columnName(column) == name) return column;
        return -1;
    };
    const int typeColumn = columnNamed(kFileTypeColumn);
    const sqlite::DeclaredKind typeKind =
        typeColumn < 0 ? sqlite::DeclaredKind::Text
                       : sqlite::classifyDeclaredType(select->columnDeclaredType(typeColumn));
    std::array<int, kPrefixCount> prefixColumns;
    for (int position = 0; position < kPrefixCount; ++position)
        prefixColumns[position] = columnNamed(PrefixColumnName(stem_, prefixLengthAt(position)));

    if (auto count = sqlite::Statement::prepare(*database, "select count(*) from " + table_);
        count && count->step() == sqlite::StepResult::Row) {
        const sqlite::Cell records = count->column(0);
        if (const auto* number = std::get_if<std::int64_t>(&records))
            index_.reserve(static_cast<std::size_t>(std::max<std::int64_t>(*number, 0)));
    }

    std::array<std::string_view, kPrefixCount> prefixes;
    sqlite::StepResult step;
    while ((step = select->step()) == sqlite::StepResult::Row) {
        for (int position = 0; position < kPrefixCount; ++position) {
            prefixes[position] = {};
            if (prefixColumns[position] < 0) continue;
            // The table keeps its prefixes as text; anything else it might hold
            // (a number or bytes in a hand-made store) is left out of the index.
            if (auto text = select->textAt(prefixColumns[position])) prefixes[position] = *text;
        }
        index_.addRecord(typeColumn < 0 ? Value(std::string())
                                        : database_backend::deliverField(typeKind, select->column(typeColumn)),
                         prefixes);
    }
    readable_ = step == sqlite::StepResult::Done;
}

std::string LookupSession::lookup(std::string_view signature) {
    if (!readable_) return std::string(kUnknownFileType);
    // The index cannot tell an empty stored prefix from one that holds
    // nothing; only an empty signature could match the former, so ask the
    // library itself in that one case.
    if (signature.empty()) return LookupFileType(unit_, libraryPath_, table_, stem_, signature);
    return index_.lookup(signature);
}

}  // namespace vex
