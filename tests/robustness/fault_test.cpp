// Faults from outside: a full disk, a read-only data directory, a database locked by
// another process, a file that changes while it is read, a program directory that
// cannot be written. Each must end in a clear message or the specified result, and the
// stores must stay exactly as they were.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ident/signature.h"
#include "tests/robustness/cli_runner.h"
#include "tests/robustness/store_checks.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = readAll(entry.path().string());
    return files;
}

std::vector<std::string> changedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const auto& [name, content] : after)
        if (!before.count(name) || before.at(name) != content) changed.push_back(name);
    for (const auto& [name, content] : before)
        if (!after.count(name)) changed.push_back(name + " (gone)");
    return changed;
}

// Opens the folder tree to "nobody", so a child without root rights can read it.
void openToEveryone(const std::string& path) {
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    for (const auto& entry : fs::recursive_directory_iterator(path))
        fs::permissions(
            entry.path(),
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read |
                (entry.is_directory() ? fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec
                                      : fs::perms::owner_write),
            fs::perm_options::replace);
}

// A data folder holding all three stores, with entries in each.
class StoresFixture : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = dir_.file("data");
        fs::create_directories(data_);
        sample_ = dir_.write("sample.png", std::string("\x89PNG\r\n\x1a\n\0\x0d", 10) + "body");
        other_ = dir_.write("other.bin", "0123456789 other");
    }

    void fillStores() {
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"sample", sample_}, {"identify", sample_}, {"confirm", "89504E470D0A1A0A000D", "png"}}) {
            const ChildResult result = runCli(data_, args);
            ASSERT_EQ(result.exitCode, 0) << describe(result);
        }
    }

    // Changes that write new data into each store: none may succeed on a store that cannot grow.
    std::vector<std::vector<std::string>> growingChanges() const {
        return {{"sample", other_}, {"identify", other_}, {"confirm", "30313233", "txt"}};
    }
    // Every kind of change, deletions and clears last so the entries they name are still there.
    std::vector<std::vector<std::string>> allChanges() const {
        auto changes = growingChanges();
        changes.insert(changes.end(), {{"results", "delete", sample_},
                                       {"experiments", "delete", sample_},
                                       {"library", "delete", "89504E470D0A1A0A000D"},
                                       {"experiments", "clear"},
                                       {"results", "clear"},
                                       {"library", "clear"}});
        return changes;
    }

    TempDir dir_;
    std::string data_, sample_, other_;
};

// ---- A read-only data directory.

TEST_F(StoresFixture, readOnlyDataDirectoryRefusesEveryChangeWithAMessage) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "identify", "confirm", "experiments", "results", "library");
    fillStores();
    openToEveryone(dir_.path());
    fs::permissions(data_, fs::perms::owner_write, fs::perm_options::remove);
    for (const char* store : {"set.ini", "setok.ini", "data.mdb"})
        fs::permissions(data_ + "/" + store, fs::perms::owner_write, fs::perm_options::remove);
    const auto before = snapshot(data_);

    for (const auto& args : allChanges()) {
        const ChildResult result =
            runCli(data_, args, {.timeout = std::chrono::seconds(60), .dropRootRights = true});
        EXPECT_EQ(result.signal, 0) << args[0] << "\n" << describe(result);
        EXPECT_EQ(result.exitCode, 2) << args[0] << " " << args[1] << ": a lost write reported as done\n"
                                      << describe(result);
        EXPECT_FALSE(result.err.empty()) << args[0] << " " << args[1];
    }
    EXPECT_EQ(changedFiles(before, snapshot(data_)), std::vector<std::string>{});
    // Reading still works.
    for (const char* list : {"experiments", "results", "library"}) {
        const ChildResult listed = runCli(data_, {list}, {.dropRootRights = true});
        EXPECT_EQ(listed.exitCode, 0) << list << "\n" << describe(listed);
        EXPECT_NE(listed.out.find(list == std::string("library") ? "png" : sample_), std::string::npos)
            << list;
    }
}

// ---- A full disk.

// The first write past `limit` bytes in any one file fails as it would on a full disk.
TEST_F(StoresFixture, fullDiskLeavesEveryStoreAsItWas) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "identify", "confirm", "experiments", "results", "library");
    fillStores();
    // Grow every store past the limit, so a rewrite of an INI file, or a new record on
    // the last page of the table, must write beyond it.
    std::string bulk;
    for (int i = 0; i < 4000; ++i) bulk += "[/bulk/" + std::to_string(i) + "]\r\ntype=00\r\n";
    for (const char* ini : {"set.ini", "setok.ini"})
        writeAll(data_ + "/" + ini, readAll(data_ + "/" + ini) + bulk);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((data_ + "/data.mdb").c_str(), &db), SQLITE_OK);
    std::string fill =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO \"文件特征值库\" (\"文件类型\"";
    for (int n = 4; n <= 20; ++n) fill += ", \"特征值" + std::to_string(n) + "\"";
    fill += ") SELECT 'bulk'";
    for (int n = 4; n <= 20; ++n) fill += ", substr(printf('BB%018d', i), 1, " + std::to_string(n) + ")";
    fill += " FROM n";
    ASSERT_EQ(sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    const auto before = snapshot(data_);
    ASSERT_GT(before.at("data.mdb").size(), 256u * 1024);

    for (const auto& args : growingChanges()) {
        const ChildResult result =
            runCli(data_, args, {.timeout = std::chrono::seconds(60), .fileSizeLimit = 64 * 1024});
        EXPECT_EQ(result.signal, 0) << describe(result);
        EXPECT_EQ(result.exitCode, 2) << args[0] << " " << args[1] << ": a lost write reported as done\n"
                                      << describe(result);
        EXPECT_FALSE(result.err.empty()) << args[0] << " " << args[1];
    }
    auto after = snapshot(data_);
    EXPECT_EQ(after.at("set.ini"), before.at("set.ini"));
    EXPECT_EQ(after.at("setok.ini"), before.at("setok.ini"));
    // SQLite may leave its rollback journal when even the rollback cannot be written;
    // the next program that opens the store for writing (here: the list) restores it.
    const ChildResult listed = runCli(data_, {"library"});
    EXPECT_EQ(listed.exitCode, 0) << describe(listed);
    EXPECT_EQ(databaseIntegrity(data_ + "/data.mdb"), "ok");
    const auto records = confirmedRecords(data_ + "/data.mdb");
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(records->size(), 3001u) << "the refused confirm was stored or a record was lost";
    after = snapshot(data_);
    for (const auto& [name, content] : after)
        // The lock file stays: it is the data directory's, empty, and locked only while a run holds it;
        // so does the library's index, written whole or not at all.
        EXPECT_TRUE(name == "set.ini" || name == "setok.ini" || name == "data.mdb" ||
                    name == "vexorin.lock" || name == "data.mdb.index")
            << "left behind: " << name;
}

// A real full file system, when this test may mount one.
TEST_F(StoresFixture, fullFileSystemLeavesEveryStoreAsItWas) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "identify", "confirm", "experiments", "results", "library");
    const std::string mountPoint = dir_.file("tmpfs");
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    data_ = mountPoint + "/data";
    fs::create_directories(data_);
    fillStores();
    // Fill what is left of the file system.
    {
        std::ofstream filler(mountPoint + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        }
    }
    const auto before = snapshot(data_);
    for (const auto& args : allChanges()) {
        const ChildResult result = runCli(data_, args, {.timeout = std::chrono::seconds(60)});
        EXPECT_EQ(result.signal, 0) << describe(result);
        if (result.exitCode == 0) continue;  // a delete may fit where nothing new does
        EXPECT_EQ(result.exitCode, 2) << describe(result);
        EXPECT_FALSE(result.err.empty());
    }
    const auto after = snapshot(data_);
    for (const char* ini : {"set.ini", "setok.ini"}) {
        // Each INI file is either as it was or whole and readable: never torn.
        EXPECT_TRUE(after.count(ini)) << ini << " is gone";
    }
    EXPECT_EQ(databaseIntegrity(data_ + "/data.mdb"), "ok");
    for (const auto& [name, content] : after)
        // The lock file stays: it is the data directory's, empty, and locked only while a run holds it;
        // so does the library's index, written whole or not at all.
        EXPECT_TRUE(name == "set.ini" || name == "setok.ini" || name == "data.mdb" ||
                    name == "vexorin.lock" || name == "data.mdb.index")
            << "left behind: " << name;
}

// ---- A database locked by another process.

TEST_F(StoresFixture, lockedDatabaseRefusesChangesAndStaysWhole) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "library", "identify");
    fillStores();
    const auto recordsBefore = confirmedRecords(data_ + "/data.mdb");
    ASSERT_TRUE(recordsBefore.has_value());

    sqlite3* holder = nullptr;  // this test process is the other process
    ASSERT_EQ(sqlite3_open((data_ + "/data.mdb").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"confirm", "30313233", "txt"},
                                               {"library", "delete", "89504E470D0A1A0A000D"},
                                               {"library", "clear"}}) {
        const ChildResult result = runCli(data_, args, {.timeout = std::chrono::seconds(120)});
        EXPECT_EQ(result.signal, 0) << describe(result);
        EXPECT_FALSE(result.timedOut) << "waits forever for the lock";
        EXPECT_EQ(result.exitCode, 2) << args[0] << " " << args[1] << ": a refused change reported as done\n"
                                      << describe(result);
        EXPECT_FALSE(result.err.empty());
    }
    // Identification only reads: it gives a result (at worst the unknown type) and no crash.
    const ChildResult identified =
        runCli(data_, {"identify", sample_}, {.timeout = std::chrono::seconds(120)});
    EXPECT_EQ(identified.signal, 0) << describe(identified);
    EXPECT_FALSE(identified.timedOut);
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    EXPECT_EQ(databaseIntegrity(data_ + "/data.mdb"), "ok");
    const auto recordsAfter = confirmedRecords(data_ + "/data.mdb");
    ASSERT_TRUE(recordsAfter.has_value());
    EXPECT_EQ(recordsAfter->size(), recordsBefore->size());
    EXPECT_EQ(runCli(data_, {"confirm", "30313233", "txt"}).exitCode, 0) << "the store stays usable";
}

// ---- A writer killed in the middle of a transaction.

// Leaves a hot journal beside `databasePath`: a child process starts a transaction
// large enough to spill into the file and dies without committing or rolling back.
void dieInTheMiddleOfAWrite(const std::string& databasePath) {
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(databasePath.c_str(), &db);
        sqlite3_exec(
            db,
            "PRAGMA cache_size = 1; BEGIN; CREATE TABLE spill(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
            "SELECT i + 1 FROM n WHERE i < 2000) INSERT INTO spill SELECT randomblob(200) FROM n; "
            "UPDATE \"文件特征值库\" SET \"文件类型\" = 'torn';",
            nullptr, nullptr, nullptr);
        ::_exit(0);  // no commit, no rollback: as if killed
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST_F(StoresFixture, lookupsStillAnswerAfterAWriterDiedMidTransaction) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "identify");
    fillStores();
    const std::string library = data_ + "/data.mdb";
    dieInTheMiddleOfAWrite(library);
    ASSERT_TRUE(fs::exists(library + "-journal")) << "no journal left behind; the test proves nothing";

    // Identification only reads, yet must see the store as the last commit left it.
    const ChildResult identified = runCli(data_, {"identify", sample_});
    EXPECT_EQ(identified.exitCode, 0) << describe(identified);
    EXPECT_EQ(identified.out.substr(0, 4), "png\t") << describe(identified);
    EXPECT_EQ(databaseIntegrity(library), "ok");
    const auto records = confirmedRecords(library);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ(records->front().type, "png");
}

// ---- A file that changes between the length check and the read.

// Another process truncates, grows, removes and recreates the file as fast as it can;
// every read gives either the whole signature value or the too-short text.
TEST(FileChangingWhileRead, givesTheValueOrTheTooShortTextNeverGarbage) {
    TempDir dir;
    const std::string path = dir.file("moving.bin");
    const std::string content = "ABCDEFGHIJ-and-more";
    writeAll(path, content);
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        for (int round = 0; !stop; ++round) {
            switch (round % 4) {
                case 0:
                    ::truncate(path.c_str(), 0);
                    break;
                case 1:
                    ::truncate(path.c_str(), 5);
                    break;
                case 2:
                    ::unlink(path.c_str());
                    break;
                default:
                    writeAll(path, content);
                    break;
            }
        }
    });
    std::set<std::string> seen;
    for (int i = 0; i < 20000; ++i) seen.insert(ReadSignatureValue(path));
    stop = true;
    changer.join();
    for (const std::string& value : seen)
        EXPECT_TRUE(value == "4142434445464748494A" || value == kTooShortText ||
                    value == "41424344450000000000")
            << value;
    // A file shrunk to 5 bytes after the length check must not pass off zeros as its header.
    EXPECT_EQ(seen.count("41424344450000000000"), 0u);
}

// ---- Where the stores live when the program's folder cannot be written.

TEST(DataDirectoryFallback, storesGoToTheUsersDataFolderWhenTheProgramFolderIsReadOnly) {
    VEX_REQUIRE_CLI_COMMANDS("library");
    if (!runningAsRoot() && ::access("/usr/bin", W_OK) == 0)
        GTEST_SKIP() << "cannot make a folder read-only here";
    TempDir dir;
    const std::string programDir = dir.file("program"), home = dir.file("home"), xdg = dir.file("xdg");
    for (const std::string& folder : {programDir, home, xdg}) fs::create_directories(folder);
    fs::copy_file(cliPath(), programDir + "/vexorin-cli");
    openToEveryone(dir.path());
    fs::permissions(programDir + "/vexorin-cli",
                    fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
    if (runningAsRoot()) {
        ::chown(home.c_str(), kNobody, kNobody);
        ::chown(xdg.c_str(), kNobody, kNobody);
    }
    fs::permissions(programDir, fs::perms::owner_write, fs::perm_options::remove);

    const ChildResult result = runChild({programDir + "/vexorin-cli", "library"},
                                        {.environment = {"HOME=" + home, "XDG_DATA_HOME=" + xdg},
                                         .timeout = std::chrono::seconds(60),
                                         .dropRootRights = true});
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_TRUE(fs::exists(xdg + "/vexorin/data.mdb")) << describe(result);
    EXPECT_FALSE(fs::exists(programDir + "/data.mdb"));

    // Without XDG_DATA_HOME the default is ~/.local/share/vexorin.
    const ChildResult withoutXdg =
        runChild({programDir + "/vexorin-cli", "library"}, {.environment = {"HOME=" + home, "XDG_DATA_HOME="},
                                                            .timeout = std::chrono::seconds(60),
                                                            .dropRootRights = true});
    EXPECT_EQ(withoutXdg.exitCode, 0) << describe(withoutXdg);
    EXPECT_TRUE(fs::exists(home + "/.local/share/vexorin/data.mdb")) << describe(withoutXdg);
}

TEST(DataDirectoryFallback, storesStayBesideAWritableProgram) {
    VEX_REQUIRE_CLI_COMMANDS("library");
    TempDir dir;
    const std::string programDir = dir.file("program"), xdg = dir.file("xdg");
    fs::create_directories(programDir);
    fs::copy_file(cliPath(), programDir + "/vexorin-cli");
    const ChildResult result =
        runChild({programDir + "/vexorin-cli", "library"},
                 {.environment = {"XDG_DATA_HOME=" + xdg}, .timeout = std::chrono::seconds(60)});
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_TRUE(fs::exists(programDir + "/data.mdb")) << describe(result);
    EXPECT_FALSE(fs::exists(xdg + "/vexorin"));
}

}  // namespace
}  // namespace vex::test
