#include "runtime/sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace vex::sqlite {
namespace {

std::atomic<int> g_busyTimeoutMs{kDefaultBusyTimeoutMs};
std::atomic<int> g_statementTimeLimitMs{kDefaultStatementTimeLimitMs};

std::mutex g_busyNoticeMutex;
std::function<void()> g_busyNotice;

// When the statement running on this thread must give up. Set as a statement
// starts; the progress handler checks it every few thousand steps.
thread_local std::chrono::steady_clock::time_point t_statementDeadline =
    std::chrono::steady_clock::time_point::max();

void startStatementClock() {
    t_statementDeadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(g_statementTimeLimitMs.load());
}

int stopWhenPastDeadline(void*) { return std::chrono::steady_clock::now() > t_statementDeadline ? 1 : 0; }

// SQLite's own busy timeout, plus one notice after a second of waiting, so a
// person knows why nothing moves.
int waitWhileBusy(void* context, int attempt) {
    static thread_local std::chrono::steady_clock::time_point waitingSince;
    static thread_local bool noticed = false;
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) {
        waitingSince = now;
        noticed = false;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - waitingSince).count();
    if (waited >= *static_cast<const int*>(context)) return 0;
    if (waited >= kBusyNoticeAfterMs && !noticed) {
        noticed = true;
        std::function<void()> notice;
        {
            std::lock_guard lock(g_busyNoticeMutex);
            notice = g_busyNotice;
        }
        if (notice) notice();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 2 : 20));
    return 1;
}

// A store received from someone else may hold views, triggers or schema
// functions meant to hang or change things when read; none of them runs here,
// and no value or statement can grow past what a store of ours ever needs.
void harden(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kValueLengthLimit);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, kValueLengthLimit);
    sqlite3_limit(db, SQLITE_LIMIT_COLUMN, 200);
    sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(db, SQLITE_LIMIT_COMPOUND_SELECT, 10);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::ReadOnly:
            return SQLITE_OPEN_READONLY;
        case OpenMode::ReadWrite:
            return SQLITE_OPEN_READWRITE;
        case OpenMode::ReadWriteCreate:
            return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    }
    return SQLITE_OPEN_READONLY;
}

bool onlyBlanksAndComments(std::string_view rest) {
    // sqlite3_prepare leaves comments and blanks after the last statement as the tail.
    std::size_t i = 0;
    while (i < rest.size()) {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        if (std::isspace(c) || c == ';') {
            ++i;
        } else if (rest.substr(i, 2) == "--") {
            const auto end = rest.find('\n', i);
            if (end == std::string_view::npos) return true;
            i = end + 1;
        } else if (rest.substr(i, 2) == "/*") {
            const auto end = rest.find("*/", i + 2);
            if (end == std::string_view::npos) return true;
            i = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// Days between 1899-12-30 and the civil date, by the proleptic Gregorian calendar.
double civilToDays(int year, int month, int day) {
    // Howard Hinnant's days_from_civil, shifted from the Unix epoch to 1899-12-30.
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yoe = year - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long daysFromUnixEpoch = static_cast<long>(era) * 146097 + doe - 719468;
    return static_cast<double>(daysFromUnixEpoch + 25569);
}

std::optional<double> parseIsoDate(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) == 3) {
        if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
        double days = civilToDays(year, month, day);
        const char* rest = text.c_str() + consumed;
        if (*rest == ' ' || *rest == 'T') ++rest;
        if (std::sscanf(rest, "%2d:%2d:%lf", &hour, &minute, &second) >= 2 ||
            std::sscanf(rest, "%2d:%2d", &hour, &minute) == 2) {
            days += (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
        }
        return days;
    }
    if (std::sscanf(text.c_str(), "%2d:%2d:%lf", &hour, &minute, &second) >= 2 ||
        std::sscanf(text.c_str(), "%2d:%2d", &hour, &minute) == 2) {
        return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    }
    return std::nullopt;
}

}  // namespace

void setDefaultBusyTimeout(int milliseconds) { g_busyTimeoutMs = std::max(0, milliseconds); }
void setStatementTimeLimit(int milliseconds) { g_statementTimeLimitMs = std::max(1, milliseconds); }
void setBusyNotice(std::function<void()> notice) {
    std::lock_guard lock(g_busyNoticeMutex);
    g_busyNotice = std::move(notice);
}
int defaultBusyTimeout() { return g_busyTimeoutMs; }

// ---- Database ----

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), busyTimeoutMs_(std::move(other.busyTimeoutMs_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        if (db_) sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
        busyTimeoutMs_ = std::move(other.busyTimeoutMs_);
    }
    return *this;
}

Database::~Database() {
    if (db_) sqlite3_close_v2(db_);
}

namespace {

// A writer killed in the middle of a transaction leaves a hot journal, which only a
// connection that may write can roll back. A read-only connection fails on it, and
// every lookup would answer "unknown type" until some later write; so roll it back
// first, the way the next writer would.
bool rollBackInterruptedWrite(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path + "-journal", ignored)) return false;
    sqlite3* raw = nullptr;
    const bool ok = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                    nullptr) == SQLITE_OK &&
                    sqlite3_busy_timeout(raw, defaultBusyTimeout()) == SQLITE_OK &&
                    sqlite3_exec(raw, "PRAGMA page_count", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(raw);
    return ok;
}

}  // namespace

bool copyDatabase(Database& source, Database& destination, std::string* error) {
    sqlite3_backup* backup = sqlite3_backup_init(destination.handle(), "main", source.handle(), "main");
    if (!backup) {
        setError(error, sqlite3_errmsg(destination.handle()));
        return false;
    }
    // The backup interface does not wait on a busy peer by itself.
    int waited = 0;
    int rc;
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (waited >= defaultBusyTimeout()) break;
        sqlite3_sleep(25);
        waited += 25;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        setError(error, rc != SQLITE_DONE ? sqlite3_errstr(rc) : sqlite3_errmsg(destination.handle()));
        return false;
    }
    return true;
}

std::optional<Database> Database::open(const std::string& path, OpenMode mode, std::string* error) {
    std::optional<Database> db = openOnce(path, mode, error);
    if (!db && mode == OpenMode::ReadOnly && rollBackInterruptedWrite(path)) db = openOnce(path, mode, error);
    return db;
}

std::optional<Database> Database::openOnce(const std::string& path, OpenMode mode, std::string* error) {
    if (path.empty()) {
        setError(error, "no database file was named");
        return std::nullopt;
    }
    static std::once_flag heapLimited;
    std::call_once(heapLimited, [] { sqlite3_hard_heap_limit64(kHeapLimitBytes); });
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, openFlags(mode) | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        setError(error, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        return std::nullopt;
    }
    sqlite3_extended_result_codes(raw, 1);
    db.setBusyTimeout(defaultBusyTimeout());
    sqlite3_progress_handler(raw, 4096, &stopWhenPastDeadline, nullptr);
    if (mode == OpenMode::ReadWriteCreate) return db;
    harden(raw);

    // SQLite opens lazily: read the header now, so a file that is no database
    // (or an empty one, which SQLite would silently treat as a new database) fails here.
    auto check = Statement::prepare(db, "PRAGMA page_count", error);
    if (!check) return std::nullopt;
    if (check->step() != StepResult::Row) {
        setError(error, check->lastError());
        return std::nullopt;
    }
    const Cell pages = check->column(0);
    const auto* count = std::get_if<std::int64_t>(&pages);
    if (!count || *count <= 0) {
        setError(error, "file is not a database");
        return std::nullopt;
    }
    return db;
}

bool Database::execute(std::string_view sql, std::string* error) {
    char* message = nullptr;
    const std::string text(sql);
    startStatementClock();
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        setError(error, message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::string Database::lastError() const { return db_ ? sqlite3_errmsg(db_) : "no database is open"; }
std::int64_t Database::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
int Database::changes() const { return sqlite3_changes(db_); }
bool Database::isReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }
void Database::setBusyTimeout(int milliseconds) {
    *busyTimeoutMs_ = milliseconds;
    sqlite3_busy_handler(db_, &waitWhileBusy, busyTimeoutMs_.get());
}

// ---- Statement ----

Statement::Statement(Statement&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        if (stmt_) sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

Statement::~Statement() {
    if (stmt_) sqlite3_finalize(stmt_);
}

std::optional<Statement> Statement::prepare(Database& db, std::string_view sql, std::string* error) {
    if (!db.handle()) {
        setError(error, "no database is open");
        return std::nullopt;
    }
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &raw, &tail);
    Statement statement(raw);
    if (rc != SQLITE_OK) {
        setError(error, db.lastError());
        return std::nullopt;
    }
    if (!raw) {
        setError(error, "the statement is empty");
        return std::nullopt;
    }
    const std::size_t used = static_cast<std::size_t>(tail - sql.data());
    if (!onlyBlanksAndComments(sql.substr(used))) {
        setError(error, "only one statement may be run at a time");
        return std::nullopt;
    }
    return statement;
}

bool Statement::bind(int index, const Cell& value) {
    return std::visit(
        [&](const auto& v) -> bool {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return sqlite3_bind_null(stmt_, index) == SQLITE_OK;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return sqlite3_bind_int64(stmt_, index, v) == SQLITE_OK;
            } else if constexpr (std::is_same_v<T, double>) {
                return sqlite3_bind_double(stmt_, index, v) == SQLITE_OK;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return sqlite3_bind_text64(stmt_, index, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8) ==
                       SQLITE_OK;
            } else {
                return sqlite3_bind_blob64(stmt_, index, v.data(), v.size(), SQLITE_TRANSIENT) == SQLITE_OK;
            }
        },
        value);
}

bool Statement::bindText(int index, std::string_view text) {
    return sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) ==
           SQLITE_OK;
}
bool Statement::bindNull(int index) { return sqlite3_bind_null(stmt_, index) == SQLITE_OK; }
bool Statement::bindInt(int index, std::int64_t value) {
    return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

StepResult Statement::step() {
    if (!sqlite3_stmt_busy(stmt_)) startStatementClock();
    switch (sqlite3_step(stmt_)) {
        case SQLITE_ROW:
            return StepResult::Row;
        case SQLITE_DONE:
            return StepResult::Done;
        default:
            return StepResult::Error;
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool Statement::returnsRows() const { return sqlite3_column_count(stmt_) > 0; }
bool Statement::isReadOnly() const { return sqlite3_stmt_readonly(stmt_) != 0; }
int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::columnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

std::string Statement::columnDeclaredType(int column) const {
    const char* type = sqlite3_column_decltype(stmt_, column);
    return type ? type : "";
}

Cell Statement::column(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER:
            return Cell(static_cast<std::int64_t>(sqlite3_column_int64(stmt_, column)));
        case SQLITE_FLOAT:
            return Cell(sqlite3_column_double(stmt_, column));
        case SQLITE_TEXT:
            return Cell(std::string(textAt(column).value_or(std::string_view())));
        case SQLITE_BLOB: {
            const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
            const int size = sqlite3_column_bytes(stmt_, column);
            return Cell(data ? ByteSet(data, data + size) : ByteSet());
        }
        default:
            return Cell();
    }
}

std::optional<std::string_view> Statement::textAt(int column) const {
    if (sqlite3_column_type(stmt_, column) != SQLITE_TEXT) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return text ? std::string_view(text, static_cast<std::size_t>(size)) : std::string_view();
}

std::string Statement::lastError() const {
    sqlite3* db = stmt_ ? sqlite3_db_handle(stmt_) : nullptr;
    return db ? sqlite3_errmsg(db) : "no statement is prepared";
}

// ---- helpers ----

std::string quoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    out += '"';
    return out;
}

DeclaredKind classifyDeclaredType(std::string_view declaredType) {
    const std::string type = upperAscii(declaredType.substr(0, declaredType.find('(')));
    auto is = [&](std::string_view name) {
        // Compare the first word only: "DOUBLE PRECISION", "UNSIGNED BIG INT" keep their meaning.
        return type == name || type.rfind(std::string(name) + " ", 0) == 0;
    };
    if (type.empty()) return DeclaredKind::Unspecified;
    if (contains(type, "BOOL") || is("BIT")) return DeclaredKind::Bool;
    if (contains(type, "DATE") || contains(type, "TIME")) return DeclaredKind::DateTime;
    if (contains(type, "TINYINT")) return DeclaredKind::TinyInt;
    if (contains(type, "SMALLINT")) return DeclaredKind::SmallInt;
    if (contains(type, "BIGINT") || contains(type, "BIG INT")) return DeclaredKind::BigInt;
    if (contains(type, "INT")) return DeclaredKind::Integer;
    if (contains(type, "CHAR") || contains(type, "CLOB") || contains(type, "TEXT")) return DeclaredKind::Text;
    if (contains(type, "BLOB") || contains(type, "BINARY")) return DeclaredKind::Binary;
    if (is("SINGLE") || is("FLOAT4")) return DeclaredKind::Single;
    if (contains(type, "REAL") || contains(type, "FLOA") || contains(type, "DOUB"))
        return DeclaredKind::Double;
    if (is("DECIMAL") || is("NUMERIC")) return DeclaredKind::Decimal;
    if (is("CURRENCY") || is("MONEY")) return DeclaredKind::Currency;
    return DeclaredKind::Other;
}

std::optional<double> storedDateToDays(const Cell& cell) {
    if (const auto* text = std::get_if<std::string>(&cell)) return parseIsoDate(*text);
    if (const auto* julian = std::get_if<double>(&cell)) return *julian - 2415018.5;
    if (const auto* unixTime = std::get_if<std::int64_t>(&cell)) {
        return static_cast<double>(*unixTime) / 86400.0 + 25569.0;
    }
    return std::nullopt;
}

}  // namespace vex::sqlite
