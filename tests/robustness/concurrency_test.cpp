// Several programs on one data directory, and the faults that cost users data
// when they overlapped: every test here starts real vexorin-cli processes side
// by side, or interrupts one, and then checks the stores against the disk.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "library/ini_lists.h"
#include "tests/robustness/cli_runner.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 8;
const std::string kPngHeader("\x89PNG\r\n\x1A\n\0\0", 10);
const std::string kPng = "89504E470D0A1A0A0000";
const std::string kPdfHeader = "%PDF-1.7\n%";

class Overlapping : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_.file("files")); }

    // `count` files named "<prefix>NNNN.dat", each a PNG header.
    std::vector<std::string> files(const std::string& prefix, int count,
                                   const std::string& bytes = kPngHeader) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(dir_.file("files/" + prefix + std::to_string(1000 + i) + ".dat"));
            writeAll(paths.back(), bytes);
        }
        return paths;
    }
    // Runs `argsOf(i)` for i in [0, kRuns) at about the same time, each after a random
    // delay of up to 50 ms, so repeated runs overlap in ever other ways; returns their
    // results in order. VEXORIN_TEST_SEED replays a printed seed.
    std::vector<ChildResult> together(const std::function<std::vector<std::string>(int)>& argsOf,
                                      const std::function<std::string(int)>& inputOf = {}) {
        static std::mt19937 random = [] {
            const char* given = std::getenv("VEXORIN_TEST_SEED");
            const unsigned seed =
                given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
            std::cout << "overlapping runs: VEXORIN_TEST_SEED=" << seed << std::endl;
            return std::mt19937(seed);
        }();
        std::vector<ChildResult> results(kRuns);
        std::vector<std::thread> threads;
        for (int i = 0; i < kRuns; ++i) {
            const auto delay = std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 50)(random));
            threads.emplace_back([&, i, delay] {
                std::this_thread::sleep_for(delay);
                results[i] = runCli(data_, argsOf(i), {.input = inputOf ? inputOf(i) : std::string()});
            });
        }
        for (std::thread& thread : threads) thread.join();
        return results;
    }
    std::set<std::string> listed(const char* command) {
        const ChildResult result = runCli(data_, {command});
        EXPECT_EQ(result.exitCode, 0) << describe(result);
        std::set<std::string> paths;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            // index, class, signature, path[, type]
            std::vector<std::string> cells;
            std::istringstream fields(line);
            for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
            if (cells.size() >= 4) paths.insert(cells[3]);
        }
        return paths;
    }
    static std::string joined(const std::vector<std::string>& paths) {
        std::string text;
        for (const std::string& path : paths) text += path + "\n";
        return text;
    }
    void confirmPng() { ASSERT_EQ(runCli(data_, {"confirm", kPng, "png"}).exitCode, 0); }

    TempDir dir_;
    std::string data_ = dir_.file("data");
};

// Finding 1: five identify (and sample) runs on disjoint files kept a fifth of the entries.
TEST_F(Overlapping, identifyAndSampleRunsKeepEveryOnesEntries) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "sample");
    std::vector<std::vector<std::string>> batches;
    std::set<std::string> all;
    for (int i = 0; i < kRuns; ++i) {
        batches.push_back(files("r" + std::to_string(i) + "_", 60));
        all.insert(batches.back().begin(), batches.back().end());
    }
    for (const char* command : {"identify", "sample"}) {
        const std::vector<ChildResult> results = together([&](int i) {
            std::vector<std::string> args{command};
            args.insert(args.end(), batches[i].begin(), batches[i].end());
            return args;
        });
        for (const ChildResult& result : results) EXPECT_EQ(result.exitCode, 0) << describe(result);
    }
    EXPECT_EQ(listed("results"), all);
    EXPECT_EQ(listed("experiments"), all);
}

// Finding 2: parallel confirms of one value stored it twice, with different types.
TEST_F(Overlapping, parallelConfirmsOfOneValueStoreItOnce) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "library");
    const std::vector<ChildResult> results = together([](int i) {
        return std::vector<std::string>{"confirm", "25504446", "type" + std::to_string(i)};
    });
    int added = 0, duplicates = 0;
    for (const ChildResult& result : results) {
        added += result.exitCode == 0;
        duplicates += result.exitCode == 3;
    }
    EXPECT_EQ(added, 1);
    EXPECT_EQ(duplicates, kRuns - 1);
    const ChildResult library = runCli(data_, {"library"});
    EXPECT_EQ(std::count(library.out.begin(), library.out.end(), '\n'), 1) << library.out;
}

// Deletes and clears that overlap with other writers never bring an entry back.
TEST_F(Overlapping, deletesAndClearsNeverBringEntriesBack) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "results", "sample", "experiments");
    const std::vector<std::string> kept = files("keep", 10);
    std::vector<std::vector<std::string>> doomed;
    for (int i = 0; i < kRuns; ++i) doomed.push_back(files("del" + std::to_string(i) + "_", 10));
    std::vector<std::string> everything = kept;
    for (const auto& batch : doomed) everything.insert(everything.end(), batch.begin(), batch.end());
    ASSERT_EQ(runCli(data_, {"identify", "-"}, {.input = joined(everything)}).exitCode, 0);
    for (const ChildResult& result : together([&](int i) {
             std::vector<std::string> args{"results", "delete"};
             args.insert(args.end(), doomed[i].begin(), doomed[i].end());
             return args;
         }))
        EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_EQ(listed("results"), std::set<std::string>(kept.begin(), kept.end()));

    // A clear during samples: what the clear removed stays removed; each sample's own files are kept.
    const std::vector<std::string> old = files("old", 50);
    std::vector<std::string> sampleOld{"sample"};
    sampleOld.insert(sampleOld.end(), old.begin(), old.end());
    ASSERT_EQ(runCli(data_, sampleOld).exitCode, 0);
    std::vector<std::vector<std::string>> fresh;
    for (int i = 0; i < kRuns; ++i) fresh.push_back(files("new" + std::to_string(i) + "_", 40));
    const std::vector<ChildResult> results = together([&](int i) {
        if (i == kRuns / 2) return std::vector<std::string>{"experiments", "clear"};
        std::vector<std::string> args{"sample"};
        args.insert(args.end(), fresh[i].begin(), fresh[i].end());
        return args;
    });
    for (const ChildResult& result : results) EXPECT_EQ(result.exitCode, 0) << describe(result);
    const std::set<std::string> after = listed("experiments");
    for (const std::string& path : old)
        EXPECT_EQ(after.count(path), 0u) << "cleared entry came back: " << path;
}

// Finding 1 (rename during identify) and the rename half of the overlapping runs:
// afterwards every entry names a file that exists, under the name it now has.
TEST_F(Overlapping, renamesAndIdentificationsLeaveTheListNamingTheDisk) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "rename", "results", "confirm");
    confirmPng();
    std::vector<std::vector<std::string>> batches;
    std::vector<std::string> all;
    for (int i = 0; i < kRuns; ++i) {
        batches.push_back(files("ren" + std::to_string(i) + "_", 50));
        all.insert(all.end(), batches.back().begin(), batches.back().end());
    }
    ASSERT_EQ(runCli(data_, {"identify", "-"}, {.input = joined(all)}).exitCode, 0);
    // Each batch is renamed by one run while another identifies the same files again.
    const std::vector<ChildResult> results = together([&](int i) {
        std::vector<std::string> args{i % 2 ? "rename" : "identify"};
        args.insert(args.end(), batches[i / 2 * 2].begin(), batches[i / 2 * 2].end());
        return args;
    });
    for (const ChildResult& result : results) {
        EXPECT_EQ(result.signal, 0) << describe(result);
        EXPECT_NE(result.exitCode, 4) << describe(result);
    }
    const std::set<std::string> paths = listed("results");
    EXPECT_EQ(paths.size(), all.size()) << "an entry was lost or an old name came back";
    for (const std::string& path : paths) EXPECT_TRUE(fs::exists(path)) << "listed but not on disk: " << path;
}

// Finding 3: a library locked past the wait, or damaged, wrote "unknown" over every earlier answer.
TEST_F(Overlapping, anUnreadableLibraryRefusesIdentificationAndRecordsNothing) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "confirm", "results");
    confirmPng();
    const std::vector<std::string> png = files("p", 3);
    ASSERT_EQ(runCli(data_, {"identify", png[0], png[1], png[2]}).exitCode, 0);
    const std::string before = readAll(data_ + "/setok.ini");
    ASSERT_NE(before.find("type1=png"), std::string::npos);

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((data_ + "/data.mdb").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const ChildResult locked = runCli(data_, {"identify", png[0], png[1], png[2]});
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(locked.exitCode, 2) << describe(locked);
    EXPECT_NE(locked.err.find("Another run is writing"), std::string::npos) << "no word after a second";
    EXPECT_EQ(readAll(data_ + "/setok.ini"), before);

    writeAll(data_ + "/data.mdb", "damaged beyond repair, not a database at all");
    const ChildResult damaged = runCli(data_, {"identify", png[0]});
    EXPECT_EQ(damaged.exitCode, 2) << describe(damaged);
    EXPECT_EQ(damaged.out, "");
    EXPECT_EQ(readAll(data_ + "/setok.ini"), before);
}

// A run that waits for another's lock says so after a second and refuses after the limit.
TEST_F(Overlapping, aRunThatCannotHaveTheLockSaysSoAndChangesNothing) {
    VEX_REQUIRE_CLI_COMMANDS("sample");
    const std::vector<std::string> file = files("w", 1);
    fs::create_directories(data_);
    ASSERT_EQ(runCli(data_, {"sample", file[0]}).exitCode, 0);
    const std::string before = readAll(data_ + "/set.ini");
    // This test process holds the lock, as a run stuck in the middle of a change would.
    const int fd = ::open((data_ + "/vexorin.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const ChildResult refused =
        runCli(data_, {"experiments", "clear"}, {.environment = {"VEXORIN_LOCK_WAIT_MS=1500"}});
    ::close(fd);
    EXPECT_EQ(refused.exitCode, 2) << describe(refused);
    EXPECT_NE(refused.err.find("Another run is writing"), std::string::npos) << describe(refused);
    EXPECT_NE(refused.err.find("nothing was changed"), std::string::npos) << describe(refused);
    EXPECT_EQ(readAll(data_ + "/set.ini"), before);
}

// Finding 4: paths that differ only in case shared one entry, and relative paths from two folders collided.
TEST_F(Overlapping, pathsAreRecordedAbsoluteAndComparedExactly) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "confirm", "rename");
    confirmPng();
    ASSERT_EQ(runCli(data_, {"confirm", "255044462D312E370A25", "pdf"}).exitCode, 0);
    const std::string upper = dir_.file("files/PHOTO.dat"), lower = dir_.file("files/photo.dat");
    writeAll(upper, kPngHeader);
    writeAll(lower, kPdfHeader);
    ASSERT_EQ(runCli(data_, {"identify", upper, lower}).exitCode, 0);
    const ChildResult renamed = runCli(data_, {"rename", upper, lower});
    EXPECT_EQ(renamed.exitCode, 0) << describe(renamed);
    EXPECT_EQ(readAll(dir_.file("files/PHOTO.png")), kPngHeader);
    EXPECT_EQ(readAll(dir_.file("files/photo.pdf")), kPdfHeader);

    // The same relative name typed in two folders names two files; "./x" and "dir//x" name one.
    for (const char* folder : {"FOUND.000", "FOUND.001"}) {
        fs::create_directories(dir_.file(folder));
        writeAll(dir_.file(std::string(folder) + "/FILE0001.CHK"),
                 folder[8] == '0' ? kPngHeader : kPdfHeader);
    }
    const std::string cli = cliPath();
    for (const char* folder : {"FOUND.000", "FOUND.001"}) {
        const std::string script = "cd '" + dir_.file(folder) + "' && '" + cli + "' --data-dir '" + data_ +
                                   "' identify FILE0001.CHK ./FILE0001.CHK .//FILE0001.CHK";
        EXPECT_EQ(runChild({"/bin/sh", "-c", script}).exitCode, 0);
    }
    const std::set<std::string> paths = listed("results");
    EXPECT_EQ(paths.count(dir_.file("FOUND.000/FILE0001.CHK")), 1u);
    EXPECT_EQ(paths.count(dir_.file("FOUND.001/FILE0001.CHK")), 1u);
    EXPECT_EQ(paths.size(), 4u);

    // A missing path is named on standard error, not recorded, and the run exits 5.
    const ChildResult missing = runCli(data_, {"identify", upper + ".gone", lower + "x"});
    EXPECT_EQ(missing.exitCode, 5) << describe(missing);
    EXPECT_NE(missing.err.find(upper + ".gone"), std::string::npos);
    EXPECT_EQ(listed("results").size(), 4u);
}

// Finding 4: a folder swapped for a symbolic link between identify and rename redirected the rename.
TEST_F(Overlapping, aSwappedFolderCannotRedirectARename) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "confirm", "rename");
    confirmPng();
    fs::create_directories(dir_.file("scan/sub"));
    fs::create_directories(dir_.file("outside"));
    const std::string scanned = dir_.file("scan/sub/victim.dat");
    writeAll(scanned, kPngHeader);
    writeAll(dir_.file("outside/victim.dat"), "someone else's file, not a PNG");
    ASSERT_EQ(runCli(data_, {"identify", scanned}).exitCode, 0);
    fs::rename(dir_.file("scan/sub"), dir_.file("scan/moved"));
    fs::create_directory_symlink(dir_.file("outside"), dir_.file("scan/sub"));
    const ChildResult renamed = runCli(data_, {"rename", scanned});
    EXPECT_EQ(renamed.exitCode, 4) << describe(renamed);
    EXPECT_NE(renamed.err.find("changed since identification"), std::string::npos) << describe(renamed);
    EXPECT_TRUE(fs::exists(dir_.file("outside/victim.dat")));
    EXPECT_FALSE(fs::exists(dir_.file("outside/victim.png")));

    // A final symbolic link is never followed either.
    writeAll(dir_.file("outside/real.dat"), kPngHeader);
    fs::create_symlink(dir_.file("outside/real.dat"), dir_.file("scan/moved/link.dat"));
    ASSERT_EQ(runCli(data_, {"identify", dir_.file("scan/moved/link.dat")}).exitCode, 0);
    EXPECT_EQ(runCli(data_, {"rename", dir_.file("scan/moved/link.dat")}).exitCode, 4);
    EXPECT_TRUE(fs::exists(dir_.file("outside/real.dat")));
}

// Finding 5: an interrupted rename left thousands of files renamed while the list named the old paths.
TEST_F(Overlapping, anInterruptedRenameLeavesListAndDiskAgreeing) {
    VEX_REQUIRE_CLI_COMMANDS("identify", "confirm", "rename", "results");
    confirmPng();
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        const std::string folder = "sig" + std::to_string(signal) + "_";
        const std::vector<std::string> paths = files(folder, 3000);
        ASSERT_EQ(runCli(data_, {"identify", "-"}, {.input = joined(paths)}).exitCode, 0);
        std::vector<std::string> args{cliPath(), "--data-dir", data_, "rename"};
        args.insert(args.end(), paths.begin(), paths.end());
        Child child(args);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        child.signal(signal);
        const ChildResult ended = child.wait();
        if (signal != SIGKILL && ended.exitCode >= 0 && ended.exitCode != 0) {
            EXPECT_EQ(ended.exitCode, 128 + signal) << describe(ended);
        }
        // The next run of either program brings the list in line; every file is listed once, by its name now.
        const std::set<std::string> listedNow = listed("results");
        int renamedCount = 0;
        for (const std::string& path : paths) {
            const std::string png = path.substr(0, path.size() - 4) + ".png";
            const bool renamed = fs::exists(png);
            renamedCount += renamed;
            EXPECT_NE(renamed, fs::exists(path)) << path;
            EXPECT_EQ(listedNow.count(renamed ? png : path), 1u) << "list and disk disagree on " << path;
            EXPECT_EQ(listedNow.count(renamed ? path : png), 0u) << path;
        }
        RecordProperty("renamed_before_signal_" + std::to_string(signal), renamedCount);
    }
}

}  // namespace
}  // namespace vex::test
