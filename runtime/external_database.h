#pragma once
// External database unit (外部数据库): opens a database file read-only, runs SQL
// statements as record sets (up to 30 open at once), walks them and reads
// fields. A thin front over the database backend, which it reaches only by the
// names of its operations. No command shows a message: failures come back as
// results (false, record-set number 0, end of records, an empty text).

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/unit.h"
#include "runtime/value.h"

namespace vex {

// The connection text of this unit for `fileName` (its form is in runtime/connection_text.h).
// The folder in it is the file name up to its last "/" (our path separator), left out when
// the name has none; an omitted or empty user name or password is left out.
std::string buildExternalDatabaseConnectionText(const std::string& fileName, const Value& userName = {},
                                                const Value& password = {});

class ExternalDatabase : public Unit {
public:
    explicit ExternalDatabase(std::uint32_t id);
    ~ExternalDatabase() override;

    // True when the database was opened; then the previous one is closed with
    // all its record sets. On failure the previous database stays open and usable.
    // The file is always opened read-only and never created.
    bool open(const std::string& fileName, const Value& userName = {}, const Value& password = {},
              const Value& readOnly = {}, const Value& noConnectionDialog = {});
    bool hasDatabase() const { return database_ != 0; }
    // The connection text of the last open, successful or not.
    const std::string& connectionText() const { return connectionText_; }

    // Record-set number, 0 for an empty SQL text, no database, a failed statement,
    // a statement that would write, or 30 record sets already open.
    std::int32_t query(const std::string& sql);
    // The same, with "?" placeholders bound to `parameters` in order, so values
    // never have to be pasted into the SQL text.
    std::int32_t query(const std::string& sql, const std::vector<std::string>& parameters);

    void moveFirst(std::int32_t recordSet);
    void moveNext(std::int32_t recordSet);
    // True past the last record, for an empty result, and for an unknown number.
    bool isEndOfRecords(std::int32_t recordSet);

    // `field` is a column name (exact, case-sensitive; the first match in result
    // order) or a number (1-based position). No value (unknown name, position out
    // of range, unknown record set, past the end) reads as an empty text; NULL as
    // the zero value of the column's declared type.
    Value readField(std::int32_t recordSet, const Value& field);

    void closeRecordSet(std::int32_t recordSet);
    void closeAllRecordSets();  // the database itself stays open

private:
    void closeDatabase();

    std::int32_t database_ = 0;
    std::string connectionText_;
};

}  // namespace vex
