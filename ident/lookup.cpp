#include "ident/lookup.h"

#include <algorithm>

#include "runtime/external_database.h"
#include "runtime/runtime_error.h"
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

void PrefixIndex::addRecord(Value fileType, const std::array<std::string, kPrefixCount>& prefixes) {
    const auto record = static_cast<std::uint32_t>(types_.size());
    types_.push_back(std::move(fileType));
    for (int position = 0; position < kPrefixCount; ++position) {
        const std::string& prefix = prefixes[position];
        if (!prefix.empty()) columns_[position].try_emplace(prefix, record);
    }
}

std::string PrefixIndex::lookup(std::string_view signature) const {
    for (int position = 0; position < kPrefixCount; ++position) {
        const Column& column = columns_[position];
        const auto found = column.find(SignaturePrefix(signature, prefixLengthAt(position)));
        if (found == column.end()) continue;
        std::string type = typeText(types_[found->second]);
        if (!type.empty()) return type;
    }
    return std::string(kUnknownFileType);
}

LookupSession::LookupSession(ExternalDatabase& unit, std::string libraryPath, std::string table, std::string stem)
    : unit_(unit), libraryPath_(std::move(libraryPath)), table_(std::move(table)), stem_(std::move(stem)) {
    readLibrary();
}

void LookupSession::readLibrary() {
    if (!openLibrary(unit_, libraryPath_)) return;
    std::string sql = "select *from ";
    sql += table_;
    const std::int32_t recordSet = unit_.query(sql);
    if (recordSet == 0) return;
    readable_ = true;

    const Value typeField{std::string(kFileTypeColumn)};
    std::array<Value, kPrefixCount> prefixFields;
    for (int position = 0; position < kPrefixCount; ++position)
        prefixFields[position] = Value(PrefixColumnName(stem_, prefixLengthAt(position)));

    std::array<std::string, kPrefixCount> prefixes;
    for (unit_.moveFirst(recordSet); !unit_.isEndOfRecords(recordSet); unit_.moveNext(recordSet)) {
        for (int position = 0; position < kPrefixCount; ++position) {
            Value prefix = unit_.readField(recordSet, prefixFields[position]);
            // A prefix that is not text never equals the quoted text of a query.
            prefixes[position] = prefix.is<std::string>() ? prefix.as<std::string>() : std::string();
        }
        index_.addRecord(unit_.readField(recordSet, typeField), prefixes);
    }
    unit_.closeRecordSet(recordSet);
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
