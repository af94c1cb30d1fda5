#include "runtime/database_connection.h"

#include "runtime/connection_text.h"

namespace vex {

std::string buildDatabaseConnectionText(const std::string& fileName, const std::string& password) {
    std::string text =
        std::string(connection_text::kConnectionStart) + connection_text::quotedValue(fileName);
    if (!password.empty()) {
        text += connection_text::kPasswordOption;
        text += password;
        text += connection_text::kPasswordOptionEnd;
    }
    return text;
}

std::string dataSourceFromConnectionText(const std::string& connectionText) {
    const auto start = connectionText.find(connection_text::kDataSourceKey);
    if (start == std::string::npos) return {};
    const auto from = start + connection_text::kDataSourceKey.size();
    std::size_t length = 0;
    const std::string_view rest = std::string_view(connectionText).substr(from);
    if (const std::optional<std::string> quoted = connection_text::unquotedValue(rest, length);
        quoted && (length == rest.size() || rest.substr(length).starts_with(connection_text::kOptionsStart)))
        return *quoted;
    const auto end = connectionText.find(connection_text::kOptionsStart, from);
    return connectionText.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

DatabaseConnection::DatabaseConnection(std::uint32_t id)
    : Unit(UnitKind::DatabaseConnection, id), shared_(std::make_shared<SharedConnection>()) {}

DatabaseConnection::~DatabaseConnection() { close(); }

bool DatabaseConnection::open(const std::string& fileName, const std::string& password) {
    connectionText_ = buildDatabaseConnectionText(fileName, password);
    close();
    std::string error;
    // Read-write without create: a missing file is an error, never a new empty database.
    auto database = sqlite::Database::open(dataSourceFromConnectionText(connectionText_),
                                           sqlite::OpenMode::ReadWrite, &error);
    if (!database) {
        shared_->lastError = "Cannot open the database '" + fileName + "'. Reason: " + error;
        return false;
    }
    shared_->database = std::move(*database);
    ++shared_->generation;
    shared_->lastError.clear();
    return true;
}

void DatabaseConnection::close() {
    if (!shared_->database) return;
    shared_->database.reset();
    ++shared_->generation;
}

bool DatabaseConnection::runOnConnection(const char* sql) {
    if (!shared_->database) {
        shared_->lastError = "The database connection is not open";
        return false;
    }
    std::string error;
    if (!shared_->database->execute(sql, &error)) {
        shared_->lastError = error;
        return false;
    }
    return true;
}

bool DatabaseConnection::beginTransaction() { return runOnConnection("BEGIN IMMEDIATE"); }
bool DatabaseConnection::commitTransaction() { return runOnConnection("COMMIT"); }
bool DatabaseConnection::rollbackTransaction() { return runOnConnection("ROLLBACK"); }

}  // namespace vex
