#pragma once
// Database connection unit (数据库连接): opens the database file for reading and
// writing, for record sets bound to it. It never creates a missing file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "runtime/sqlite.h"
#include "runtime/unit.h"

namespace vex {

// The connection text of this unit for `fileName` (its form is in runtime/connection_text.h);
// the password is part of it only when not empty.
std::string buildDatabaseConnectionText(const std::string& fileName, const std::string& password);

// The file such a text names: its data source, up to the options or the end.
std::string dataSourceFromConnectionText(const std::string& connectionText);

// The connection itself. Record sets bound to a connection unit share it, so a
// reconnect is seen by their next open, and a record set never outlives it.
struct SharedConnection {
    std::optional<sqlite::Database> database;  // empty while closed
    std::string lastError;
    // Counts opens and closes, so a record set can tell that the rows it holds
    // were read through a connection that is gone (perhaps to another file).
    std::uint64_t generation = 0;
};

class DatabaseConnection : public Unit {
public:
    explicit DatabaseConnection(std::uint32_t id);
    ~DatabaseConnection() override;

    // Closes an open connection, then opens `fileName` read-write. False on
    // failure, without a message; lastError() says why. The password is part of
    // the connection text only: an SQLite file has none to check.
    bool open(const std::string& fileName, const std::string& password);
    void close();

    // Several statements as one change: all of them or, after a rollback, none.
    // False (with lastError()) when closed or refused; a refused commit leaves
    // the transaction open for the caller to roll back.
    bool beginTransaction();
    bool commitTransaction();
    bool rollbackTransaction();

    bool isOpen() const { return shared_->database.has_value(); }
    const std::string& connectionText() const { return connectionText_; }
    const std::string& lastError() const { return shared_->lastError; }

    std::shared_ptr<SharedConnection> shared() const { return shared_; }

private:
    bool runOnConnection(const char* sql);

    std::shared_ptr<SharedConnection> shared_;
    std::string connectionText_;
};

}  // namespace vex
