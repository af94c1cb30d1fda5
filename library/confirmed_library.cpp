#include "library/confirmed_library.h"

#include <set>

#include "ident/lookup.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"
#include "runtime/messages.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "runtime/runtime_error.h"
#include "runtime/window_model.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

const std::string& signatureColumn() {
    static const std::string name = PrefixColumnName(kPrefixColumnStem, kLongestPrefix);
    return name;
}

// A field the duplicate check reads must be text; anything else is a fault
// of the store that the runtime reports.
std::string textOf(const Value& value) {
    if (value.omitted()) return {};
    if (!value.is<std::string>()) raiseRuntimeError(runtime_error_code::kTypeMismatch);
    return value.as<std::string>();
}

void reportRefusedWrite(std::string_view signature, const std::string& reason) {
    std::string text = "Cannot store the signature value '";
    text += signature;
    text += "' in the confirmed library. Reason: ";
    text += reason.empty() ? std::string("the database refused the write") : reason;
    showMessage(MessageKind::Error, text);
}

// Writes one new record on the record set, which stands on the table. False
// (with the record left unsaved, so nothing of it is kept) when a field
// cannot be written or the store refuses the save.
bool writeNewRecord(RecordSet& recordSet, std::string_view signature, std::string_view type) {
    if (!recordSet.addNew()) return false;
    if (!recordSet.writeFieldText(Value(std::string(kFileTypeColumn)), std::string(type))) return false;
    for (int length = kShortestPrefix; length <= kLongestPrefix; ++length) {
        const Value field(PrefixColumnName(kPrefixColumnStem, length));
        if (!recordSet.writeFieldText(field, std::string(SignaturePrefix(signature, length)))) return false;
    }
    return recordSet.save();
}

// Values are bound, never pasted into the statement. An empty value stands
// for the records whose column holds nothing, which an equality with '' would
// never find.
std::string deleteStatement(std::string_view table, std::string_view column, std::size_t valueCount,
                            bool matchEmpty) {
    std::string sql = "delete from ";
    sql += table;
    sql += " where ";
    if (valueCount > 0) {
        sql += column;
        sql += " in (?";
        for (std::size_t i = 1; i < valueCount; ++i) sql += ",?";
        sql += ')';
    }
    if (matchEmpty) {
        if (valueCount > 0) sql += " or ";
        sql += column;
        sql += " is null or ";
        sql += column;
        sql += "=''";
    }
    return sql;
}

// The record set shows the store's reason itself when it refuses.
bool deleteRecordsWith(RecordSet& recordSet, std::string_view table, std::string_view column,
                       const std::set<std::string>& values) {
    // Few enough per statement for any SQLite build's limit on parameters.
    constexpr std::size_t kValuesPerStatement = 900;
    std::vector<std::string> batch;
    bool matchEmpty = false;
    auto flush = [&] {
        if (batch.empty() && !matchEmpty) return true;
        const bool deleted =
            recordSet.openStatement(deleteStatement(table, column, batch.size(), matchEmpty), batch);
        batch.clear();
        matchEmpty = false;
        return deleted;
    };
    for (const std::string& value : values) {
        if (value.empty())
            matchEmpty = true;
        else
            batch.push_back(value);
        if (batch.size() == kValuesPerStatement && !flush()) return false;
    }
    return flush();
}

// Runs `work` as one transaction on the connection, so a refusal half-way
// leaves every record in place.
void reportRefusedDelete(const std::string& reason) {
    showMessage(MessageKind::Error, "Cannot delete from the confirmed library. Reason: " + reason);
}

template <class Work>
bool inOneTransaction(DatabaseConnection& connection, Work work) {
    // Without a connection the statements fail on their own and show why.
    if (!connection.isOpen()) return work();
    if (!connection.beginTransaction()) {
        reportRefusedDelete(connection.lastError());
        return false;
    }
    if (!work()) {  // the record set has shown the store's reason
        connection.rollbackTransaction();
        return false;
    }
    if (connection.commitTransaction()) return true;
    reportRefusedDelete(connection.lastError());
    connection.rollbackTransaction();
    return false;
}

template <class Wanted>
bool deleteListedRows(ConfirmedLibraryUnits& units, Wanted wanted) {
    std::set<std::string> values;
    const ReportList& list = units.list;
    for (int item = 0; item < list.itemCount(); ++item) {
        if (wanted(item)) values.insert(list.itemText(item, kConfirmedSignatureColumn));
    }
    const bool deleted = values.empty() || inOneTransaction(units.connection, [&] {
        return deleteRecordsWith(units.recordSet, kConfirmedLibraryTable, signatureColumn(), values);
    });
    const bool loaded = LoadConfirmedLibrary(units);
    return deleted && loaded;
}

}  // namespace

bool SignatureExists(ExternalDatabase& unit, const std::string& path, std::string_view password,
                     std::string_view table, std::string_view column, std::string_view value) {
    // A library that cannot be opened holds nothing; asking the database the
    // unit had open before would answer for another file.
    if (!unit.open(path, Value(), Value(std::string(password)))) return false;
    std::string sql = "select distinct(";
    sql += column;
    sql += ") from ";
    sql += table;
    const std::int32_t recordSet = unit.query(sql);
    const Value field{std::string(column)};
    bool found = false;
    for (unit.moveFirst(recordSet); !found && !unit.isEndOfRecords(recordSet); unit.moveNext(recordSet))
        found = textOf(unit.readField(recordSet, field)) == value;
    unit.closeRecordSet(recordSet);
    return found;
}

AddOutcome AddConfirmedSignature(ConfirmedLibraryUnits& units, std::string_view signature, std::string_view type) {
    if (SignatureExists(units.externalDatabase, units.libraryPath, kLibraryPassword, kConfirmedLibraryTable,
                        signatureColumn(), signature))
        return AddOutcome::Duplicate;

    const bool written = writeNewRecord(units.recordSet, signature, type);
    if (written) {
        units.recordSet.moveFirst();
    } else {
        reportRefusedWrite(signature, units.recordSet.lastError());
        // Moving would save the record as far as it was written; closing drops it.
        units.recordSet.close();
    }
    LoadConfirmedLibrary(units);
    return written ? AddOutcome::Added : AddOutcome::Refused;
}

bool LoadConfirmedLibrary(ConfirmedLibraryUnits& units) {
    RecordSet& recordSet = units.recordSet;
    const bool connected = units.connection.connectToAccessFile(units.libraryPath, std::string(kLibraryPassword));
    recordSet.setConnection(&units.connection);
    const bool opened = recordSet.open(std::string(kConfirmedLibraryTable), record_set_kind::kTable);

    units.list.deleteAllItems();
    recordSet.moveFirst();
    const int count = recordSet.recordCount();
    const Value signatureField{signatureColumn()};
    const Value typeField{std::string(kFileTypeColumn)};
    std::vector<ReportRow> rows;
    rows.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int number = 1; number <= count; ++number) {
        std::string signature;
        std::string type;
        recordSet.readFieldText(signatureField, signature);
        recordSet.readFieldText(typeField, type);
        ReportRow row;
        row.cells = {std::to_string(number), std::move(type), std::move(signature)};
        rows.push_back(std::move(row));
        recordSet.moveNext();
    }
    units.list.setRows(std::move(rows));
    return connected && opened;
}

bool DeleteConfirmedSignature(RecordSet& recordSet, std::string_view table, std::string_view column,
                              std::string_view value) {
    return deleteRecordsWith(recordSet, table, column, {std::string(value)});
}

bool DeleteAllConfirmed(ConfirmedLibraryUnits& units) {
    return deleteListedRows(units, [](int) { return true; });
}

bool DeleteCheckedConfirmed(ConfirmedLibraryUnits& units) {
    return deleteListedRows(units, [&units](int item) { return units.list.checkState(item) == check_state::kChecked; });
}

ConfirmedLibraryUnits mainWindowConfirmedLibrary(std::string libraryPath, WindowModel& model) {
    return {model.resolveAs<ExternalDatabase>(main_window::外部数据库1),
            model.resolveAs<DatabaseConnection>(main_window::数据库连接1),
            model.resolveAs<RecordSet>(main_window::记录集1), model.resolveAs<ReportList>(main_window::超级列表框2),
            std::move(libraryPath)};
}

AddOutcome AddConfirmedSignatureOnMainWindow(std::string_view signature, std::string_view type,
                                             std::string libraryPath, WindowModel& model) {
    ConfirmedLibraryUnits units = mainWindowConfirmedLibrary(std::move(libraryPath), model);
    const AddOutcome outcome = AddConfirmedSignature(units, signature, type);
    if (outcome == AddOutcome::Duplicate) showMessageWindow(std::string(kDuplicateSignatureMessage), model);
    return outcome;
}

void registerConfirmedLibraryHandlers(std::string libraryPath, WindowModel& model) {
    auto handler = [libraryPath, &model](bool (*operation)(ConfirmedLibraryUnits&)) {
        return [libraryPath, &model, operation](const std::vector<Value>&) {
            ConfirmedLibraryUnits units = mainWindowConfirmedLibrary(libraryPath, model);
            operation(units);
            return Value();
        };
    };
    model.handlers().add("DeleteCheckedConfirmed", handler(&DeleteCheckedConfirmed));
    model.handlers().add("DeleteAllConfirmed", handler(&DeleteAllConfirmed));
}

}  // namespace vex
