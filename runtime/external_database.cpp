#include "runtime/external_database.h"

#include <cmath>

#include "runtime/connection_text.h"
#include "runtime/database_backend.h"

namespace vex {
namespace {

namespace backend = database_backend;

const std::string* nonEmptyText(const Value& value) {
    const auto* text = value.get_if<std::string>();
    return text && !text->empty() ? text : nullptr;
}

bool flagOf(const Value& value) {
    if (const auto* b = value.get_if<bool>()) return *b;
    return false;
}

// A field named by number: integers as they are, other numbers truncated toward zero.
std::optional<std::int32_t> fieldPosition(const Value& field) {
    return std::visit(
        [](const auto& v) -> std::optional<std::int32_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return std::nullopt;
            } else if constexpr (std::is_integral_v<T>) {
                if (v < INT32_MIN || v > INT32_MAX) return 0;
                return static_cast<std::int32_t>(v);
            } else if constexpr (std::is_floating_point_v<T>) {
                if (!std::isfinite(v) || v < INT32_MIN || v > INT32_MAX) return 0;
                return static_cast<std::int32_t>(v);
            } else {
                return std::nullopt;
            }
        },
        field.storage());
}

Value call(std::string_view name, std::initializer_list<Value> arguments, Value whenUnavailable) {
    const backend::Operation operation = backend::findOperation(name);
    if (!operation) return whenUnavailable;
    const std::vector<Value> args(arguments);
    return operation(args);
}

}  // namespace

std::string buildExternalDatabaseConnectionText(const std::string& fileName, const Value& userName,
                                                const Value& password) {
    std::string text = std::string(connection_text::kExternalStart) + connection_text::quotedValue(fileName);
    // '/' never occurs inside a multi-byte UTF-8 character, so a plain search is character-aware.
    const auto lastSeparator = fileName.rfind('/');
    if (lastSeparator != std::string::npos) {
        text += connection_text::kFolderKey;
        text += connection_text::quotedValue(fileName.substr(0, lastSeparator));
    }
    text += connection_text::kDriverAndFormat;
    if (const auto* user = nonEmptyText(userName)) {
        text += connection_text::kUserKey;
        text += *user;
    }
    if (const auto* secret = nonEmptyText(password)) {
        text += connection_text::kPasswordKey;
        text += *secret;
    }
    text += connection_text::kExternalEnd;
    return text;
}

ExternalDatabase::ExternalDatabase(std::uint32_t id) : Unit(UnitKind::ExternalDatabase, id) {}

ExternalDatabase::~ExternalDatabase() { closeDatabase(); }

bool ExternalDatabase::open(const std::string& fileName, const Value& userName, const Value& password,
                            const Value& readOnly, const Value& noConnectionDialog) {
    connectionText_ = buildExternalDatabaseConnectionText(fileName, userName, password);
    backend::Operation opener = backend::findOperation("NewOpenDatabase");
    if (!opener) opener = backend::findOperation("OpenDatabase");
    if (!opener) return false;
    const std::vector<Value> args{connectionText_, flagOf(readOnly), flagOf(noConnectionDialog)};
    const Value handle = opener(args);
    const auto* opened = handle.get_if<std::int32_t>();
    if (!opened || *opened == 0) return false;
    closeDatabase();
    database_ = *opened;
    return true;
}

void ExternalDatabase::closeDatabase() {
    if (database_ == 0) return;
    call("CloseDatabase", {database_}, {});
    database_ = 0;
}

std::int32_t ExternalDatabase::query(const std::string& sql) { return query(sql, {}); }

std::int32_t ExternalDatabase::query(const std::string& sql, const std::vector<std::string>& parameters) {
    if (sql.empty() || database_ == 0) return 0;
    const backend::Operation operation = backend::findOperation("OpenTable");
    if (!operation) return 0;
    std::vector<Value> args{database_, sql};
    for (const auto& parameter : parameters) args.emplace_back(parameter);
    const Value number = operation(args);
    const auto* result = number.get_if<std::int32_t>();
    return result ? *result : 0;
}

void ExternalDatabase::moveFirst(std::int32_t recordSet) {
    if (database_ != 0) call("MoveFirst", {database_, recordSet}, {});
}

void ExternalDatabase::moveNext(std::int32_t recordSet) {
    if (database_ != 0) call("MoveNext", {database_, recordSet}, {});
}

bool ExternalDatabase::isEndOfRecords(std::int32_t recordSet) {
    if (database_ == 0) return true;
    const Value end = call("IsEOF", {database_, recordSet}, true);
    const auto* flag = end.get_if<bool>();
    return !flag || *flag;
}

Value ExternalDatabase::readField(std::int32_t recordSet, const Value& field) {
    Value value;
    if (database_ != 0) {
        if (field.is<std::string>()) {
            value = call("ReadColByName", {database_, recordSet, field}, {});
        } else if (const auto position = fieldPosition(field)) {
            value = call("ReadColByIndex", {database_, recordSet, *position}, {});
        }
    }
    if (value.omitted()) return std::string();
    // The backend's copy is released; the caller owns the one we return.
    Value own = value;
    call("EmptyVar", {value}, {});
    return own;
}

void ExternalDatabase::closeRecordSet(std::int32_t recordSet) {
    if (database_ != 0) call("CloseTable", {database_, recordSet}, {});
}

void ExternalDatabase::closeAllRecordSets() {
    if (database_ != 0) call("CloseTable", {database_}, {});
}

}  // namespace vex
