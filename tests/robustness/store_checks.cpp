#include "tests/robustness/store_checks.h"

#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "runtime/text.h"

namespace vex::test {
namespace {

struct Connection {
    sqlite3* db = nullptr;
    explicit Connection(const std::string& path) {
        // Read-write (never create), so a journal left by a killed writer is rolled
        // back first, as the next program to open the store would do.
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
        }
        if (db) sqlite3_busy_timeout(db, 5000);
    }
    ~Connection() { sqlite3_close(db); }
};

std::string columnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

}  // namespace

std::string databaseIntegrity(const std::string& databasePath) {
    Connection connection(databasePath);
    if (!connection.db) return "cannot open " + databasePath;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection.db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(connection.db);
    std::string report;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        report += (report.empty() ? "" : "\n") + columnText(statement, 0);
    if (step != SQLITE_DONE)
        report += std::string(report.empty() ? "" : "\n") + sqlite3_errmsg(connection.db);
    sqlite3_finalize(statement);
    return report;
}

std::optional<std::vector<ConfirmedRecord>> confirmedRecords(const std::string& databasePath) {
    Connection connection(databasePath);
    if (!connection.db) return std::nullopt;
    std::string sql = "SELECT \"文件类型\"";
    for (int n = 4; n <= 20; ++n) sql += ", \"特征值" + std::to_string(n) + "\"";
    sql += " FROM \"文件特征值库\"";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection.db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return std::nullopt;
    std::vector<ConfirmedRecord> records;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        ConfirmedRecord record;
        record.type = columnText(statement, 0);
        for (int n = 4; n <= 20; ++n)
            if (sqlite3_column_type(statement, n - 3) != SQLITE_NULL)
                record.prefixes[n] = columnText(statement, n - 3);
        records.push_back(std::move(record));
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) return std::nullopt;
    return records;
}

bool isWholeRecord(const ConfirmedRecord& record) {
    const auto longest = record.prefixes.find(20);
    if (longest == record.prefixes.end()) return record.prefixes.empty();
    for (int n = 4; n <= 20; ++n) {
        const auto it = record.prefixes.find(n);
        if (it == record.prefixes.end() ||
            it->second != cutToBytes(longest->second, static_cast<std::size_t>(n)))
            return false;
    }
    return true;
}

std::optional<std::vector<JsonRow>> parseJsonRows(const std::string& printed) {
    const nlohmann::json parsed = nlohmann::json::parse(printed, nullptr, false);
    if (!parsed.is_array()) return std::nullopt;
    std::vector<JsonRow> rows;
    for (const auto& object : parsed) {
        if (!object.is_object()) return std::nullopt;
        JsonRow row;
        for (const auto& [key, value] : object.items())
            row[key] = value.is_string() ? value.get<std::string>() : value.dump();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string asPrintedInJson(const std::string& text) {
    const std::string dumped =
        nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return nlohmann::json::parse(dumped).get<std::string>();
}

}  // namespace vex::test
