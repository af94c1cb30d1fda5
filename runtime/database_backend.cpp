#include "runtime/database_backend.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/connection_text.h"

namespace vex::database_backend {
namespace {

// Oldest and latest day a date value may name: 100-01-01 and 9999-12-31.
constexpr double kEarliestDay = -657434.0;
constexpr double kLatestDay = 2958465.0;

struct Column {
    std::string name;
    sqlite::DeclaredKind kind = sqlite::DeclaredKind::Unspecified;
};

struct RecordSet {
    std::int32_t number = 0;
    std::vector<Column> columns;
    std::vector<std::vector<sqlite::Cell>> rows;
    std::size_t current = 0;

    bool atEnd() const { return current >= rows.size(); }
};

struct BackendDatabase {
    explicit BackendDatabase(sqlite::Database db) : connection(std::move(db)) {}

    sqlite::Database connection;
    std::array<std::optional<RecordSet>, kRecordSetSlots> slots;
    std::int32_t lastNumber = 0;

    RecordSet* find(std::int32_t number) {
        if (number == 0) return nullptr;
        for (auto& slot : slots) {
            if (slot && slot->number == number) return &*slot;
        }
        return nullptr;
    }

    std::int32_t nextNumber() {
        // Numbers are not reused while open; skipping 0 and numbers still in use after a wrap.
        do {
            lastNumber = lastNumber == std::numeric_limits<std::int32_t>::max() ? 1 : lastNumber + 1;
        } while (find(lastNumber));
        return lastNumber;
    }
};

// One registry for all units. Every command runs on the one UI thread, but the
// command-line front end and tests may use units from other threads, so guard it.
struct Registry {
    std::mutex mutex;
    std::map<std::int32_t, std::unique_ptr<BackendDatabase>> databases;
    std::int32_t lastHandle = 0;
};

// Never destroyed: units held by static objects (the window model) may close
// their databases during static destruction, after a plain static would be gone.
Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

std::optional<std::int64_t> integerArgument(std::span<const Value> args, std::size_t index) {
    if (index >= args.size()) return std::nullopt;
    const Value& v = args[index];
    if (const auto* i = v.get_if<std::int32_t>()) return *i;
    if (const auto* i = v.get_if<std::int64_t>()) return *i;
    if (const auto* i = v.get_if<std::int16_t>()) return *i;
    if (const auto* i = v.get_if<std::uint8_t>()) return *i;
    if (const auto* f = v.get_if<double>()) return static_cast<std::int64_t>(*f);
    if (const auto* f = v.get_if<float>()) return static_cast<std::int64_t>(*f);
    return std::nullopt;
}

const std::string* textArgument(std::span<const Value> args, std::size_t index) {
    return index < args.size() ? args[index].get_if<std::string>() : nullptr;
}

// Runs `body` on the database named by the first argument, under the registry lock.
template <class Body>
Value withDatabase(std::span<const Value> args, Value whenMissing, Body body) {
    const auto handle = integerArgument(args, 0);
    if (!handle) return whenMissing;
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    const auto it = reg.databases.find(static_cast<std::int32_t>(*handle));
    if (it == reg.databases.end()) return whenMissing;
    return body(*it->second);
}

template <class Body>
Value withRecordSet(std::span<const Value> args, Value whenMissing, Body body) {
    return withDatabase(args, whenMissing, [&](BackendDatabase& db) -> Value {
        const auto number = integerArgument(args, 1);
        RecordSet* set = number ? db.find(static_cast<std::int32_t>(*number)) : nullptr;
        return set ? body(*set) : whenMissing;
    });
}

// ---- operations ----

Value openDatabase(std::span<const Value> args) {
    const std::string* text = textArgument(args, 0);
    if (!text) return std::int32_t{0};
    const std::string file = databaseFileFromConnectionText(*text);
    // Always read-only, whatever the caller asked: this unit only reads, and an
    // SQLite connection that may write could create or change the file.
    auto connection = sqlite::Database::open(file, sqlite::OpenMode::ReadOnly);
    if (!connection) return std::int32_t{0};

    auto db = std::make_unique<BackendDatabase>(std::move(*connection));
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    do {
        reg.lastHandle = reg.lastHandle == std::numeric_limits<std::int32_t>::max() ? 1 : reg.lastHandle + 1;
    } while (reg.databases.count(reg.lastHandle));
    reg.databases.emplace(reg.lastHandle, std::move(db));
    return reg.lastHandle;
}

Value closeDatabase(std::span<const Value> args) {
    const auto handle = integerArgument(args, 0);
    if (!handle) return {};
    std::unique_ptr<BackendDatabase> closing;
    {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        const auto it = reg.databases.find(static_cast<std::int32_t>(*handle));
        if (it == reg.databases.end()) return {};
        closing = std::move(it->second);
        reg.databases.erase(it);
    }
    // Record sets go first, then the connection (member order does the same; say it anyway).
    for (auto& slot : closing->slots) slot.reset();
    return {};
}

std::optional<RecordSet> runSnapshot(sqlite::Database& connection, const std::string& sql,
                                     std::span<const Value> parameters) {
    auto statement = sqlite::Statement::prepare(connection, sql);
    if (!statement || !statement->isReadOnly()) return std::nullopt;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const auto* text = parameters[i].get_if<std::string>();
        if (!statement->bind(static_cast<int>(i) + 1, text ? sqlite::Cell(*text) : sqlite::Cell())) {
            return std::nullopt;
        }
    }
    RecordSet set;
    for (int c = 0; c < statement->columnCount(); ++c) {
        set.columns.push_back(
            {statement->columnName(c), sqlite::classifyDeclaredType(statement->columnDeclaredType(c))});
    }
    for (;;) {
        const auto step = statement->step();
        if (step == sqlite::StepResult::Done) break;
        if (step == sqlite::StepResult::Error) return std::nullopt;
        std::vector<sqlite::Cell> row;
        row.reserve(set.columns.size());
        for (int c = 0; c < statement->columnCount(); ++c) row.push_back(statement->column(c));
        set.rows.push_back(std::move(row));
    }
    return set;
}

Value openTable(std::span<const Value> args) {
    const std::string* sql = textArgument(args, 1);
    if (!sql || sql->empty()) return std::int32_t{0};
    return withDatabase(args, std::int32_t{0}, [&](BackendDatabase& db) -> Value {
        const auto freeSlot =
            std::find_if(db.slots.begin(), db.slots.end(), [](const auto& s) { return !s; });
        if (freeSlot == db.slots.end()) return std::int32_t{0};
        auto set = runSnapshot(db.connection, *sql, args.subspan(std::min<std::size_t>(2, args.size())));
        if (!set) return std::int32_t{0};
        set->number = db.nextNumber();
        *freeSlot = std::move(*set);
        return (*freeSlot)->number;
    });
}

Value closeTable(std::span<const Value> args) {
    return withDatabase(args, {}, [&](BackendDatabase& db) -> Value {
        if (args.size() < 2 || args[1].omitted()) {
            for (auto& slot : db.slots) slot.reset();
            return {};
        }
        const auto number = integerArgument(args, 1);
        for (auto& slot : db.slots) {
            if (number && slot && slot->number == *number) slot.reset();
        }
        return {};
    });
}

Value isEof(std::span<const Value> args) {
    return withRecordSet(args, true, [](RecordSet& set) -> Value { return set.atEnd(); });
}

Value moveFirst(std::span<const Value> args) {
    return withRecordSet(args, {}, [](RecordSet& set) -> Value {
        set.current = 0;
        return {};
    });
}

Value moveNext(std::span<const Value> args) {
    return withRecordSet(args, {}, [](RecordSet& set) -> Value {
        if (!set.atEnd()) ++set.current;
        return {};
    });
}

Value readColumn(RecordSet& set, std::size_t column) {
    if (set.atEnd() || column >= set.columns.size()) return {};
    return deliverField(set.columns[column].kind, set.rows[set.current][column]);
}

Value readColByName(std::span<const Value> args) {
    const std::string* name = textArgument(args, 2);
    if (!name) return {};
    return withRecordSet(args, {}, [&](RecordSet& set) -> Value {
        // Exact and case-sensitive: byte-for-byte equality of whole UTF-8 names.
        const auto it = std::find_if(set.columns.begin(), set.columns.end(),
                                     [&](const Column& c) { return c.name == *name; });
        if (it == set.columns.end()) return {};
        return readColumn(set, static_cast<std::size_t>(it - set.columns.begin()));
    });
}

Value readColByIndex(std::span<const Value> args) {
    const auto position = integerArgument(args, 2);
    if (!position || *position < 1) return {};
    return withRecordSet(args, {}, [&](RecordSet& set) -> Value {
        return readColumn(set, static_cast<std::size_t>(*position - 1));
    });
}

Value emptyVar(std::span<const Value>) {
    // Values are owned by whoever holds them; there is nothing left to release.
    return {};
}

// ---- the table of named operations ----

struct NamedOperation {
    std::string_view name;
    std::uint32_t hash = 0;
    Operation operation = nullptr;
};

constexpr std::array kOperations = {
    NamedOperation{"OpenDatabase", 0, &openDatabase},
    NamedOperation{"NewOpenDatabase", 0, &openDatabase},
    NamedOperation{"CloseDatabase", 0, &closeDatabase},
    NamedOperation{"OpenTable", 0, &openTable},
    NamedOperation{"CloseTable", 0, &closeTable},
    NamedOperation{"IsEOF", 0, &isEof},
    NamedOperation{"MoveFirst", 0, &moveFirst},
    NamedOperation{"MoveNext", 0, &moveNext},
    NamedOperation{"ReadColByIndex", 0, &readColByIndex},
    NamedOperation{"ReadColByName", 0, &readColByName},
    NamedOperation{"EmptyVar", 0, &emptyVar},
};

struct OperationTable {
    std::once_flag initialised;
    bool available = false;
    bool failNextInitialisation = false;
    std::array<NamedOperation, kOperations.size()> entries{};
};

// Never destroyed, for the same reason as the registry.
OperationTable*& operationTable() {
    static auto* table = new OperationTable;
    return table;
}

void initialise(OperationTable& table) {
    if (table.failNextInitialisation) return;
    table.entries = kOperations;
    for (auto& entry : table.entries) entry.hash = hashOperationName(entry.name);
    table.available = true;
}

}  // namespace

std::uint32_t hashOperationName(std::string_view name) {
    std::uint32_t h = 0;
    for (char c : name) {
        const auto signedByte = static_cast<std::int32_t>(static_cast<signed char>(c));
        h = h * 131u + static_cast<std::uint32_t>(signedByte);
    }
    return h & 0x7FFFFFFFu;
}

Operation findOperation(std::string_view name) {
    OperationTable& table = *operationTable();
    std::call_once(table.initialised, [&] { initialise(table); });
    if (!table.available) return nullptr;
    const std::uint32_t hash = hashOperationName(name);
    for (const auto& entry : table.entries) {
        if (entry.hash == hash && entry.name == name) return entry.operation;
    }
    return nullptr;
}

std::string databaseFileFromConnectionText(std::string_view text) {
    const auto start = text.find(connection_text::kFileKey);
    if (start == std::string_view::npos) return {};
    std::string_view rest = text.substr(start + connection_text::kFileKey.size());
    // A value in braces is quoted when a key (or the end) follows its closing brace;
    // a path may itself begin with "{" and is then read like any other.
    std::size_t length = 0;
    if (const std::optional<std::string> quoted = connection_text::unquotedValue(rest, length)) {
        const std::string_view after = rest.substr(length);
        bool keyFollows = after.empty() || after == ";";
        for (std::string_view next : connection_text::kKeysAfterFile)
            keyFollows = keyFollows || after.starts_with(next);
        if (keyFollows) return *quoted;
    }
    std::size_t end = rest.size();
    for (std::string_view next : connection_text::kKeysAfterFile) end = std::min(end, rest.find(next));
    if (end == rest.size() && !rest.empty() && rest.back() == ';') --end;
    return std::string(rest.substr(0, end));
}

namespace {

template <class Small>
Value integerOfKind(std::int64_t value) {
    // A value beyond the column's declared range is delivered whole, as a long integer.
    if (value < std::numeric_limits<Small>::min() || value > std::numeric_limits<Small>::max()) return value;
    return static_cast<Small>(value);
}

Value byStorageClass(const sqlite::Cell& cell) {
    if (const auto* i = std::get_if<std::int64_t>(&cell)) return integerOfKind<std::int32_t>(*i);
    if (const auto* d = std::get_if<double>(&cell)) return *d;
    if (const auto* t = std::get_if<std::string>(&cell)) return *t;
    if (const auto* b = std::get_if<ByteSet>(&cell)) return *b;
    return std::string();
}

Value zeroValue(sqlite::DeclaredKind kind) {
    using K = sqlite::DeclaredKind;
    switch (kind) {
        case K::Integer:
            return std::int32_t{0};
        case K::SmallInt:
            return std::int16_t{0};
        case K::Double:
            return 0.0;
        case K::Single:
            return 0.0f;
        case K::Bool:
            return false;
        case K::TinyInt:
            return std::uint8_t{0};
        case K::Binary:
            return ByteSet();
        default:
            return std::string();
    }
}

}  // namespace

Value deliverField(sqlite::DeclaredKind kind, const sqlite::Cell& cell) {
    using K = sqlite::DeclaredKind;
    if (sqlite::isNull(cell)) return zeroValue(kind);
    const auto* integer = std::get_if<std::int64_t>(&cell);
    const auto* real = std::get_if<double>(&cell);
    const bool numeric = integer || real;
    const double number = integer ? static_cast<double>(*integer) : real ? *real : 0.0;

    switch (kind) {
        case K::Bool:
            if (numeric) return number != 0.0;
            break;
        case K::TinyInt:
            if (integer && *integer >= 0) return integerOfKind<std::uint8_t>(*integer);
            break;
        case K::SmallInt:
            if (integer) return integerOfKind<std::int16_t>(*integer);
            break;
        case K::Integer:
            if (integer) return integerOfKind<std::int32_t>(*integer);
            break;
        case K::BigInt:
            if (integer) return *integer;
            break;
        case K::Single:
            if (numeric) return static_cast<float>(number);
            break;
        case K::Double:
        case K::Decimal:
        case K::Currency:
            if (numeric) return number;
            break;
        case K::DateTime:
            if (const auto days = sqlite::storedDateToDays(cell)) {
                return DateTime{std::clamp(*days, kEarliestDay, kLatestDay)};
            }
            break;
        case K::Text:
            if (const auto* text = std::get_if<std::string>(&cell)) return *text;
            break;
        case K::Binary:
            if (const auto* text = std::get_if<std::string>(&cell))
                return ByteSet(text->begin(), text->end());
            break;
        case K::Unspecified:
        case K::Other:
            break;
    }
    // A value that does not fit its column's declared kind is delivered as it is stored.
    return byStorageClass(cell);
}

void resetOperationTableForTesting(bool initialisationFails) {
    auto* fresh = new OperationTable;
    fresh->failNextInitialisation = initialisationFails;
    delete std::exchange(operationTable(), fresh);
}

}  // namespace vex::database_backend
