// The per-drop index must answer exactly as the 17 queries do, on the real
// store, for libraries full of the awkward records a hand-edited store can
// hold: shared prefixes, empty types, fields that hold nothing, short values,
// lower case, the too-short text.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "library/signature_store.h"
#include "library/store_schema.h"
#include "runtime/external_database.h"
#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

constexpr std::string_view kTooShort = "无法读取，文件太短";

// Builds random signature values from a small alphabet so that records and
// probes share prefixes of every length often.
class RandomLibrary {
public:
    explicit RandomLibrary(unsigned seed) : random_(seed) {}

    std::string value() {
        switch (pick(12)) {
            case 0:
                return std::string(kTooShort);
            case 1:
                return digits(1 + pick(19));  // shorter than a full value
            case 2:
                return lowerCase(digits(20));  // a hand-edited entry
            case 3:
                return digits(20) + digits(pick(5));  // longer than a full value
            default:
                return digits(20);
        }
    }

    // A probe: a stored value changed from some position on, or a fresh one.
    std::string probe(const std::vector<std::string>& stored) {
        if (pick(50) == 0) return std::string();
        if (stored.empty() || pick(4) == 0) return value();
        std::string base = stored[pick(static_cast<int>(stored.size()))];
        const int keep = pick(static_cast<int>(base.size()) + 1);
        return base.substr(0, static_cast<std::size_t>(keep)) + digits(20 - std::min(keep, 20));
    }

    std::optional<std::string> type() {
        switch (pick(8)) {
            case 0:
                return std::nullopt;
            case 1:
                return std::string();
            default:
                return "t" + std::to_string(pick(50));
        }
    }

    int pick(int bound) { return static_cast<int>(random_() % static_cast<unsigned>(bound)); }

private:
    std::string digits(int count) {
        static constexpr char kAlphabet[] = "0A4D";
        std::string text;
        for (int i = 0; i < count; ++i) text += kAlphabet[pick(4)];
        return text;
    }
    static std::string lowerCase(std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    std::mt19937 random_;
};

class LookupEquivalence : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override {
        path_ = dir_.file("data.mdb");
        auto db = sqlite::Database::open(path_, sqlite::OpenMode::ReadWriteCreate);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->execute(store_schema::createStoreScript()));
        db_.emplace(std::move(*db));
    }

    // Stores a record whose prefix columns follow `value`, except that now and
    // then one of them holds nothing or another record's text.
    void store(RandomLibrary& random, const std::string& value) {
        std::string sql = "insert into \"文件特征值库\" (\"文件类型\"";
        for (int n = 20; n >= 4; --n) sql += ", \"特征值" + std::to_string(n) + "\"";
        sql += ") values (?";
        for (int n = 20; n >= 4; --n) sql += ", ?";
        sql += ")";
        auto insert = sqlite::Statement::prepare(*db_, sql);
        ASSERT_TRUE(insert);
        const std::optional<std::string> type = random.type();
        type ? insert->bindText(1, *type) : insert->bindNull(1);
        for (int n = 20, index = 2; n >= 4; --n, ++index) {
            const std::string prefix(signaturePrefix(value, n));
            const int odd = random.pick(30);
            if (odd == 0)
                insert->bindNull(index);
            else if (odd == 1)
                insert->bindText(index, "");
            else
                insert->bindText(index, prefix);
        }
        ASSERT_EQ(insert->step(), sqlite::StepResult::Done);
    }

    test::TempDir dir_;
    std::string path_;
    std::optional<sqlite::Database> db_;
};

TEST_P(LookupEquivalence, sessionAnswersAsTheSeventeenQueries) {
    RandomLibrary random(GetParam());
    std::vector<std::string> stored;
    const int records = 20 + random.pick(200);
    ASSERT_TRUE(db_->execute("begin"));
    for (int i = 0; i < records; ++i) {
        // Every fourth record repeats an earlier value, so the first record
        // among equals has to win.
        stored.push_back(!stored.empty() && random.pick(4) == 0
                             ? stored[random.pick(static_cast<int>(stored.size()))]
                             : random.value());
        store(random, stored.back());
    }
    ASSERT_TRUE(db_->execute("commit"));

    ExternalDatabase plainUnit(2);
    LookupSession session(path_);
    ASSERT_TRUE(session.libraryReadable());
    ASSERT_EQ(session.recordCount(), static_cast<std::size_t>(records));
    for (int i = 0; i < 200; ++i) {
        const std::string signature = random.probe(stored);
        const std::string expected = LookupFileType(plainUnit, path_, signature);
        ASSERT_EQ(session.lookup(signature), expected) << signature;
        ASSERT_EQ(session.explain(signature).type, expected) << signature;
    }

    // The index the session kept beside the library answers as reading the library does, details and all.
    LookupSession kept(path_);
    LookupSession read(path_, IndexFileUse::Ignore);
    ASSERT_TRUE(kept.indexFromFile());
    for (int i = random.pick(30); i > 0; --i) {
        const std::string signature = random.probe(stored);
        const std::string fileClass = "c" + std::to_string(random.pick(4));
        kept.addSample(signature, fileClass);
        read.addSample(signature, fileClass);
    }
    for (int i = 0; i < 200; ++i) {
        const std::string signature = random.probe(stored);
        ASSERT_EQ(kept.explain(signature), read.explain(signature)) << signature;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, LookupEquivalence, ::testing::Range(1u, 13u));

// One record with its type and a single prefix field, the value written as an SQL literal.
struct OneFieldRecord {
    std::string type;
    std::string column;
    std::string sqlValue;
};

void makeStore(const std::string& path, std::initializer_list<OneFieldRecord> records) {
    auto db = sqlite::Database::open(path, sqlite::OpenMode::ReadWriteCreate);
    ASSERT_TRUE(db && db->execute(store_schema::createStoreScript()));
    for (const OneFieldRecord& record : records) {
        const std::string sql = "insert into \"文件特征值库\" (\"文件类型\", \"" + record.column +
                                "\") values ('" + record.type + "', " + record.sqlValue + ")";
        ASSERT_TRUE(db->execute(sql)) << sql;
    }
}

// A hand-made store may hold bytes or numbers where prefixes belong: no query matches bytes with a text.
TEST(LookupOddFields, bytesAndNumbersInPrefixFieldsAnswerAsTheQueries) {
    test::TempDir dir;
    const std::string path = dir.file("data.mdb");
    ASSERT_NO_FATAL_FAILURE(makeStore(path, {{"bytes", "特征值4", "x'34443541'"},
                                             {"number", "特征值4", "1234"},
                                             {"text", "特征值5", "'4D5A9'"}}));
    ExternalDatabase plainUnit(2);
    LookupSession session(path);
    for (const char* signature : {"4D5A9000030000000400", "4D5A0000030000000400", "12340000000000000000"})
        EXPECT_EQ(session.lookup(signature), LookupFileType(plainUnit, path, signature)) << signature;
    EXPECT_EQ(session.lookup("4D5A0000030000000400"), kUnknownFileType);
}

// The record an answer names is its "编号"; a hand-made table without a
// whole-number one is named by its row id, and one without either by nothing.
TEST(LookupRecordKeys, areTheKeyColumnOrElseTheRowId) {
    std::string prefixColumns;
    for (int n = 20; n >= 4; --n) prefixColumns += ", \"特征值" + std::to_string(n) + "\" text";
    struct Case {
        const char* table;
        std::optional<std::int64_t> first, second;
    };
    const Case cases[] = {
        {"create table \"文件特征值库\" (\"编号\" integer primary key autoincrement, \"文件类型\" text", 107,
         108},
        {"create table \"文件特征值库\" (\"文件类型\" text", 1, 2},
        {"create table \"文件特征值库\" (\"编号\" text primary key, \"文件类型\" text", 1, 2},
        {"create table \"文件特征值库\" (\"编号\" text primary key, \"文件类型\" text", std::nullopt,
         std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        test::TempDir dir;
        const std::string path = dir.file("data.mdb");
        {
            auto db = sqlite::Database::open(path, sqlite::OpenMode::ReadWriteCreate);
            const std::string without = i == 3 ? ") without rowid" : ")";
            ASSERT_TRUE(db && db->execute(cases[i].table + prefixColumns + without)) << cases[i].table;
            if (i == 0) {
                ASSERT_TRUE(db->execute("insert into sqlite_sequence values ('文件特征值库', 106)"));
            }
            int made = 0;
            for (const char* type : {"zip", "jar"}) {
                // A key that is text, in record order (a table without row ids is read in key order).
                const std::string key = i >= 2 ? std::string("\"编号\", ") : "";
                const std::string keyValue = i >= 2 ? "'k" + std::to_string(made++) + "', " : "";
                ASSERT_TRUE(db->execute("insert into \"文件特征值库\" (" + key +
                                        "\"文件类型\", \"特征值4\") values (" + keyValue + "'" + type +
                                        "', '504B')"));
            }
        }
        LookupSession session(path);
        ASSERT_TRUE(session.libraryReadable()) << session.failure();
        const Answer answer = session.explain("504B0304140000000800");
        EXPECT_EQ(answer.type, "zip") << cases[i].table;
        EXPECT_EQ(answer.details.digits, 4);
        EXPECT_EQ(answer.details.record, cases[i].first) << cases[i].table;
        EXPECT_EQ(answer.details.records(), (std::vector<RecordAlternative>{{"jar", cases[i].second}}));
    }
}

TEST(LookupUnreachableLibrary, everyValueIsUnknownWithoutAMessage) {
    test::TempDir dir;
    const std::string missing = dir.file("data.mdb");
    const std::string notSqlite = dir.write("other.mdb", "Standard Jet DB, or so it says");
    const std::string empty = dir.write("empty.mdb", "");
    for (const std::string& path : {missing, notSqlite, empty}) {
        ExternalDatabase unit(1);
        EXPECT_EQ(LookupFileType(unit, path, "4D5A9000030000000400"), kUnknownFileType) << path;
        LookupSession session(path);
        EXPECT_FALSE(session.libraryReadable()) << path;
        EXPECT_EQ(session.lookup("4D5A9000030000000400"), kUnknownFileType) << path;
    }
}

TEST(LookupUnreachableLibrary, aFailedOpenDoesNotAnswerFromTheLibraryOpenedBefore) {
    test::TempDir dir;
    const std::string path = dir.file("data.mdb");
    ASSERT_NO_FATAL_FAILURE(makeStore(path, {{"exe", "特征值4", "'4D5A'"}}));
    ExternalDatabase unit(1);
    EXPECT_EQ(LookupFileType(unit, path, "4D5A9000030000000400"), "exe");
    EXPECT_EQ(LookupFileType(unit, dir.file("gone.mdb"), "4D5A9000030000000400"), kUnknownFileType);
}

}  // namespace
}  // namespace vex
