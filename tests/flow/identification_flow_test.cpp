#include "ident/flow/identification_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ident/signature.h"
#include "library/ini_lists.h"
#include "library/store.h"
#include "runtime/basic_units.h"
#include "runtime/external_database.h"
#include "runtime/file_dialog.h"
#include "runtime/report_list.h"
#include "runtime/sqlite.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

const std::string kJpegHeader("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
const std::string kJpegSignature = "FFD8FFE000104A464946";

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_.file("in"));
        FileDialog::setPresenter({});
    }
    void TearDown() override { FileDialog::setPresenter({}); }

    std::string input(const std::string& name, const std::string& bytes) { return dir_.write("in/" + name, bytes); }

    // A confirmed record whose every prefix of `signature` down to 4 characters is stored.
    void confirm(const std::string& signature, const std::string& type) {
        ASSERT_NE(ensureStoreExists(LibraryPathIn(dir_.path())).outcome, StoreCreation::Failed);
        std::string error;
        auto db = sqlite::Database::open(LibraryPathIn(dir_.path()), sqlite::OpenMode::ReadWrite, &error);
        ASSERT_TRUE(db) << error;
        std::string sql = "INSERT INTO \"文件特征值库\" (\"文件类型\"";
        for (int n = 20; n >= 4; --n) sql += ", \"特征值" + std::to_string(n) + "\"";
        sql += ") VALUES (?";
        for (int n = 20; n >= 4; --n) sql += ", ?";
        sql += ")";
        auto statement = sqlite::Statement::prepare(*db, sql, &error);
        ASSERT_TRUE(statement) << error;
        statement->bindText(1, type);
        for (int n = 20, index = 2; n >= 4; --n, ++index) statement->bindText(index, signature.substr(0, n));
        ASSERT_EQ(statement->step(), sqlite::StepResult::Done) << statement->lastError();
    }

    std::string setokIni() const { return IdentificationIniPathIn(dir_.path()); }
    std::string setIni() const { return ExperimentIniPathIn(dir_.path()); }

    test::TempDir dir_;
    ReportList experiments_{1, std::vector<ReportColumn>(4)};
    ReportList identifications_{3, std::vector<ReportColumn>(5)};
    EditBox box1_{11}, box2_{12}, box3_{13}, box4_{14}, box5_{15};
    FileDialog dialog_{21};
    ExternalDatabase database_{31};
    FlowUnits units_{experiments_, identifications_, box1_, box2_, box3_, box4_, box5_, dialog_, database_,
                     dir_.path()};
};

TEST(SplitDroppedPaths, splitsAtEveryLineBreakPairWithoutEmptyParts) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"/a/one", {"/a/one"}},
        {"/a/one\r\n/b/two\r\n", {"/a/one", "/b/two"}},
        {"/a/one\r\n\r\n/b/two", {"/a/one", "/b/two"}},
        {"", {}},
        {"\r\n", {}},
        {"/a/x\ny\r\n", {"/a/x\ny"}},
        {" /a/blank \r\n", {" /a/blank "}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(SplitDroppedPaths(text), expected) << text;
}

TEST_F(FlowTest, identifyRecordsFilesSkipsFoldersAndRebuildsOnce) {
    confirm(kJpegSignature, "jpg");
    const std::string photo = input("photo.dat", kJpegHeader + "more");
    const std::string tiny = input("tiny", "abc");
    const std::string folder = dir_.file("in");
    std::vector<std::size_t> progress;
    const DropOutcome outcome = IdentifyDroppedFiles(units_, photo + "\r\n" + folder + "\r\n" + tiny + "\r\n",
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
    EXPECT_EQ(contents(setokIni()), "[" + photo + "]\r\ntype=" + kJpegSignature + "\r\ntype1=jpg\r\n[" + tiny +
                                        "]\r\ntype=" + std::string(kTooShortText) + "\r\ntype1=未知类型\r\n");
    ASSERT_EQ(identifications_.itemCount(), 2);
    EXPECT_EQ(identifications_.rows()[0].cells,
              (std::vector<std::string>{"1", "dat", kJpegSignature, photo, "jpg"}));
    EXPECT_EQ(identifications_.rows()[1].cells,
              (std::vector<std::string>{"2", "无类型", std::string(kTooShortText), tiny, "未知类型"}));
}

// Long drops read their files ahead on a second thread; what they record must not change with it.
TEST_F(FlowTest, longDropsKeepDropOrderAndSkipEveryFolder) {
    confirm(kJpegSignature, "jpg");
    std::vector<std::string> paths, expectedFiles;
    for (int i = 0; i < 300; ++i) {
        if (i % 7 == 3) {
            paths.push_back(dir_.file("in"));
            continue;
        }
        paths.push_back(input("f" + std::to_string(i), i % 2 ? kJpegHeader : "plain text " + std::to_string(i)));
        expectedFiles.push_back(paths.back());
    }
    std::size_t lastDone = 0;
    const DropOutcome outcome =
        IdentifyPaths(units_, paths, [&](std::size_t done, std::size_t) { EXPECT_EQ(done, ++lastDone); });
    EXPECT_EQ(lastDone, paths.size());
    ASSERT_EQ(outcome.files.size(), expectedFiles.size());
    ASSERT_EQ(identifications_.itemCount(), static_cast<int>(expectedFiles.size()));
    for (std::size_t i = 0; i < expectedFiles.size(); ++i) {
        const IdentifiedFile& file = outcome.files[i];
        EXPECT_EQ(file.path, expectedFiles[i]);
        EXPECT_EQ(file.signature, ReadSignatureValue(file.path));
        EXPECT_EQ(file.type, file.signature == kJpegSignature ? "jpg" : "未知类型");
        EXPECT_EQ(identifications_.itemText(static_cast<int>(i), identification_column::kPath), file.path);
    }
}

TEST_F(FlowTest, sameFileDroppedTwiceKeepsOneEntryWithLastValues) {
    const std::string file = input("a.bin", "0123456789");
    IdentifyDroppedFiles(units_, file);
    confirm("30313233343536373839", "txt");
    IdentifyDroppedFiles(units_, file);
    ASSERT_EQ(identifications_.itemCount(), 1);
    EXPECT_EQ(identifications_.itemText(0, identification_column::kType), "txt");
}

TEST_F(FlowTest, handEditsBetweenDropsAreKept) {
    const std::string a = input("a.bin", "0123456789"), b = input("b.bin", "abcdefghij");
    IdentifyDroppedFiles(units_, a);
    std::ofstream(setokIni(), std::ios::app) << "; checked by hand\n[/elsewhere/c.bin]\ntype1=zip\n";
    IdentifyDroppedFiles(units_, b);
    const std::string text = contents(setokIni());
    EXPECT_NE(text.find("; checked by hand\n[/elsewhere/c.bin]\ntype1=zip\n"), std::string::npos) << text;
    EXPECT_EQ(identifications_.itemCount(), 3);
    EXPECT_EQ(identifications_.itemText(1, identification_column::kSignature), "Unknown");
    EXPECT_EQ(identifications_.itemText(2, identification_column::kPath), b);
}

TEST_F(FlowTest, oddFilesNeverBlockAndReadAsTooShort) {
    const std::string fifo = dir_.file("in/pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string gone = dir_.file("in/vanished.bin");
    const DropOutcome outcome = IdentifyPaths(units_, {fifo, "/dev/null", gone});
    ASSERT_EQ(outcome.files.size(), 3u);
    for (const IdentifiedFile& file : outcome.files) EXPECT_EQ(file.signature, std::string(kTooShortText));
    EXPECT_EQ(identifications_.itemCount(), 3);
}

TEST_F(FlowTest, pathsTheListCannotHoldAreRefusedAndTheRestRecorded) {
    const std::string good = input("good.bin", "0123456789");
    const std::string blank = input(" lead.bin", "0123456789");
    const DropOutcome outcome = IdentifyPaths(units_, {dir_.file("in/ lead.bin"), good, "/x/line\nbreak"});
    EXPECT_EQ(outcome.error, "");
    ASSERT_EQ(outcome.refused.size(), 1u);  // the line break; " lead.bin" is inside the path, not at its end
    EXPECT_EQ(outcome.refused[0].first, "/x/line\nbreak");
    EXPECT_EQ(identifications_.itemCount(), 2);
    (void)blank;
}

TEST_F(FlowTest, unreadableListFileKeepsTheDropOutButStillIdentifies) {
    fs::create_directory(setokIni());
    const std::string file = input("a.bin", "0123456789");
    const DropOutcome outcome = IdentifyDroppedFiles(units_, file);
    EXPECT_NE(outcome.error, "");
    EXPECT_EQ(outcome.files.size(), 1u);
    EXPECT_TRUE(fs::is_directory(setokIni()));
    EXPECT_EQ(identifications_.itemCount(), 0);
}

TEST_F(FlowTest, sampleShowsLastFileInEditorAndRecordsEach) {
    const std::string jpeg = input("x.jpg", kJpegHeader);
    const std::string text = input("notes.TXT", "0123456789");
    const DropOutcome outcome = SampleDroppedFiles(units_, jpeg + "\r\n" + dir_.file("in") + "\r\n" + text + "\r\n");
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(box1_.text(), text);
    EXPECT_EQ(box2_.text(), "30313233343536373839");
    EXPECT_EQ(box3_.text(), "TXT");
    EXPECT_EQ(box4_.text(), box3_.text());
    EXPECT_EQ(box5_.text(), box2_.text());
    EXPECT_EQ(contents(setIni()), "[" + jpeg + "]\r\n特征值=" + kJpegSignature + "\r\n文件类型=jpg\r\n[" + text +
                                      "]\r\n特征值=30313233343536373839\r\n文件类型=TXT\r\n");
    EXPECT_EQ(experiments_.itemCount(), 2);
}

TEST_F(FlowTest, sampleKeepsUntrimmedPathInEditorButRecordsTrimmedOne) {
    const std::string file = input("a.txt", "0123456789");
    SampleDroppedFiles(units_, "  " + file);
    EXPECT_EQ(box1_.text(), "  " + file);
    EXPECT_EQ(box3_.text(), "txt");
    EXPECT_EQ(experiments_.itemText(0, experiment_column::kPath), file);
}

TEST_F(FlowTest, pickingAFileFillsTheEditorOnlyWhenConfirmed) {
    box1_.setText("before");
    FileDialog::setPresenter([](const FileDialogSettings&) { return std::optional<std::string>(); });
    EXPECT_FALSE(PickFileForEditor(units_));
    EXPECT_EQ(box1_.text(), "before");

    const std::string file = input("b.JPG", kJpegHeader);
    FileDialog::setPresenter([&](const FileDialogSettings&) { return std::optional<std::string>(file); });
    EXPECT_TRUE(PickFileForEditor(units_));
    EXPECT_EQ(box1_.text(), file);
    EXPECT_EQ(box2_.text(), kJpegSignature);
    EXPECT_EQ(box3_.text(), "JPG");
    EXPECT_EQ(box4_.text(), "JPG");
    EXPECT_EQ(box5_.text(), kJpegSignature);
    EXPECT_FALSE(fs::exists(setIni()));
}

TEST_F(FlowTest, storingTheEditorIntoTheExperimentLibrary) {
    EXPECT_EQ(StoreEditorToExperiment(units_), "");
    EXPECT_FALSE(fs::exists(setIni()));

    box1_.setText(" /x/a.bin ");
    box2_.setText("whatever was double-clicked");
    box3_.setText("ignored");
    EXPECT_EQ(StoreEditorToExperiment(units_), "");
    EXPECT_EQ(contents(setIni()), "[/x/a.bin]\r\n特征值=whatever was double-clicked\r\n文件类型=bin\r\n");
    EXPECT_EQ(box1_.text(), " /x/a.bin ");
    EXPECT_EQ(experiments_.itemCount(), 1);
}

}  // namespace
}  // namespace vex
