#include "library/signature_store.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

#include "library/data_directory.h"
#include "library/index_file.h"
#include "library/store_schema.h"
#include "runtime/database_backend.h"
#include "runtime/external_database.h"
#include "runtime/runtime_error.h"

namespace vex {
namespace {

namespace schema = store_schema;

constexpr int prefixLengthAt(int position) { return kLongestPrefix - position; }

std::string quoted(std::string_view name) { return sqlite::quoteIdentifier(name); }

const std::string& table() {
    static const std::string name = quoted(schema::kTable);
    return name;
}

// A column named with its table: SQLite reads an unqualified quoted name that
// the table lacks as a text literal, so a hand-made table without the column
// would list the column's name as every record's value, and a signature equal
// to that name would match, and delete, every record. Qualified, it is an error.
std::string column(std::string_view name) { return table() + "." + quoted(name); }

const std::string& signatureColumn() {
    static const std::string name = column(schema::signatureColumnName(kLongestPrefix));
    return name;
}

// A text column's field as the list shows it: text as it is, a number in
// decimal, bytes as "[BLOB]", nothing as "". A hand-made store may hold any of them.
std::string fieldText(const sqlite::Cell& cell) {
    if (const auto* text = std::get_if<std::string>(&cell)) return *text;
    if (const auto* integer = std::get_if<std::int64_t>(&cell)) return std::to_string(*integer);
    if (const auto* real = std::get_if<double>(&cell)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.8f", *real);
        return buffer;
    }
    if (std::holds_alternative<ByteSet>(cell)) return "[BLOB]";
    return {};
}

bool fail(std::string* out, std::string reason) {
    if (out) *out = std::move(reason);
    return false;
}

std::string typeText(const Value& type) { return storedTypeText(type); }

}  // namespace

std::string checkStoreTable(sqlite::Database& database) {
    auto kind = sqlite::Statement::prepare(database, "select type from sqlite_schema where name = ?");
    if (!kind) return database.lastError();
    kind->bindText(1, schema::kTable);
    const sqlite::StepResult found = kind->step();
    if (found == sqlite::StepResult::Error) return kind->lastError();
    const std::string name(schema::kTable);
    if (found != sqlite::StepResult::Row) return "no such table: " + name;
    const sqlite::Cell type = kind->column(0);
    const std::string* typeName = std::get_if<std::string>(&type);
    if (!typeName || *typeName != "table")
        return "'" + name + "' is " + (typeName ? "a " + *typeName : std::string("no table")) +
               ", not a table: only a table is read";

    auto columns = sqlite::Statement::prepare(database, "select name from pragma_table_info(?)");
    if (!columns) return database.lastError();
    columns->bindText(1, schema::kTable);
    std::vector<std::string> names;
    sqlite::StepResult step;
    while ((step = columns->step()) == sqlite::StepResult::Row)
        if (auto text = columns->textAt(0)) names.emplace_back(*text);
    if (step == sqlite::StepResult::Error) return columns->lastError();
    auto lacks = [&names](const std::string& column) {
        return std::find(names.begin(), names.end(), column) == names.end();
    };
    if (lacks(std::string(schema::kFileTypeColumn)))
        return "no such column: " + name + "." + std::string(schema::kFileTypeColumn);
    for (int length = kShortestPrefix; length <= kLongestPrefix; ++length)
        if (lacks(schema::signatureColumnName(length)))
            return "no such column: " + name + "." + schema::signatureColumnName(length);
    return {};
}

std::optional<SignatureStore> SignatureStore::open(const std::string& path, std::string* error) {
    auto database = sqlite::Database::open(path, sqlite::OpenMode::ReadWrite, error);
    if (!database) return std::nullopt;
    return SignatureStore(std::move(*database));
}

std::string SignatureStore::checkTable() { return checkStoreTable(database_); }

bool SignatureStore::list(std::vector<StoredSignature>& records, std::string* error,
                          std::optional<std::size_t> limit) {
    records.clear();
    std::string reason;
    const std::string sql =
        "select " + column(schema::kFileTypeColumn) + ", " + signatureColumn() + " from " + table();
    // Without the order, an index a hand-made store holds on these two columns
    // would answer the query in the index's order instead. A table without
    // rowids (or a view) has no record order to keep.
    const std::string limited = limit ? " limit " + std::to_string(*limit) : std::string();
    auto select = sqlite::Statement::prepare(database_, sql + " order by rowid" + limited);
    if (!select) select = sqlite::Statement::prepare(database_, sql + limited, &reason);
    if (!select) return fail(error, reason);
    sqlite::StepResult step;
    while ((step = select->step()) == sqlite::StepResult::Row)
        records.push_back({fieldText(select->column(0)), fieldText(select->column(1))});
    if (step == sqlite::StepResult::Error) return fail(error, select->lastError());
    return true;
}

std::optional<std::int64_t> SignatureStore::count(std::string* error) {
    std::string reason;
    auto select = sqlite::Statement::prepare(database_, "select count(*) from " + table(), &reason);
    if (!select) {
        fail(error, reason);
        return std::nullopt;
    }
    if (select->step() != sqlite::StepResult::Row) {
        fail(error, select->lastError());
        return std::nullopt;
    }
    const sqlite::Cell cell = select->column(0);
    const auto* number = std::get_if<std::int64_t>(&cell);
    return number ? std::optional(*number) : std::nullopt;
}

bool SignatureStore::contains(std::string_view signature, std::string* error) {
    std::string reason;
    // A field that holds nothing reads as an empty value, so it is one.
    const std::string orNothing = signature.empty() ? " or " + signatureColumn() + " is null" : "";
    auto select = sqlite::Statement::prepare(
        database_,
        "select 1 from " + table() + " where " + signatureColumn() + " = ?" + orNothing + " limit 1",
        &reason);
    if (!select) return fail(error, reason);
    select->bindText(1, signature);
    const sqlite::StepResult step = select->step();
    if (step == sqlite::StepResult::Error) return fail(error, select->lastError());
    return step == sqlite::StepResult::Row;
}

std::optional<sqlite::Statement> SignatureStore::prepareKeyedSelect(const std::string& condition,
                                                                    std::string* error) {
    const std::string rest = ", " + column(schema::kFileTypeColumn) + ", " + signatureColumn() + " from " +
                             table() + condition + " order by rowid";
    // A hand-made table may lack the key column; its rowid then stands for the key.
    if (auto select = sqlite::Statement::prepare(database_, "select " + column(schema::kKeyColumn) + rest))
        return select;
    return sqlite::Statement::prepare(database_, "select rowid" + rest, error);
}

bool SignatureStore::readKeyed(sqlite::Statement& select, std::vector<KeyedSignature>& records,
                               std::string* error) {
    sqlite::StepResult step;
    while ((step = select.step()) == sqlite::StepResult::Row) {
        const sqlite::Cell key = select.column(0);
        const auto* number = std::get_if<std::int64_t>(&key);
        records.push_back({number ? *number : 0, fieldText(select.column(1)), fieldText(select.column(2))});
    }
    if (step == sqlite::StepResult::Error) return fail(error, select.lastError());
    return true;
}

bool SignatureStore::listKeyed(std::vector<KeyedSignature>& records, std::string* error) {
    records.clear();
    auto select = prepareKeyedSelect("", error);
    return select && readKeyed(*select, records, error);
}

bool SignatureStore::recordsNear(std::string_view signature, std::vector<KeyedSignature>& records,
                                 std::string* error) {
    records.clear();
    const int length = static_cast<int>(signature.size());
    if (length < kShortestPrefix) return true;
    const int shared = std::min(length, kMeaningfulSharedDigits);
    std::string condition = " where " + column(schema::signatureColumnName(shared)) + " = ?";
    std::vector<std::string_view> shorter;
    for (int n = kShortestPrefix; n < shared; ++n) shorter.push_back(signaturePrefix(signature, n));
    if (!shorter.empty()) {
        condition += " or " + signatureColumn() + " in (?";
        for (std::size_t i = 1; i < shorter.size(); ++i) condition += ", ?";
        condition += ")";
    }
    auto select = prepareKeyedSelect(condition, error);
    if (!select) return false;
    select->bindText(1, signaturePrefix(signature, shared));
    for (std::size_t i = 0; i < shorter.size(); ++i) select->bindText(static_cast<int>(i) + 2, shorter[i]);
    return readKeyed(*select, records, error);
}

bool SignatureStore::inTransaction(const std::function<bool(std::string*)>& work, std::string* reason) {
    std::string error;
    // Immediate: the write lock is taken before the check, so two programs
    // confirming the same value cannot both find it missing.
    if (!database_.execute("begin immediate", &error)) return fail(reason, error);
    if (!work(&error)) {
        database_.execute("rollback");
        return fail(reason, error);
    }
    if (!database_.execute("commit", &error)) {
        database_.execute("rollback");
        return fail(reason, error);
    }
    return true;
}

std::optional<sqlite::Statement> SignatureStore::prepareInsert(std::string* error) {
    std::string sql = "insert into " + table() + " (" + quoted(schema::kFileTypeColumn);
    std::string values = "?";
    for (int length = kShortestPrefix; length <= kLongestPrefix; ++length) {
        sql += ", " + quoted(schema::signatureColumnName(length));
        values += ", ?";
    }
    sql += ") values (" + values + ")";
    return sqlite::Statement::prepare(database_, sql, error);
}

bool SignatureStore::insertRecord(sqlite::Statement& insert, std::string_view signature,
                                  std::string_view type, std::string* error) {
    insert.reset();
    auto bindText = [&](int index, std::string_view text) {
        return text.empty() ? insert.bindNull(index) : insert.bindText(index, text);
    };
    bindText(1, type);
    for (int length = kShortestPrefix; length <= kLongestPrefix; ++length)
        bindText(2 + length - kShortestPrefix, signaturePrefix(signature, length));
    if (insert.step() != sqlite::StepResult::Done) return fail(error, insert.lastError());
    return true;
}

SignatureStore::AddResult SignatureStore::add(std::string_view signature, std::string_view type,
                                              std::string* reason) {
    bool duplicate = false;
    const bool stored = inTransaction(
        [&](std::string* error) {
            // Built once and kept with the store; a hand-made store that cannot take
            // them (a view, say) is still read, only more slowly.
            database_.execute(schema::createIndexesScript());
            std::string containsError;
            duplicate = contains(signature, &containsError);
            if (!containsError.empty()) return fail(error, containsError);
            if (duplicate) return false;
            auto insert = prepareInsert(error);
            return insert && insertRecord(*insert, signature, type, error);
        },
        reason);
    if (stored) return AddResult::Added;
    return duplicate ? AddResult::Duplicate : AddResult::Refused;
}

bool SignatureStore::addAll(const std::vector<StoredSignature>& records,
                            std::vector<std::optional<std::string>>& heldTypes, std::string* reason) {
    heldTypes.assign(records.size(), std::nullopt);
    // A large import outgrows SQLite's default page cache, which then spills
    // pages to the file in the middle of the transaction; a larger cache for
    // this one change keeps it to one write at the commit.
    database_.execute("pragma cache_size = -131072");
    const bool stored = inTransaction(
        [&](std::string* error) {
            // One reading of the held values: asking the table once per record
            // would scan it once per record, as the value column has no index.
            std::vector<StoredSignature> held;
            if (!list(held, error)) return false;
            std::unordered_map<std::string, std::string> typeOf;
            typeOf.reserve(held.size() + records.size());
            for (StoredSignature& record : held)
                typeOf.try_emplace(std::move(record.signature), std::move(record.type));
            auto insert = prepareInsert(error);
            if (!insert) return false;
            for (std::size_t i = 0; i < records.size(); ++i) {
                const StoredSignature& record = records[i];
                const auto [at, isNew] = typeOf.try_emplace(record.signature, record.type);
                if (!isNew) {
                    heldTypes[i] = at->second;
                    continue;
                }
                if (!insertRecord(*insert, record.signature, record.type, error)) return false;
            }
            return true;
        },
        reason);
    database_.execute("pragma cache_size = -2000");
    return stored;
}

bool SignatureStore::remove(const std::vector<std::string>& signatures, std::string* reason) {
    return inTransaction(
        [&](std::string* error) {
            auto byValue = sqlite::Statement::prepare(
                database_, "delete from " + table() + " where " + signatureColumn() + " = ?", error);
            if (!byValue) return false;
            for (const std::string& signature : signatures) {
                if (signature.empty()) {
                    // An empty value stands for the records that hold nothing there.
                    const std::string sql = "delete from " + table() + " where " + signatureColumn() +
                                            " is null or " + signatureColumn() + " = ''";
                    if (!database_.execute(sql, error)) return false;
                    continue;
                }
                byValue->reset();
                byValue->bindText(1, signature);
                if (byValue->step() != sqlite::StepResult::Done) return fail(error, byValue->lastError());
            }
            return true;
        },
        reason);
}

bool SignatureStore::clear(std::string* reason) {
    return inTransaction(
        [&](std::string* error) { return database_.execute("delete from " + table(), error); }, reason);
}

LookupSession::LookupSession(const std::string& libraryPath, IndexFileUse indexFile)
    : libraryPath_(libraryPath) {
    readLibrary(indexFile);
}

void LookupSession::fail(const std::string& reason) {
    failure_ = "Cannot read the confirmed library '" + libraryPath_ + "'. Reason: " + reason;
}

// The index kept beside the library stands in for reading it while the library
// has not changed since. Everything happens in one read transaction, under
// SQLite's shared lock: a writer holding the library keeps the session waiting
// (and refused in the end) as a reading of the library would, and no writer can
// commit between the looks at the library's state and what they vouch for. The
// samples come after this, so the file never holds them.
void LookupSession::readLibrary(IndexFileUse indexFile) {
    std::string reason;
    auto database = sqlite::Database::open(libraryPath_, sqlite::OpenMode::ReadOnly, &reason);
    if (!database) return fail(reason);
    const bool withFile = indexFile != IndexFileUse::Ignore;
    if (withFile && !database->execute("begin", &reason)) return fail(reason);
    if (reason = checkStoreTable(*database); !reason.empty()) return fail(reason);
    const std::string indexPath = libraryIndexPathOf(libraryPath_);
    const std::optional<LibraryFileState> before = withFile ? libraryFileState(libraryPath_) : std::nullopt;
    if (before) {
        if (std::optional<PrefixIndex> kept = readIndexFile(indexPath, *before)) {
            index_ = std::move(*kept);
            readable_ = indexFromFile_ = true;
            return;
        }
    }
    readRecords(*database);
    if (readable_ && before && indexFile == IndexFileUse::ReadAndWrite &&
        libraryFileState(libraryPath_) == before)
        writeIndexFile(indexPath, *before, index_);
}

// Reads the table in one pass, in the order the unit's queries deliver its
// records, and takes each field as the unit would deliver it. The unit itself
// would turn every field into a value through its named operations, which
// costs more than all the look-ups of a drop together.
void LookupSession::readRecords(sqlite::Database& database) {
    std::string reason;
    // The row id last, so that every column of the table keeps its place: it is
    // the record's key where the table has no whole-number "编号". A table
    // without row ids is read without it.
    auto select = sqlite::Statement::prepare(database, "select *, rowid from " + table());
    const bool withRowId = select.has_value();
    if (!select) select = sqlite::Statement::prepare(database, "select * from " + table(), &reason);
    if (!select) return fail(reason);

    // The first column of each name, as reading a field by name finds it.
    auto columnNamed = [&](std::string_view name) -> int {
        for (int column = 0; column < select->columnCount(); ++column)
            if (select->columnName(column) == name) return column;
        return -1;
    };
    const int typeColumn = columnNamed(schema::kFileTypeColumn);
    const int keyColumn = columnNamed(schema::kKeyColumn);
    const int rowIdColumn = withRowId ? select->columnCount() - 1 : -1;
    auto keyOfRow = [&]() -> std::optional<std::int64_t> {
        for (const int column : {keyColumn, rowIdColumn}) {
            if (column < 0) continue;
            const sqlite::Cell cell = select->column(column);
            if (const auto* key = std::get_if<std::int64_t>(&cell)) return *key;
        }
        return std::nullopt;
    };
    const sqlite::DeclaredKind typeKind =
        typeColumn < 0 ? sqlite::DeclaredKind::Text
                       : sqlite::classifyDeclaredType(select->columnDeclaredType(typeColumn));
    std::array<int, kPrefixCount> prefixColumns;
    for (int position = 0; position < kPrefixCount; ++position)
        prefixColumns[position] = columnNamed(schema::signatureColumnName(prefixLengthAt(position)));

    if (auto count = sqlite::Statement::prepare(database, "select count(*) from " + table());
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
        index_.addRecord(typeColumn < 0
                             ? Value(std::string())
                             : database_backend::deliverField(typeKind, select->column(typeColumn)),
                         prefixes, keyOfRow());
    }
    readable_ = step == sqlite::StepResult::Done;
    if (!readable_) fail(select->lastError());
}

// The index cannot tell an empty stored prefix from one that holds nothing;
// only an empty signature could match the former, so the library itself is
// asked in that one case, once per session.
std::string LookupSession::lookupEmptySignature() {
    if (emptySignatureType_) return *emptySignatureType_;
    std::string answer(kUnknownFileType);
    if (auto database = sqlite::Database::open(libraryPath_, sqlite::OpenMode::ReadOnly)) {
        for (int length = kLongestPrefix; length >= kShortestPrefix && answer == kUnknownFileType; --length) {
            auto select = sqlite::Statement::prepare(
                *database, "select " + column(schema::kFileTypeColumn) + " from " + table() + " where " +
                               column(schema::signatureColumnName(length)) + " = '' limit 1");
            if (!select || select->step() != sqlite::StepResult::Row) continue;
            const sqlite::DeclaredKind kind = sqlite::classifyDeclaredType(select->columnDeclaredType(0));
            if (std::string type = typeText(database_backend::deliverField(kind, select->column(0)));
                !type.empty())
                answer = std::move(type);
        }
    }
    emptySignatureType_ = answer;
    return answer;
}

std::string LookupSession::lookup(std::string_view signature) {
    if (!readable_) return std::string(kUnknownFileType);
    if (signature.empty()) return lookupEmptySignature();
    return index_.lookup(signature);
}

// An empty value matches no prefix, so its answer, if any, comes without details.
Answer LookupSession::explain(std::string_view signature) {
    if (!readable_) return {std::string(kUnknownFileType), {}};
    if (signature.empty()) return {lookupEmptySignature(), {}};
    return index_.explain(signature);
}

namespace {

// The type that the first record of the query holds; empty when there is none.
std::string firstRecordType(ExternalDatabase& unit, const std::string& sql, std::string_view prefix) {
    const std::int32_t recordSet = unit.query(sql, {std::string(prefix)});
    if (recordSet == 0) return {};
    unit.moveFirst(recordSet);
    std::string type;
    if (!unit.isEndOfRecords(recordSet))
        type = typeText(unit.readField(recordSet, Value(std::string(schema::kFileTypeColumn))));
    unit.closeRecordSet(recordSet);
    return type;
}

}  // namespace

std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath,
                           std::string_view signature) {
    // A library that cannot be opened identifies nothing; the unit would still
    // answer from whatever it had open before, which may be another file.
    if (!unit.open(libraryPath, Value(), Value(std::string(schema::kPassword))))
        return std::string(kUnknownFileType);
    for (int length = kLongestPrefix; length >= kShortestPrefix; --length) {
        // The prefix is bound, never pasted into the statement.
        const std::string sql = "select *from " + std::string(schema::kTable) + " where " +
                                schema::signatureColumnName(length) + "=?";
        std::string type = firstRecordType(unit, sql, signaturePrefix(signature, length));
        if (!type.empty()) return type;
    }
    return std::string(kUnknownFileType);
}

}  // namespace vex
