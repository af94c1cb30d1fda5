#include "runtime/record_set.h"

#include <langinfo.h>

#include <cinttypes>
#include <clocale>
#include <cmath>
#include <cstdio>

#include "runtime/convert.h"

namespace vex {
namespace {

std::string format(const char* pattern, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string integerText(std::int64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%" PRId64, value);
    return buffer;
}

// Read once: the user's locale is the one the program started with.
const std::string& userDecimalSeparator() {
    static const std::string separator = decimalSeparatorOfLocale("");
    return separator;
}

// Currency as the user's locale writes it: no trailing zeros, the locale's decimal separator, no grouping.
std::string currencyText(double value) {
    std::string text = format("%.4f", value);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (const std::size_t point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, userDecimalSeparator());
    return text;
}

std::string dateText(double days) {
    const DateTimeParts p = dateTimeToParts(days);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buffer;
}

std::string byStorageClass(const sqlite::Cell& cell) {
    if (const auto* i = std::get_if<std::int64_t>(&cell)) return integerText(*i);
    if (const auto* d = std::get_if<double>(&cell)) return format("%.8f", *d);
    if (const auto* t = std::get_if<std::string>(&cell)) return *t;
    if (std::holds_alternative<ByteSet>(cell)) return "[BLOB]";
    return {};
}

// A field named by number: integers as they are, other numbers truncated toward zero.
std::optional<std::int64_t> numberOf(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::optional<std::int64_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return std::nullopt;
            } else if constexpr (std::is_integral_v<T>) {
                return static_cast<std::int64_t>(v);
            } else if constexpr (std::is_floating_point_v<T>) {
                if (!std::isfinite(v) || std::fabs(v) > 9e18) return -1;
                return static_cast<std::int64_t>(v);
            } else {
                return std::nullopt;
            }
        },
        value.storage());
}

}  // namespace

std::string decimalSeparatorOfLocale(const std::string& name) {
    const locale_t locale = ::newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) return ".";
    std::string separator = ::nl_langinfo_l(RADIXCHAR, locale);
    ::freelocale(locale);
    return separator.empty() ? "." : separator;
}

std::string fieldText(sqlite::DeclaredKind kind, const sqlite::Cell& cell) {
    using K = sqlite::DeclaredKind;
    if (sqlite::isNull(cell)) return {};
    const auto* integer = std::get_if<std::int64_t>(&cell);
    const auto* real = std::get_if<double>(&cell);
    const bool numeric = integer || real;
    const double number = integer ? static_cast<double>(*integer) : real ? *real : 0.0;

    switch (kind) {
        case K::Bool:
            if (numeric) return number != 0.0 ? "TRUE" : "FALSE";
            break;
        case K::TinyInt:
        case K::SmallInt:
        case K::Integer:
        case K::BigInt:
            // SQLite keeps every integer in 64 bits; print it whole rather than a cut-down part.
            if (integer) return integerText(*integer);
            break;
        case K::Single:
            if (numeric) return format("%.4f", static_cast<float>(number));
            break;
        case K::Double:
        case K::Decimal:
            if (numeric) return format("%.8f", number);
            break;
        case K::Currency:
            if (numeric) return currencyText(number);
            break;
        case K::DateTime:
            if (const auto days = sqlite::storedDateToDays(cell)) return dateText(*days);
            break;
        case K::Text:
            break;
        case K::Binary:
            return "[BLOB]";
        case K::Other:
            return "UN_KNOW";
        case K::Unspecified:
            break;
    }
    return byStorageClass(cell);
}

RecordSet::RecordSet(std::uint32_t id) : Unit(UnitKind::RecordSet, id) {}

RecordSet::~RecordSet() = default;

Value RecordSet::readOwnProperty(int ownNumber) const {
    if (ownNumber == kRecordCountProperty) return recordCount();
    return {};
}

bool RecordSet::setConnection(const DatabaseConnection* connection) {
    if (!connection) return false;
    connection_ = connection->shared();
    return true;
}

sqlite::Database* RecordSet::database() const {
    return connection_ && connection_->database ? &*connection_->database : nullptr;
}

std::int32_t RecordSet::recordCount() const { return open_ ? static_cast<std::int32_t>(rows_.size()) : 0; }

bool RecordSet::fail(std::string error) {
    lastError_ = std::move(error);
    return false;
}

void RecordSet::close() {
    cancelPending();
    open_ = false;
    columns_.clear();
    rows_.clear();
    current_ = 0;
    updatableTable_.clear();
}

bool RecordSet::open(const std::string& source, int kind, const Value& cursorLocation) {
    // Every refusal leaves a reason, so a caller never shows an empty or an older text.
    lastError_.clear();
    int location = 3;
    if (!cursorLocation.omitted()) {
        const auto given = numberOf(cursorLocation);
        if (!given || *given < 1 || *given > 3) return fail("The cursor location must be 1, 2 or 3");
        location = static_cast<int>(*given);
    }
    if (kind == record_set_kind::kStatement) {
        tableName_.clear();
        cursorLocation_ = location;
    } else if (kind == record_set_kind::kTable) {
        tableName_ = source;
    } else {
        return fail("A record set opens a statement (kind 1) or a table (kind 2), not kind " +
                    std::to_string(kind));
    }
    if (!source.empty()) source_ = source;
    return openPrepared(source_, {}, kind);
}

bool RecordSet::openStatement(const std::string& sql, const std::vector<std::string>& parameters) {
    lastError_.clear();
    if (sql.empty()) return fail("The statement is empty");
    tableName_.clear();
    cursorLocation_ = 3;
    source_ = sql;
    return openPrepared(source_, parameters, record_set_kind::kStatement);
}

bool RecordSet::openPrepared(const std::string& sql, const std::vector<std::string>& parameters, int kind) {
    if (!connection_) return fail("No database connection is bound to the record set");
    if (sql.empty()) return fail("No table or statement was given to open");
    close();
    sqlite::Database* db = database();
    openedGeneration_ = connection_->generation;
    if (!db) {
        const std::string reason =
            connection_->lastError.empty() ? "no database file is connected" : connection_->lastError;
        return fail("The database connection is not open. Reason: " + reason);
    }
    return kind == record_set_kind::kTable ? loadTable(*db, sql) : runStatement(*db, sql, parameters);
}

// Runs `statement` to its end and keeps its columns and rows; with `keyFirst` the first
// column is each row's rowid, not a field.
bool RecordSet::readResult(sqlite::Statement& statement, bool keyFirst, bool keepRows) {
    const int first = keyFirst ? 1 : 0;
    if (keepRows) {
        for (int c = first; c < statement.columnCount(); ++c) {
            columns_.push_back(
                {statement.columnName(c), sqlite::classifyDeclaredType(statement.columnDeclaredType(c))});
        }
    }
    for (;;) {
        const auto step = statement.step();
        if (step == sqlite::StepResult::Done) return true;
        if (step == sqlite::StepResult::Error) {
            const std::string reason = statement.lastError();
            close();
            return fail(reason);
        }
        if (!keepRows) continue;
        Row row;
        if (keyFirst) {
            const auto key = statement.column(0);
            if (const auto* id = std::get_if<std::int64_t>(&key)) row.rowid = *id;
        }
        for (int c = first; c < statement.columnCount(); ++c) row.cells.push_back(statement.column(c));
        rows_.push_back(std::move(row));
    }
}

bool RecordSet::loadTable(sqlite::Database& db, const std::string& table) {
    std::string error;
    const std::string from = " FROM " + sqlite::quoteIdentifier(table);
    // The rowid of each row lets a change be written back to exactly that record.
    auto statement = sqlite::Statement::prepare(db, "SELECT rowid, *" + from, &error);
    const bool withRowids = statement.has_value();
    if (!statement) statement = sqlite::Statement::prepare(db, "SELECT *" + from, &error);  // a view
    if (!statement) return fail(error);

    if (!readResult(*statement, withRowids, true)) return false;
    if (withRowids) updatableTable_ = table;
    open_ = true;
    return true;
}

bool RecordSet::runStatement(sqlite::Database& db, const std::string& sql,
                             const std::vector<std::string>& parameters) {
    std::string error;
    auto statement = sqlite::Statement::prepare(db, sql, &error);
    if (!statement) return fail(error);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (!statement->bindText(static_cast<int>(i) + 1, parameters[i])) {
            return fail("The statement takes fewer values than were given");
        }
    }
    const bool returnsRows = statement->returnsRows();
    if (!readResult(*statement, false, returnsRows)) return false;
    // A statement without rows has done its work; the record set is then closed
    // rather than left open on nothing, so a save that follows cannot act on stale rows.
    open_ = returnsRows;
    return true;
}

std::optional<std::size_t> RecordSet::columnOf(const Value& field) const {
    if (const auto* name = field.get_if<std::string>()) {
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            if (columns_[c].name == *name) return c;
        }
        return std::nullopt;
    }
    const auto position = numberOf(field);
    if (!position || *position < 0 || *position >= static_cast<std::int64_t>(columns_.size()))
        return std::nullopt;
    return static_cast<std::size_t>(*position);
}

bool RecordSet::readThroughCurrentConnection() const {
    return connection_ && connection_->database && connection_->generation == openedGeneration_;
}

bool RecordSet::addNew() {
    if (!open_) return fail("The record set is not open");
    if (!readThroughCurrentConnection()) {
        return fail("The database connection was closed or reopened; open the record set again");
    }
    if (updatableTable_.empty()) return fail("Records can only be added to a table opened by name");
    if (editMode_ != EditMode::None && !save()) return false;
    pending_.assign(columns_.size(), sqlite::Cell());
    written_.assign(columns_.size(), false);
    editMode_ = EditMode::Adding;
    return true;
}

bool RecordSet::writeFieldText(const Value& field, const std::string& text) {
    if (!open_) return false;
    const auto column = columnOf(field);
    if (!column) return false;
    if (editMode_ == EditMode::None) {
        if (isEndOfRecords() || updatableTable_.empty() || !rows_[current_].rowid) return false;
        pending_ = rows_[current_].cells;
        written_.assign(columns_.size(), false);
        editMode_ = EditMode::Editing;
    }
    pending_[*column] = text.empty() ? sqlite::Cell() : sqlite::Cell(text);
    written_[*column] = true;
    return true;
}

void RecordSet::cancelPending() {
    editMode_ = EditMode::None;
    pending_.clear();
    written_.clear();
}

bool RecordSet::save() {
    if (!open_) return fail("The record set is not open");
    if (editMode_ == EditMode::None) return true;
    sqlite::Database* db = database();
    bool saved = false;
    if (!db || !readThroughCurrentConnection()) {
        lastError_ = "The database connection was closed or reopened; open the record set again";
    } else {
        saved = editMode_ == EditMode::Adding ? insertPending(*db) : updatePending(*db);
    }
    cancelPending();
    return saved;
}

bool RecordSet::insertPending(sqlite::Database& db) {
    std::string names;
    std::string marks;
    std::vector<const sqlite::Cell*> values;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (!written_[c]) continue;
        names += (names.empty() ? "" : ", ") + sqlite::quoteIdentifier(columns_[c].name);
        marks += marks.empty() ? "?" : ", ?";
        values.push_back(&pending_[c]);
    }
    const std::string table = sqlite::quoteIdentifier(updatableTable_);
    const std::string sql = values.empty()
                                ? "INSERT INTO " + table + " DEFAULT VALUES"
                                : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    std::string error;
    auto insert = sqlite::Statement::prepare(db, sql, &error);
    if (!insert) return fail(error);
    for (std::size_t i = 0; i < values.size(); ++i) insert->bind(static_cast<int>(i) + 1, *values[i]);
    if (insert->step() != sqlite::StepResult::Done) return fail(insert->lastError());

    // Read the record back, so defaults and the assigned key show as stored.
    Row row{db.lastInsertRowId(), pending_};
    if (auto stored = sqlite::Statement::prepare(db, "SELECT * FROM " + table + " WHERE rowid = ?")) {
        stored->bindInt(1, *row.rowid);
        if (stored->step() == sqlite::StepResult::Row &&
            stored->columnCount() == static_cast<int>(columns_.size())) {
            for (std::size_t c = 0; c < columns_.size(); ++c)
                row.cells[c] = stored->column(static_cast<int>(c));
        }
    }
    rows_.push_back(std::move(row));
    current_ = rows_.size() - 1;
    return true;
}

bool RecordSet::updatePending(sqlite::Database& db) {
    std::string assignments;
    std::vector<const sqlite::Cell*> values;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (!written_[c]) continue;
        assignments += (assignments.empty() ? "" : ", ") + sqlite::quoteIdentifier(columns_[c].name) + " = ?";
        values.push_back(&pending_[c]);
    }
    if (values.empty()) return true;
    std::string error;
    auto update = sqlite::Statement::prepare(
        db, "UPDATE " + sqlite::quoteIdentifier(updatableTable_) + " SET " + assignments + " WHERE rowid = ?",
        &error);
    if (!update) return fail(error);
    int index = 1;
    for (const auto* value : values) update->bind(index++, *value);
    update->bindInt(index, *rows_[current_].rowid);
    if (update->step() != sqlite::StepResult::Done) return fail(update->lastError());
    if (db.changes() == 0) return fail("The record no longer exists; someone else deleted it");
    rows_[current_].cells = pending_;
    return true;
}

bool RecordSet::moveFirst() {
    if (!open_) return false;
    if (editMode_ != EditMode::None && !save()) return false;
    current_ = 0;
    return true;
}

bool RecordSet::moveNext() {
    if (!open_) return false;
    if (editMode_ != EditMode::None && !save()) return false;
    if (current_ >= rows_.size()) return false;
    ++current_;
    return true;
}

bool RecordSet::readFieldText(const Value& field, std::string& text) const {
    if (!field.is<std::string>() && !numberOf(field)) return false;
    const auto column = open_ ? columnOf(field) : std::nullopt;
    const bool onRecord = editMode_ != EditMode::None || !isEndOfRecords();
    if (!column || !onRecord) {
        text.clear();
        return false;
    }
    const sqlite::Cell& cell =
        editMode_ != EditMode::None ? pending_[*column] : rows_[current_].cells[*column];
    text = fieldText(columns_[*column].kind, cell);
    return true;
}

}  // namespace vex
