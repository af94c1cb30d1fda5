#pragma once
// The confirmed library as a domain object: the signature values the user
// confirmed, each with its file type, kept in the store's one table with every
// prefix of the value in its own column. Opening, listing, adding, removing
// and looking up all go through here, for the window and the command line alike.
//
// A refusal comes back as a reason text (SQLite's own description of what
// went wrong); nothing here shows a message.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ident/prefix_index.h"
#include "runtime/sqlite.h"

namespace vex {

class ExternalDatabase;

// One record as the library list shows it; a field that holds nothing reads "".
struct StoredSignature {
    std::string type;
    std::string signature;  // the longest prefix column: the value as confirmed, cut to 20 bytes
};

// One record with its key ("编号"), as a warning names it.
struct KeyedSignature {
    std::int64_t key = 0;
    std::string type;
    std::string signature;
};

class SignatureStore {
public:
    // Opens the store file at `path`, which must exist (see ensureStoreExists).
    // Nothing when it cannot be opened; `error` then says why.
    static std::optional<SignatureStore> open(const std::string& path, std::string* error = nullptr);

    // Why the store's table cannot serve as the library, or "" (see checkStoreTable).
    std::string checkTable();

    // Every record in record order (the first `limit` of them, when given). False (with `error`)
    // when the table cannot be read.
    bool list(std::vector<StoredSignature>& records, std::string* error = nullptr,
              std::optional<std::size_t> limit = std::nullopt);
    // How many records the library holds; nothing (with `error`) when the table cannot be read.
    std::optional<std::int64_t> count(std::string* error = nullptr);

    // Whether a record's longest prefix column holds `signature` byte for byte (case matters).
    bool contains(std::string_view signature, std::string* error = nullptr);

    // Every record with its key, in record order.
    bool listKeyed(std::vector<KeyedSignature>& records, std::string* error = nullptr);
    // The records whose value could answer the same files as `signature`:
    // those sharing its first 8 digits (all of it, when it is shorter) and
    // those whose whole value is a shorter beginning of it. Asked through the
    // prefix columns, so the library is never read whole for one value.
    bool recordsNear(std::string_view signature, std::vector<KeyedSignature>& records,
                     std::string* error = nullptr);

    enum class AddResult { Added, Duplicate, Refused };
    // Stores `signature` with `type`: the type, and the first N bytes of the
    // signature in the column of length N (the whole of it when shorter). An
    // empty text is stored as nothing. A value already held is refused as a
    // duplicate. The check and the insert are one transaction.
    AddResult add(std::string_view signature, std::string_view type, std::string* reason = nullptr);

    // Adds, in one transaction, each record whose value the library does not
    // hold yet, in the given order; either all of them are stored or, when the
    // store refuses, none is. `heldTypes[i]`, for a record left out, is the
    // type the library holds for that value (the first record's, when several
    // do); for a stored one it is nothing. The values already held are read in
    // the same transaction, so another program's confirm cannot slip between.
    bool addAll(const std::vector<StoredSignature>& records,
                std::vector<std::optional<std::string>>& heldTypes, std::string* reason = nullptr);

    // Removes every record whose longest prefix column holds one of
    // `signatures` (an empty one: the records that hold nothing there), all in
    // one transaction: either all go or, when the store refuses, none does.
    bool remove(const std::vector<std::string>& signatures, std::string* reason = nullptr);
    // Removes every record, in one transaction.
    bool clear(std::string* reason = nullptr);

private:
    explicit SignatureStore(sqlite::Database database) : database_(std::move(database)) {}
    bool inTransaction(const std::function<bool(std::string*)>& work, std::string* reason);
    // The statement that inserts one record; bind it with bindRecord.
    std::optional<sqlite::Statement> prepareInsert(std::string* error);
    // The key column when the table has one, else the rowid; then type and value.
    std::optional<sqlite::Statement> prepareKeyedSelect(const std::string& condition, std::string* error);
    bool readKeyed(sqlite::Statement& select, std::vector<KeyedSignature>& records, std::string* error);
    static bool insertRecord(sqlite::Statement& insert, std::string_view signature, std::string_view type,
                             std::string* error);

    sqlite::Database database_;
};

// Why the store's table cannot be used as the confirmed library (it is missing,
// a view, or lacks a column the program reads), or "" when it can.
std::string checkStoreTable(sqlite::Database& database);

// Whether a lookup session may take the library's index from the file kept
// beside it (see index_file.h), and keep it there after reading the library.
// A window reads it only: writing it would hold up the window.
enum class IndexFileUse { ReadAndWrite, ReadOnly, Ignore };

// One drop's view of the library: read once, then any number of look-ups.
// It sees the library as it was when the session began; build a new one for
// every drop.
class LookupSession {
public:
    explicit LookupSession(const std::string& libraryPath,
                           IndexFileUse indexFile = IndexFileUse::ReadAndWrite);

    // The longest-prefix answer of the library for `signature`, "未知类型" when
    // no prefix is stored. Equal to LookupFileType on the library as it was
    // when the session began.
    std::string lookup(std::string_view signature);
    // The same answer with how it was found (see PrefixIndex::explain); the
    // record is named by its key "编号".
    Answer explain(std::string_view signature);
    // Counts a sampled file in the alternatives of the answers its value shares a prefix with.
    void addSample(std::string_view signature, std::string_view fileClass) {
        index_.addSample(signature, fileClass);
    }

    // False when the library could not be opened or read; every look-up then
    // gives "未知类型".
    bool libraryReadable() const { return readable_; }
    // Why the library could not be read, for the user; "" when it could.
    const std::string& failure() const { return failure_; }
    std::size_t recordCount() const { return index_.recordCount(); }
    // Whether the index came from the file beside the library rather than from the library.
    bool indexFromFile() const { return indexFromFile_; }

private:
    void readLibrary(IndexFileUse indexFile);
    void readRecords(sqlite::Database& database);
    void fail(const std::string& reason);
    std::string lookupEmptySignature();

    std::string libraryPath_;
    bool readable_ = false;
    bool indexFromFile_ = false;
    std::string failure_;
    PrefixIndex index_;
    std::optional<std::string> emptySignatureType_;
};

// The library's answer through the external database unit, one query per
// prefix length from 20 down to 4: the first matching query's first record
// with a non-empty type decides. "未知类型" when nothing matches or the library
// cannot be opened. The window's units answer this way; a lookup session
// gives the same answers from one reading of the library.
std::string LookupFileType(ExternalDatabase& unit, const std::string& libraryPath,
                           std::string_view signature);

}  // namespace vex
