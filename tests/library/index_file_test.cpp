// The index kept beside the library stands in for the library only while the
// library is exactly as it was when the index was made: after any change, with
// a journal or log beside it, or when the file is damaged, the session reads
// the library and answers as it does now.

#include "library/index_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "library/data_directory.h"
#include "library/signature_store.h"
#include "library/store.h"
#include "runtime/sqlite.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

constexpr std::string_view kExeValue = "4D5A9000030000000400";
constexpr std::string_view kZipValue = "504B0304140000000800";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class IndexFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ensureStoreExists(library_).outcome, StoreCreation::Written);
        add(kExeValue, "exe");
        add(kZipValue, "zip");
        add("504B0304", "jar");
    }

    void add(std::string_view signature, std::string_view type) {
        auto store = SignatureStore::open(library_);
        ASSERT_TRUE(store);
        ASSERT_EQ(store->add(signature, type), SignatureStore::AddResult::Added);
    }

    // A session that keeps its index in the file, beside one that reads the library.
    void expectAnswersOfTheLibrary(bool fromFile) {
        LookupSession kept(library_);
        LookupSession read(library_, IndexFileUse::Ignore);
        ASSERT_TRUE(kept.libraryReadable());
        EXPECT_EQ(kept.indexFromFile(), fromFile);
        for (const std::string_view signature :
             {kExeValue, kZipValue, std::string_view("504B0304FF"), std::string_view("0A0A0A0A0A0A0A0A0A0A")})
            EXPECT_EQ(kept.explain(signature), read.explain(signature)) << signature;
    }

    test::TempDir dir_;
    std::string library_ = dir_.file("data.mdb");
    std::string index_ = libraryIndexPathOf(library_);
};

TEST_F(IndexFileTest, isWrittenByTheFirstSessionAndReadByTheNext) {
    ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(false));
    EXPECT_TRUE(std::filesystem::is_regular_file(index_));
    ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(true));
    // A session told to ignore it neither reads nor writes it.
    std::filesystem::remove(index_);
    LookupSession ignoring(library_, IndexFileUse::Ignore);
    EXPECT_FALSE(std::filesystem::exists(index_));
    // A window's session reads a kept file but never writes one.
    LookupSession window(library_, IndexFileUse::ReadOnly);
    EXPECT_FALSE(window.indexFromFile());
    EXPECT_FALSE(std::filesystem::exists(index_));
    LookupSession drop(library_);
    EXPECT_TRUE(LookupSession(library_, IndexFileUse::ReadOnly).indexFromFile());
}

// Every way the library can change after the index was made, each followed by a
// session that must see the change, and the one after it the new index.
TEST_F(IndexFileTest, anyChangeOfTheLibraryMakesItReadAgain) {
    auto execute = [this](const std::string& sql) {
        return [this, sql] {
            auto db = sqlite::Database::open(library_, sqlite::OpenMode::ReadWrite);
            ASSERT_TRUE(db && db->execute(sql)) << sql;
        };
    };
    struct Change {
        const char* what;
        std::function<void()> make;
    };
    const Change changes[] = {
        {"a confirmed value", [this] { add("7F454C46020101000000", "elf"); }},
        {"a type changed in place, the file's size kept",
         execute("update \"文件特征值库\" set \"文件类型\" = 'EXE' where \"文件类型\" = 'exe'")},
        {"a record removed",
         [this] {
             auto store = SignatureStore::open(library_);
             ASSERT_TRUE(store && store->remove({std::string(kZipValue)}));
         }},
        {"the library replaced by a copy with the old times",
         [this] {
             const std::string copy = dir_.file("copy.mdb");
             std::filesystem::copy_file(library_, copy);
             auto db = sqlite::Database::open(copy, sqlite::OpenMode::ReadWrite);
             ASSERT_TRUE(db && db->execute("update \"文件特征值库\" set \"文件类型\" = 'com'"));
             db.reset();
             struct stat old {};
             ASSERT_EQ(::stat(library_.c_str(), &old), 0);
             const timespec times[2] = {old.st_atim, old.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
             std::filesystem::rename(copy, library_);
         }},
        {"every record removed",
         [this] {
             auto store = SignatureStore::open(library_);
             ASSERT_TRUE(store && store->clear());
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        { LookupSession writes(library_); }
        ASSERT_TRUE(std::filesystem::exists(index_));
        ASSERT_NO_FATAL_FAILURE(change.make());
        ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(false));
        ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(true));
    }
}

// A journal or log beside the library may hold what its file does not show:
// the index is then neither read nor written.
TEST_F(IndexFileTest, isNotUsedBesideAJournalOrLogThatHoldsAnything) {
    { LookupSession writes(library_); }
    for (const char* suffix : {"-journal", "-wal"}) {
        SCOPED_TRACE(suffix);
        const std::string beside = library_ + suffix;
        writeAll(beside, "");
        ASSERT_TRUE(libraryFileState(library_));
        writeAll(beside, std::string(32, '\0'));
        EXPECT_FALSE(libraryFileState(library_));
        {
            LookupSession session(library_);
            EXPECT_FALSE(session.indexFromFile());
        }
        std::filesystem::remove(beside);
    }
    ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(true));
}

// A damaged file, one of another version, or one made for another library is
// passed over and written again; any of them, read as it is, never answers.
TEST_F(IndexFileTest, damagedOrForeignFileIsPassedOverAndWrittenAgain) {
    { LookupSession writes(library_); }
    const std::string whole = readAll(index_);
    std::mt19937 random(7);
    struct Damage {
        const char* what;
        std::function<std::string()> make;
    };
    const Damage damages[] = {
        {"another format version", [&] { return std::string(whole).replace(8, 1, 1, '\x7F'); }},
        {"written in the boot before", [&] { return std::string(whole).replace(64, 1, 1, whole[64] ^ 1); }},
        {"another library", [&] { return std::string(whole).replace(24, 1, 1, '\x5A'); }},
        {"cut short", [&] { return whole.substr(0, random() % whole.size()); }},
        {"a byte changed",
         [&] {
             std::string changed = whole;
             changed[64 + random() % (whole.size() - 64)] ^= 0x10;
             return changed;
         }},
        {"empty", [] { return std::string(); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        writeAll(index_, damage.make());
        ASSERT_NO_FATAL_FAILURE(expectAnswersOfTheLibrary(false));
        EXPECT_EQ(readAll(index_), whole);
    }
}

// The file is only a shortcut: when it cannot be written the session still
// answers; and it is never written through a link or over something else.
TEST_F(IndexFileTest, aFileThatCannotBeWrittenIsSilent) {
    // A folder the session may read but not write in (root ignores the bits, so the check runs as another
    // user).
    const std::string folder = dir_.file("read-only");
    std::filesystem::create_directory(folder);
    const std::string library = folder + "/data.mdb";
    std::filesystem::copy_file(library_, library);
    ::chmod(library.c_str(), 0644);
    ::chmod(folder.c_str(), 0555);
    EXPECT_TRUE(test::runUnprivileged(dir_, [&] {
        LookupSession session(library);
        return session.libraryReadable() && session.lookup(kExeValue) == "exe";
    }));
    EXPECT_FALSE(std::filesystem::exists(libraryIndexPathOf(library)));

    const std::string target = dir_.file("elsewhere");
    writeAll(target, "untouched");
    std::filesystem::create_symlink(target, index_);
    {
        LookupSession session(library_);
        EXPECT_EQ(session.lookup(kExeValue), "exe");
    }
    EXPECT_EQ(readAll(target), "untouched");
    std::filesystem::remove(index_);
    std::filesystem::create_directory(index_);
    LookupSession beside(library_);
    EXPECT_EQ(beside.lookup(kExeValue), "exe");
    EXPECT_TRUE(std::filesystem::is_directory(index_));
}

}  // namespace
}  // namespace vex
