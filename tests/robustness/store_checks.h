#pragma once
// Looks into the stores from outside the program, the way a suspicious user would:
// SQLite's own integrity check on "data.mdb", the confirmed records field by field,
// and the lists as vexorin-cli prints them in JSON.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vex::test {

// "ok", or what SQLite's integrity check (or the open) reports.
std::string databaseIntegrity(const std::string& databasePath);

struct ConfirmedRecord {
    std::string type;
    std::map<int, std::string> prefixes;  // 4..20 -> the stored "特征值"N, absent when NULL
};

// Every record of the confirmed library in table order; nothing when the file cannot be read.
std::optional<std::vector<ConfirmedRecord>> confirmedRecords(const std::string& databasePath);

// A record is whole when each stored prefix is the cut of the longest one to its length.
bool isWholeRecord(const ConfirmedRecord& record);

// One row of a list printed with --json, by its English keys.
using JsonRow = std::map<std::string, std::string>;
// Parses the JSON array a list command prints; nothing when it is not one.
std::optional<std::vector<JsonRow>> parseJsonRows(const std::string& printed);

// `text` as it comes back from the JSON output: broken UTF-8 bytes become U+FFFD.
std::string asPrintedInJson(const std::string& text);

}  // namespace vex::test
