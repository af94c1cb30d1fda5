#pragma once
// Record set unit (记录集): bound to a database connection unit, it opens a table
// by name or runs an SQL statement, walks the records, adds records and reads
// and writes fields as text. A table or query result is kept as a static
// snapshot taken at the open (each row with its rowid, so a change can be
// written back); adding and saving a record is one INSERT.
//
// Field texts by declared column type (SQLite has no bool or date storage of its
// own; the declared type is what says a column holds one):
//   NULL                                   ""
//   BOOL, BOOLEAN, BIT                     "TRUE" / "FALSE"
//   INT, INTEGER, TINYINT, SMALLINT, BIGINT the whole integer in decimal
//   SINGLE, FLOAT4                         "%.4f"
//   REAL, FLOAT, DOUBLE                    "%.8f"
//   DECIMAL, NUMERIC                       as a double, "%.8f"
//   CURRENCY, MONEY                        up to 4 decimals, trailing zeros dropped
//   DATE, TIME, DATETIME, TIMESTAMP        "%Y-%m-%d %H:%M:%S"
//   CHAR, VARCHAR, TEXT, CLOB ...          the text
//   BLOB, BINARY ...                       "[BLOB]"
//   any other declared type (e.g. GUID)    "UN_KNOW"
//   no declared type (an expression)       by the stored value: integer, "%.8f", text or "[BLOB]"
// A text or blob stored in a numeric column reads as the text, or "[BLOB]".

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/database_connection.h"
#include "runtime/sqlite.h"
#include "runtime/unit.h"

namespace vex {

namespace record_set_kind {
constexpr int kStatement = 1;
constexpr int kTable = 2;
}  // namespace record_set_kind

class RecordSet : public Unit {
public:
    explicit RecordSet(std::uint32_t id);
    ~RecordSet() override;

    // Own property 2 (number 10): the record count, as an integer.
    static constexpr int kRecordCountProperty = 2;
    Value readOwnProperty(int ownNumber) const override;

    // Binds to `connection` (its current and later connections). False for none.
    bool setConnection(const DatabaseConnection* connection);

    // Opens `source` as an SQL statement (kind 1) or a table name (kind 2);
    // `cursorLocation` must be 1..3 when given. An empty source keeps the previous
    // one. A statement that returns no rows (a DELETE) is run, and the record set
    // is closed afterwards. When the database refuses, the result is false and
    // lastError() holds its description; the caller decides how to show it.
    bool open(const std::string& source, int kind, const Value& cursorLocation = {});
    // Opens an SQL statement whose "?" placeholders are bound to `parameters`, so
    // values are never pasted into the SQL text. Otherwise as open(sql, 1).
    bool openStatement(const std::string& sql, const std::vector<std::string>& parameters);
    void close();

    bool addNew();
    // `field`: a column name (exact) or a position from 0. An empty text is written as NULL.
    bool writeFieldText(const Value& field, const std::string& text);
    // Writes the pending new or changed record. On failure the change is
    // cancelled and lastError() says why (the caller shows it); nothing is half-written.
    bool save();
    bool moveFirst();
    bool moveNext();
    // False when closed, past the last record or the field is unknown; `text`
    // is then empty. A field that is neither text nor number leaves it untouched.
    bool readFieldText(const Value& field, std::string& text) const;

    bool isOpen() const { return open_; }
    bool isEndOfRecords() const { return !open_ || current_ >= rows_.size(); }
    std::int32_t recordCount() const;
    int fieldCount() const { return static_cast<int>(columns_.size()); }
    const std::string& source() const { return source_; }
    const std::string& tableName() const { return tableName_; }
    const std::string& lastError() const { return lastError_; }

private:
    struct Column {
        std::string name;
        sqlite::DeclaredKind kind = sqlite::DeclaredKind::Unspecified;
    };
    struct Row {
        std::optional<std::int64_t> rowid;  // none for rows of a statement
        std::vector<sqlite::Cell> cells;
    };
    enum class EditMode { None, Adding, Editing };

    bool openPrepared(const std::string& sql, const std::vector<std::string>& parameters, int kind);
    bool loadTable(sqlite::Database& db, const std::string& table);
    bool readResult(sqlite::Statement& statement, bool keyFirst, bool keepRows);
    bool runStatement(sqlite::Database& db, const std::string& sql,
                      const std::vector<std::string>& parameters);
    bool fail(std::string error);
    std::optional<std::size_t> columnOf(const Value& field) const;
    bool insertPending(sqlite::Database& db);
    bool updatePending(sqlite::Database& db);
    void cancelPending();
    sqlite::Database* database() const;

    bool readThroughCurrentConnection() const;

    std::shared_ptr<SharedConnection> connection_;
    std::uint64_t openedGeneration_ = 0;  // the connection's generation when the rows were read
    std::string source_;
    std::string tableName_;       // remembered by a kind-2 open, cleared by a kind-1 open
    std::string updatableTable_;  // the table the snapshot rows come from, empty when not updatable
    int cursorLocation_ = 3;
    bool open_ = false;
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    std::size_t current_ = 0;
    EditMode editMode_ = EditMode::None;
    std::vector<sqlite::Cell> pending_;
    std::vector<bool> written_;
    std::string lastError_;
};

// The text of a stored value by its column's declared kind (the table above).
// Currency uses the decimal separator of the user's locale, read once per process.
std::string fieldText(sqlite::DeclaredKind kind, const sqlite::Cell& cell);

// The decimal separator of the named locale; "" names the user's own (LC_ALL, LC_NUMERIC
// or LANG). "." when that locale is not installed.
std::string decimalSeparatorOfLocale(const std::string& name);

}  // namespace vex
