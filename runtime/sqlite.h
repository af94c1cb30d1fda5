#pragma once
// A small RAII layer over the SQLite C API: one Database per connection, one
// Statement per prepared statement, values always bound, never pasted into SQL.
// Every failure comes back as a result with SQLite's own description of it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vex::sqlite {

// One stored value as SQLite keeps it (its storage class).
using Cell = std::variant<std::monostate, std::int64_t, double, std::string, ByteSet>;

inline bool isNull(const Cell& cell) { return std::holds_alternative<std::monostate>(cell); }

enum class OpenMode {
    ReadOnly,         // never writes, never creates
    ReadWrite,        // writes an existing file; never creates one
    ReadWriteCreate,  // creates the file when missing (build tools and tests only)
};

// How long a statement waits for a lock another connection holds before it
// gives up with "database is locked". Modest, so a stuck peer fails in seconds.
constexpr int kDefaultBusyTimeoutMs = 2000;
void setDefaultBusyTimeout(int milliseconds);  // tests shorten it
int defaultBusyTimeout();
// After this long waiting for another connection's lock, the busy notice is given (once per wait).
constexpr int kBusyNoticeAfterMs = 1000;
// Called on the waiting thread; front ends say there that another program is writing.
void setBusyNotice(std::function<void()> notice);

// Every statement gives up ("interrupted") after this long, so no store, however
// it was made, can hang the program; a store of ours is read in well under a second.
constexpr int kDefaultStatementTimeLimitMs = 60000;
void setStatementTimeLimit(int milliseconds);  // tests shorten it
// Longest text or byte value, and longest statement, a store may hold: far above
// the 50-character columns, far below what could exhaust memory.
constexpr int kValueLengthLimit = 1 << 20;
// SQLite's own memory in this process never grows past this.
constexpr std::int64_t kHeapLimitBytes = 100LL << 20;

class Statement;

class Database {
public:
    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database();

    // Opens `path`. A file that is empty or not an SQLite database is refused
    // here, not at the first query, so a failed open can keep what was open.
    static std::optional<Database> open(const std::string& path, OpenMode mode, std::string* error = nullptr);

    // Runs one or more statements that take no parameters (schema, pragmas).
    bool execute(std::string_view sql, std::string* error = nullptr);

    std::string lastError() const;
    std::int64_t lastInsertRowId() const;
    int changes() const;
    bool isReadOnly() const;
    void setBusyTimeout(int milliseconds);

    sqlite3* handle() const { return db_; }

private:
    static std::optional<Database> openOnce(const std::string& path, OpenMode mode, std::string* error);
    explicit Database(sqlite3* db) : db_(db) {}
    sqlite3* db_ = nullptr;
    // Where the busy handler reads the wait; on the heap, so it stays put when the Database moves.
    std::unique_ptr<int> busyTimeoutMs_ = std::make_unique<int>(0);
};

// Copies the whole of `source` into `destination` through SQLite's online
// backup, page by page and as one transaction on the destination: a reader of
// the destination sees it as it was or as the copy, never half of each. Waits
// for a lock another connection holds up to the busy timeout.
bool copyDatabase(Database& source, Database& destination, std::string* error = nullptr);

enum class StepResult { Row, Done, Error };

class Statement {
public:
    Statement() = default;
    Statement(Statement&&) noexcept;
    Statement& operator=(Statement&&) noexcept;
    ~Statement();

    // Prepares exactly one statement. Text after it (a second statement) is
    // refused, so a value that slipped into the SQL cannot smuggle in another.
    static std::optional<Statement> prepare(Database& db, std::string_view sql, std::string* error = nullptr);

    bool bind(int index, const Cell& value);  // index from 1
    bool bindText(int index, std::string_view text);
    bool bindNull(int index);
    bool bindInt(int index, std::int64_t value);

    StepResult step();
    void reset();

    bool returnsRows() const;  // false for statements such as DELETE or INSERT
    bool isReadOnly() const;
    int columnCount() const;
    std::string columnName(int column) const;
    std::string columnDeclaredType(int column) const;  // empty for expressions
    Cell column(int column) const;
    // The text of a column that holds text, without a copy; it lasts until the next step or reset.
    // Nothing for a column that holds anything else.
    std::optional<std::string_view> textAt(int column) const;

    std::string lastError() const;

private:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    sqlite3_stmt* stmt_ = nullptr;
};

// Column names in SQL are double-quoted, with inner quotes doubled.
std::string quoteIdentifier(std::string_view name);

// What a column's declared type says about the values it holds. SQLite keeps
// one integer and one real kind; the declared type is the only place where a
// schema can say "bool", "date" or "single float", so we read it from there.
enum class DeclaredKind {
    Unspecified,  // no declared type (an expression): use the value's storage class
    Bool,         // BOOL, BOOLEAN, BIT
    TinyInt,      // TINYINT
    SmallInt,     // SMALLINT
    Integer,      // INT, INTEGER, MEDIUMINT and other names holding "INT"
    BigInt,       // BIGINT
    Single,       // SINGLE, FLOAT4
    Double,       // REAL, FLOAT, DOUBLE
    Decimal,      // DECIMAL, NUMERIC
    Currency,     // CURRENCY, MONEY
    DateTime,     // DATE, TIME, DATETIME, TIMESTAMP
    Text,         // names holding CHAR, CLOB or TEXT
    Binary,       // names holding BLOB or BINARY
    Other,        // anything else (e.g. GUID): the data layer cannot say what it is
};
DeclaredKind classifyDeclaredType(std::string_view declaredType);

// Days since 1899-12-30 (time of day as the fraction) of a stored date:
// ISO text "YYYY-MM-DD[ HH:MM[:SS[.fff]]]" or "HH:MM[:SS]", a real Julian day
// number, or an integer Unix time. Nothing for text that is no date.
std::optional<double> storedDateToDays(const Cell& cell);

}  // namespace vex::sqlite
