#pragma once
// The confirmed library's store: every fact of its schema, shared by the
// program and by the build tool that generates the empty store image from it.

#include <string>
#include <string_view>

#include "ident/prefix_index.h"

namespace vex::store_schema {

inline constexpr std::string_view kTable = "文件特征值库";
inline constexpr std::string_view kKeyColumn = "编号";
inline constexpr std::string_view kFileTypeColumn = "文件类型";
inline constexpr std::string_view kSignatureColumnStem = "特征值";
// Passed in both connection texts, as stored connection texts always carried
// it; an SQLite file holds no password, so it protects nothing.
inline constexpr std::string_view kPassword = "tulip";
inline constexpr int kTextColumnSize = 50;  // characters
// New records take their keys from this counter; the shipped store starts here.
inline constexpr int kInitialKeyCounter = 106;

// "特征值" followed by the length in decimal, no padding.
inline std::string signatureColumnName(int length) {
    return std::string(kSignatureColumnStem) + std::to_string(length);
}

// The table in column order: key, file type, then the prefix columns from the
// longest to the shortest. A text longer than its column is refused by the
// CHECK, never cut, so nothing is stored other than what the user confirmed.
inline std::string createTableStatement() {
    auto textColumn = [](std::string_view name) {
        const std::string quoted = "\"" + std::string(name) + "\"";
        return ",\n  " + quoted + " TEXT(" + std::to_string(kTextColumnSize) + ") CHECK(length(" + quoted +
               ") <= " + std::to_string(kTextColumnSize) + ")";
    };
    std::string sql = "CREATE TABLE \"" + std::string(kTable) + "\" (\n  \"" + std::string(kKeyColumn) +
                      "\" INTEGER PRIMARY KEY AUTOINCREMENT";
    sql += textColumn(kFileTypeColumn);
    for (int length = kLongestPrefix; length >= kShortestPrefix; --length)
        sql += textColumn(signatureColumnName(length));
    sql += "\n)";
    return sql;
}

// Indexes that let a confirm look for its value, and for the records near it,
// without reading the whole table: on the full value and on the shared prefix.
// A store made without them gets them at its first confirm.
inline std::string createIndexesScript() {
    std::string sql;
    for (const int length : {kLongestPrefix, kMeaningfulSharedDigits}) {
        const std::string column = signatureColumnName(length);
        sql += "CREATE INDEX IF NOT EXISTS \"" + std::string(kTable) + "_" + column + "\" ON \"" +
               std::string(kTable) + "\" (\"" + column + "\");\n";
    }
    return sql;
}

// Creates the empty store in a new database: the table, its indexes, and the key counter.
inline std::string createStoreScript() {
    return "PRAGMA page_size = 4096;\n" + createTableStatement() + ";\n" + createIndexesScript() +
           "INSERT INTO sqlite_sequence(name, seq) VALUES ('" + std::string(kTable) + "', " +
           std::to_string(kInitialKeyCounter) + ");\n";
}

}  // namespace vex::store_schema
