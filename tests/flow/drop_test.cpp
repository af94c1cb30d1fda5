// Files handed in by the user: identified into the identification list or
// sampled into the experiment library, each drop read once and written once.

#include "flow/drop.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <random>

#include "flow/lists.h"
#include "ident/signature.h"
#include "library/list_index.h"
#include "library/rename_journal.h"
#include "library/store.h"
#include "library/store_lock.h"
#include "library/store_schema.h"
#include "runtime/sqlite.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

const std::string kJpegHeader("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
const std::string kJpegSignature = "FFD8FFE000104A464946";

class DropTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_.file("in")); }

    std::string input(const std::string& name, const std::string& bytes) {
        return dir_.write("in/" + name, bytes);
    }

    // A confirmed record whose every prefix of `signature` down to 4 characters is
    // stored, written past the store's own code so the look-up is checked against it.
    void confirm(const std::string& signature, const std::string& type) {
        ASSERT_NE(ensureStoreExists(data_.libraryPath()).outcome, StoreCreation::Failed);
        std::string error;
        auto db = sqlite::Database::open(data_.libraryPath(), sqlite::OpenMode::ReadWrite, &error);
        ASSERT_TRUE(db) << error;
        std::string sql = "INSERT INTO \"" + std::string(store_schema::kTable) + "\" (\"" +
                          std::string(store_schema::kFileTypeColumn) + "\"";
        for (int n = 20; n >= 4; --n) sql += ", \"" + store_schema::signatureColumnName(n) + "\"";
        sql += ") VALUES (?";
        for (int n = 20; n >= 4; --n) sql += ", ?";
        sql += ")";
        auto statement = sqlite::Statement::prepare(*db, sql, &error);
        ASSERT_TRUE(statement) << error;
        statement->bindText(1, type);
        for (int n = 20, index = 2; n >= 4; --n, ++index) statement->bindText(index, signature.substr(0, n));
        ASSERT_EQ(statement->step(), sqlite::StepResult::Done) << statement->lastError();
    }

    DropOutcome identify(const std::vector<std::string>& paths, const Progress& progress = {}) {
        return identifyPaths(data_, paths, progress, &identifications_);
    }
    DropOutcome identifyDropped(const std::string& text) { return identify(splitDroppedPaths(text)); }
    DropOutcome sampleDropped(const std::string& text) {
        return samplePaths(data_, splitDroppedPaths(text), {}, &experiments_);
    }

    std::string setokIni() const { return data_.identificationListPath(); }
    std::string setIni() const { return data_.experimentListPath(); }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    // The lists as the operations report them afterwards.
    std::vector<ExperimentEntry> experiments_;
    std::vector<IdentificationEntry> identifications_;
};

TEST(splitDroppedPaths, splitsAtEveryLineBreakPairWithoutEmptyParts) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"/a/one", {"/a/one"}},
        {"/a/one\r\n/b/two\r\n", {"/a/one", "/b/two"}},
        {"/a/one\r\n\r\n/b/two", {"/a/one", "/b/two"}},
        {"", {}},
        {"\r\n", {}},
        {"/a/x\ny\r\n", {"/a/x\ny"}},
        {" /a/blank \r\n", {" /a/blank "}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(splitDroppedPaths(text), expected) << text;
}

TEST_F(DropTest, identifyRecordsFilesSkipsFoldersAndRebuildsOnce) {
    confirm(kJpegSignature, "jpg");
    const std::string photo = input("photo.dat", kJpegHeader + "more");
    const std::string tiny = input("tiny", "abc");
    const std::string folder = dir_.file("in");
    std::vector<std::size_t> progress;
    const DropOutcome outcome = identify(splitDroppedPaths(photo + "\r\n" + folder + "\r\n" + tiny + "\r\n"),
                                         [&](std::size_t done, std::size_t total) {
                                             EXPECT_EQ(total, 3u);
                                             progress.push_back(done);
                                         });
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(progress, (std::vector<std::size_t>{1, 2, 3}));
    ASSERT_EQ(outcome.files.size(), 2u);
    EXPECT_EQ(outcome.files[0].type, "jpg");
    EXPECT_EQ(outcome.files[1].signature, std::string(kTooShortText));
    EXPECT_EQ(outcome.files[1].type, "未知类型");
    EXPECT_EQ(test::readAll(setokIni()), "[" + photo + "]\r\ntype=" + kJpegSignature + "\r\ntype1=jpg\r\n[" +
                                             tiny + "]\r\ntype=" + std::string(kTooShortText) +
                                             "\r\ntype1=未知类型\r\n");
    ASSERT_EQ(identifications_.size(), 2u);
    const IdentificationEntry& first = identifications_[0];
    EXPECT_EQ((std::vector<std::string>{first.fileClass, first.signature, first.path, first.type}),
              (std::vector<std::string>{"dat", kJpegSignature, photo, "jpg"}));
    const IdentificationEntry& second = identifications_[1];
    EXPECT_EQ((std::vector<std::string>{second.fileClass, second.signature, second.path, second.type}),
              (std::vector<std::string>{"无类型", std::string(kTooShortText), tiny, "未知类型"}));
}

// Long drops read their files ahead on a second thread; what they record must not change with it.
TEST_F(DropTest, longDropsKeepDropOrderAndSkipEveryFolder) {
    confirm(kJpegSignature, "jpg");
    std::vector<std::string> paths, expectedFiles;
    for (int i = 0; i < 300; ++i) {
        if (i % 7 == 3) {
            paths.push_back(dir_.file("in"));
            continue;
        }
        paths.push_back(
            input("f" + std::to_string(i), i % 2 ? kJpegHeader : "plain text " + std::to_string(i)));
        expectedFiles.push_back(paths.back());
    }
    std::size_t lastDone = 0;
    const DropOutcome outcome =
        identify(paths, [&](std::size_t done, std::size_t) { EXPECT_EQ(done, ++lastDone); });
    EXPECT_EQ(lastDone, paths.size());
    ASSERT_EQ(outcome.files.size(), expectedFiles.size());
    ASSERT_EQ(identifications_.size(), expectedFiles.size());
    for (std::size_t i = 0; i < expectedFiles.size(); ++i) {
        const IdentifiedFile& file = outcome.files[i];
        EXPECT_EQ(file.path, expectedFiles[i]);
        EXPECT_EQ(file.signature, ReadSignatureValue(file.path));
        EXPECT_EQ(file.type, file.signature == kJpegSignature ? "jpg" : "未知类型");
        EXPECT_EQ(identifications_[i].path, file.path);
    }
}

// A long drop recorded in parts: each part is one change of the list and is handed
// over in drop order. A part that cannot be recorded (another run holds the lock)
// stops the drop, and the parts before it stay recorded.
TEST_F(DropTest, aDropInPartsRecordsEachPartAndKeepsThemWhenStopped) {
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i)
        paths.push_back(input("p" + std::to_string(i), "part file " + std::to_string(i)));
    for (const bool stopped : {false, true}) {
        fs::remove(setokIni());
        std::vector<std::size_t> parts;
        std::vector<std::string> handed;
        std::optional<DataLock> held;
        IdentifyOptions options;
        options.part = 4;
        options.takePart = [&](DropOutcome& part) {
            parts.push_back(part.files.size());
            for (const IdentifiedFile& file : part.files) handed.push_back(file.path);
            std::string error;
            if (stopped && !held) held = DataLock::acquire(data_, error);
        };
        setLockWaitLimit(50);
        const DropOutcome outcome = identifyPaths(data_, paths, {}, nullptr, options);
        setLockWaitLimit(kDefaultLockWaitLimitMs);
        held.reset();
        EXPECT_TRUE(outcome.files.empty());
        const std::vector<IdentificationEntry> listed = listIdentifications(data_).entries;
        if (!stopped) {
            EXPECT_EQ(parts, (std::vector<std::size_t>{4, 4, 2}));
            EXPECT_EQ(handed, paths);
            EXPECT_EQ(outcome.error, "");
            ASSERT_EQ(listed.size(), paths.size());
            for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(listed[i].path, paths[i]);
        } else {
            EXPECT_EQ(parts, (std::vector<std::size_t>{4, 0}));
            EXPECT_NE(outcome.error, "");
            ASSERT_EQ(listed.size(), 4u);
            EXPECT_EQ(listed[3].path, paths[3]);
        }
    }
}

// Random drops, recorded in parts of random size through the lists' indexes, of
// files whose first bytes change between drops: the list always reads as the
// same drops made whole, each through a list read and parsed whole, leave theirs.
TEST_F(DropTest, dropsInPartsThroughTheIndexLeaveWhatWholeDropsLeave) {
    ListNameIndex::setSmallestIndexedList(0);
    std::mt19937 random(20261209);
    std::vector<std::string> files;
    for (int i = 0; i < 25; ++i)
        files.push_back(input("r" + std::to_string(i), "first bytes " + std::to_string(i)));
    fs::create_directories(dir_.file("whole"));
    const DataDirectory whole(dir_.file("whole"));
    auto rows = [](const DataDirectory& data) {
        std::vector<std::string> listed;
        for (const IdentificationEntry& entry : listIdentifications(data).entries)
            listed.push_back(entry.path + "=" + entry.signature + "/" + entry.type);
        return listed;
    };
    for (int round = 0; round < 40; ++round) {
        for (int changes = static_cast<int>(random() % 4); changes > 0; --changes)
            test::writeAll(files[random() % files.size()],
                           "changed " + std::to_string(random() % 3) + " bytes");
        std::vector<std::string> drop;
        for (int n = 1 + static_cast<int>(random() % 12); n > 0; --n)
            drop.push_back(files[random() % files.size()]);
        IdentifyOptions options;
        options.part = 1 + random() % 4;
        options.takePart = [](DropOutcome& part) { EXPECT_EQ(part.error, ""); };
        EXPECT_EQ(identifyPaths(data_, drop, {}, nullptr, options).error, "");
        std::vector<IdentificationEntry> shown;
        EXPECT_EQ(identifyPaths(whole, drop, {}, &shown).error, "");
        ASSERT_EQ(rows(data_), rows(whole)) << "round " << round;
    }
    EXPECT_TRUE(fs::exists(ListNameIndex::pathFor(setokIni())));
    ListNameIndex::setSmallestIndexedList(std::uint64_t{1} << 20);
}

// Another run journaled a rename before this drop began but made it only after the
// drop had read the file: the file is not listed again under the name it lost.
TEST_F(DropTest, aFileRenamedByARunUnderWayIsNotListedUnderItsOldName) {
    const std::string old = input("old.bin", "0123456789"), renamed = dir_.file("in/old.txt");
    RenameJournalWriter otherRun;
    ASSERT_EQ(otherRun.open(renameJournalPath(data_)), "");
    ASSERT_EQ(otherRun.appendRename(old, renamed, "30313233343536373839", "txt"), "");
    const DropOutcome outcome = identifyPaths(data_, {old}, [&](std::size_t, std::size_t) {
        fs::rename(old, renamed);
        ASSERT_EQ(otherRun.appendSaved(), "");
    });
    ASSERT_EQ(outcome.refused.size(), 1u);
    for (const IdentificationEntry& entry : listIdentifications(data_).entries) EXPECT_NE(entry.path, old);
}

TEST_F(DropTest, sameFileDroppedTwiceKeepsOneEntryWithLastValues) {
    const std::string file = input("a.bin", "0123456789");
    identifyDropped(file);
    confirm("30313233343536373839", "txt");
    identifyDropped(file);
    ASSERT_EQ(identifications_.size(), 1u);
    EXPECT_EQ(identifications_[0].type, "txt");
}

TEST_F(DropTest, handEditsBetweenDropsAreKept) {
    const std::string a = input("a.bin", "0123456789"), b = input("b.bin", "abcdefghij");
    identifyDropped(a);
    test::writeAll(setokIni(),
                   test::readAll(setokIni()) + "; checked by hand\n[/elsewhere/c.bin]\ntype1=zip\n");
    identifyDropped(b);
    const std::string text = test::readAll(setokIni());
    EXPECT_NE(text.find("; checked by hand\n[/elsewhere/c.bin]\ntype1=zip\n"), std::string::npos) << text;
    ASSERT_EQ(identifications_.size(), 3u);
    EXPECT_EQ(identifications_[1].signature, "Unknown");
    EXPECT_EQ(identifications_[2].path, b);
}

TEST_F(DropTest, oddFilesNeverBlockAndReadAsTooShort) {
    const std::string fifo = dir_.file("in/pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string gone = dir_.file("in/vanished.bin");
    const DropOutcome outcome = identify({fifo, "/dev/null", gone});
    ASSERT_EQ(outcome.files.size(), 3u);
    for (const IdentifiedFile& file : outcome.files) EXPECT_EQ(file.signature, std::string(kTooShortText));
    EXPECT_EQ(identifications_.size(), 3u);
}

TEST_F(DropTest, pathsTheListCannotHoldAreRefusedAndTheRestRecorded) {
    const std::string good = input("good.bin", "0123456789");
    input(" lead.bin", "0123456789");
    const DropOutcome outcome = identify({dir_.file("in/ lead.bin"), good, "/x/line\nbreak"});
    EXPECT_EQ(outcome.error, "");
    ASSERT_EQ(outcome.refused.size(), 1u);  // the line break; " lead.bin" is inside the path, not at its end
    EXPECT_EQ(outcome.refused[0].subject, "/x/line\nbreak");
    EXPECT_EQ(identifications_.size(), 2u);
}

TEST_F(DropTest, unreadableListFileKeepsTheDropOutButStillIdentifies) {
    fs::create_directory(setokIni());
    const std::string file = input("a.bin", "0123456789");
    const DropOutcome outcome = identifyDropped(file);
    EXPECT_NE(outcome.error, "");
    EXPECT_EQ(outcome.files.size(), 1u);
    EXPECT_TRUE(fs::is_directory(setokIni()));
    EXPECT_TRUE(identifications_.empty());
}

// The editor shows the last file taken; the window's handler test checks the editor itself.
TEST_F(DropTest, sampleRecordsEachAndNamesTheLastFileTaken) {
    const std::string jpeg = input("x.jpg", kJpegHeader);
    const std::string text = input("notes.TXT", "0123456789");
    const DropOutcome outcome = sampleDropped(jpeg + "\r\n" + dir_.file("in") + "\r\n" + text + "\r\n");
    EXPECT_EQ(outcome.error, "");
    ASSERT_EQ(outcome.files.size(), 2u);
    EXPECT_EQ(outcome.lastHandedIn, text);
    EXPECT_EQ(outcome.files.back().signature, "30313233343536373839");
    EXPECT_EQ(outcome.files.back().type, "TXT");
    EXPECT_EQ(test::readAll(setIni()), "[" + jpeg + "]\r\n特征值=" + kJpegSignature +
                                           "\r\n文件类型=jpg\r\n[" + text +
                                           "]\r\n特征值=30313233343536373839\r\n文件类型=TXT\r\n");
    EXPECT_EQ(experiments_.size(), 2u);
}

TEST_F(DropTest, sampleKeepsUntrimmedPathForTheEditorButRecordsTrimmedOne) {
    const std::string file = input("a.txt", "0123456789");
    const DropOutcome outcome = sampleDropped("  " + file);
    EXPECT_EQ(outcome.lastHandedIn, "  " + file);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].type, "txt");
    ASSERT_EQ(experiments_.size(), 1u);
    EXPECT_EQ(experiments_[0].path, file);
}

TEST_F(DropTest, storingTheEditorsValueIntoTheExperimentLibrary) {
    EXPECT_EQ(storeExperiment(data_, "", "anything", &experiments_).error, "");
    EXPECT_FALSE(fs::exists(setIni()));

    EXPECT_EQ(storeExperiment(data_, " /x/a.bin ", "whatever was double-clicked", &experiments_).error, "");
    EXPECT_EQ(test::readAll(setIni()),
              "[/x/a.bin]\r\n特征值=whatever was double-clicked\r\n文件类型=bin\r\n");
    EXPECT_EQ(experiments_.size(), 1u);
}

}  // namespace
}  // namespace vex
