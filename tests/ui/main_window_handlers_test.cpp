// The main window's handlers on the window loaded headless: each reaches its
// operation, fills the editors and lists from what it reports and shows what
// went wrong.

#include "ui/main_window_handlers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "ident/signature.h"
#include "runtime/basic_units.h"
#include "runtime/drop_target.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "runtime/sqlite.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
namespace mw = main_window;

const std::string kJpegHeader("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11);
const std::string kJpegSignature = "FFD8FFE000104A464946";

// The main window loaded headless, its handlers bound to a temporary data
// folder. Start-up is left out, so a test sees only what its own steps write.
class MainWindowHandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        model_.reset();
        registerMainWindowHandlers(model_, [this] { return data_; });
        model_.handlers().remove("InitialiseMainWindow");
        session_ = std::make_unique<MainWindowSession>(model_);
        ASSERT_TRUE(session_->loaded());
        setMessagePresenter([this](MessageKind kind, const std::string& text, const std::string&) {
            messages_.push_back(text);
            kinds_.push_back(kind);
        });
        fs::create_directories(dir_.file("in"));
    }
    void TearDown() override {
        setMessagePresenter({});
        FileDialog::setPresenter({});
        session_.reset();
        model_.reset();
    }

    void drop(UnitRef target, const std::vector<std::string>& paths) {
        std::string text;
        for (const std::string& path : paths) text += path + (paths.size() > 1 ? "\r\n" : "");
        model_.raiseEvent(target, event::kFilesDropped, {Value(text)});
    }
    void click(UnitRef button) { model_.raiseEvent(button, event::kClicked); }
    ReportList& list(UnitRef ref) { return model_.resolveAs<ReportList>(ref); }
    TextUnit& box(UnitRef ref) { return model_.resolveAs<TextUnit>(ref); }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    WindowModel model_;
    std::unique_ptr<MainWindowSession> session_;
    std::vector<std::string> messages_;
    std::vector<MessageKind> kinds_;
};

TEST_F(MainWindowHandlersTest, dropsOnBothListsReachTheirHandlers) {
    const std::string a = dir_.write("in/a.txt", "0123456789"), b = dir_.write("in/b.bin", "ABCDEFGHIJ");
    drop(mw::identificationDropTarget, {a, dir_.file("in"), b});
    EXPECT_EQ(list(mw::identificationList).itemCount(), 2);
    EXPECT_EQ(list(mw::identificationList).itemText(1, identification_column::kType), "未知类型");

    drop(mw::experimentDropTarget, {b});
    EXPECT_EQ(list(mw::experimentList).itemCount(), 1);
    EXPECT_EQ(box(mw::samplePathEdit).text(), b);
    EXPECT_EQ(box(mw::confirmSignatureEdit).text(), "4142434445464748494A");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowHandlersTest, identifiedFilesAreListedNumberedWithTheirClass) {
    const std::string photo = dir_.write("in/photo.dat", kJpegHeader + "more");
    const std::string tiny = dir_.write("in/tiny", "abc");
    drop(mw::identificationDropTarget, {photo, dir_.file("in"), tiny});
    const ReportList& identified = list(mw::identificationList);
    ASSERT_EQ(identified.itemCount(), 2);
    EXPECT_EQ(identified.rows()[0].cells,
              (std::vector<std::string>{"1", "dat", kJpegSignature, photo, "未知类型"}));
    EXPECT_EQ(identified.rows()[1].cells,
              (std::vector<std::string>{"2", "无类型", std::string(kTooShortText), tiny, "未知类型"}));
}

TEST_F(MainWindowHandlersTest, sampleShowsLastFileInEditorAndRecordsEach) {
    const std::string jpeg = dir_.write("in/x.jpg", kJpegHeader);
    const std::string text = dir_.write("in/notes.TXT", "0123456789");
    drop(mw::experimentDropTarget, {jpeg, dir_.file("in"), text});
    EXPECT_EQ(box(mw::samplePathEdit).text(), text);
    EXPECT_EQ(box(mw::sampleSignatureEdit).text(), "30313233343536373839");
    EXPECT_EQ(box(mw::sampleClassEdit).text(), "TXT");
    EXPECT_EQ(box(mw::confirmTypeEdit).text(), box(mw::sampleClassEdit).text());
    EXPECT_EQ(box(mw::confirmSignatureEdit).text(), box(mw::sampleSignatureEdit).text());
    EXPECT_EQ(list(mw::experimentList).itemCount(), 2);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowHandlersTest, sampleKeepsUntrimmedPathInEditorButListsTrimmedOne) {
    const std::string file = dir_.write("in/a.txt", "0123456789");
    drop(mw::experimentDropTarget, {"  " + file});
    EXPECT_EQ(box(mw::samplePathEdit).text(), "  " + file);
    EXPECT_EQ(box(mw::sampleClassEdit).text(), "txt");
    EXPECT_EQ(list(mw::experimentList).itemText(0, experiment_column::kPath), file);
}

// A name holding the files-dropped separator never reaches the handler; the
// handler names it, with the same words on both lists, and takes the rest.
TEST_F(MainWindowHandlersTest, namesTheDropTargetLeftOutAreShownOnce) {
    const std::string good = dir_.write("in/good.bin", "0123456789");
    const std::string crafted = dir_.file("in/x.bin\r\n") + good;
    const std::string expected =
        "These files were not taken: their names hold a line break, which the lists cannot store:\n" +
        crafted;
    for (const auto& [target, listRef] : {std::pair{mw::experimentDropTarget, mw::experimentList},
                                          std::pair{mw::identificationDropTarget, mw::identificationList}}) {
        messages_.clear();
        kinds_.clear();
        model_.resolveAs<DropTarget>(target).deliverDroppedFiles({crafted, good});
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0], expected);
        EXPECT_EQ(kinds_[0], MessageKind::Warning);
        ASSERT_EQ(list(listRef).itemCount(), 1);
        EXPECT_EQ(list(listRef).itemText(0, 3), good);
    }
    // The next drop starts afresh: nothing refused, nothing shown.
    messages_.clear();
    model_.resolveAs<DropTarget>(mw::experimentDropTarget).deliverDroppedFiles({good});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowHandlersTest, pathsTheListCannotHoldAreShownWithTheirReason) {
    const std::string good = dir_.write("in/good.bin", "0123456789");
    drop(mw::identificationDropTarget, {good, "/x/line\nbreak"});
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind("These files were not recorded:\n/x/line\nbreak: ", 0), 0u) << messages_[0];
    EXPECT_EQ(list(mw::identificationList).itemCount(), 1);
}

TEST_F(MainWindowHandlersTest, buttonsDeleteClearAndRename) {
    const std::string a = dir_.write("in/a.dat", "0123456789");
    std::ofstream(data_.identificationListPath())
        << "[" << a << "]\ntype=30313233343536373839\ntype1=txt\n[/gone]\ntype1=x\n";
    std::ofstream(data_.experimentListPath()) << "[/x]\n特征值=1\n";
    LoadIdentificationList(list(mw::identificationList), data_);
    LoadExperimentList(list(mw::experimentList), data_);

    list(mw::identificationList).setCheckState(0, check_state::kChecked);
    click(mw::renameButton);  // 选定文件改名
    EXPECT_TRUE(fs::exists(dir_.file("in/a.txt")));
    // The renamed entry is written anew, so it now comes last.
    EXPECT_EQ(list(mw::identificationList).itemText(1, identification_column::kPath), dir_.file("in/a.txt"));

    list(mw::identificationList).setCheckState(0, check_state::kChecked);
    click(mw::identificationDeleteButton);  // 删除
    EXPECT_EQ(list(mw::identificationList).itemCount(), 1);
    click(mw::identificationClearButton);  // 清空
    EXPECT_EQ(list(mw::identificationList).itemCount(), 0);

    list(mw::experimentList).setCheckState(0, check_state::kChecked);
    click(mw::experimentDeleteButton);  // 删除选定特征值
    EXPECT_EQ(list(mw::experimentList).itemCount(), 0);
    click(mw::experimentClearButton);  // 清空特征值
    EXPECT_EQ(fs::file_size(data_.experimentListPath()), 0u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowHandlersTest, failedRenamesAreShownAsAMessage) {
    const std::string a = dir_.write("in/a.dat", "0123456789");
    dir_.write("in/a.txt", "taken");
    std::ofstream(data_.identificationListPath()) << "[" << a << "]\ntype1=txt\n";
    LoadIdentificationList(list(mw::identificationList), data_);
    list(mw::identificationList).setCheckState(0, check_state::kChecked);
    click(mw::renameButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(a), std::string::npos) << messages_[0];
}

TEST_F(MainWindowHandlersTest, pickingAFileFillsTheEditorOnlyWhenConfirmed) {
    box(mw::samplePathEdit).setText("before");
    FileDialog::setPresenter([](const FileDialogSettings&) { return std::optional<std::string>(); });
    click(mw::pickFileButton);
    EXPECT_EQ(box(mw::samplePathEdit).text(), "before");

    const std::string file = dir_.write("in/b.JPG", kJpegHeader);
    FileDialog::setPresenter([&](const FileDialogSettings&) { return std::optional<std::string>(file); });
    click(mw::pickFileButton);
    EXPECT_EQ(box(mw::samplePathEdit).text(), file);
    EXPECT_EQ(box(mw::sampleSignatureEdit).text(), kJpegSignature);
    EXPECT_EQ(box(mw::sampleClassEdit).text(), "JPG");
    EXPECT_EQ(box(mw::confirmTypeEdit).text(), "JPG");
    EXPECT_EQ(box(mw::confirmSignatureEdit).text(), kJpegSignature);
    EXPECT_FALSE(fs::exists(data_.experimentListPath()));
}

TEST_F(MainWindowHandlersTest, storingTheEditorIntoTheExperimentLibrary) {
    click(mw::storeToExperimentButton);
    EXPECT_FALSE(fs::exists(data_.experimentListPath()));

    box(mw::samplePathEdit).setText(" /x/a.bin ");
    box(mw::sampleSignatureEdit).setText("whatever was double-clicked");
    box(mw::sampleClassEdit).setText("ignored");
    click(mw::storeToExperimentButton);
    EXPECT_EQ(test::readAll(data_.experimentListPath()),
              "[/x/a.bin]\r\n特征值=whatever was double-clicked\r\n文件类型=bin\r\n");
    EXPECT_EQ(box(mw::samplePathEdit).text(), " /x/a.bin ");
    EXPECT_EQ(list(mw::experimentList).itemCount(), 1);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowHandlersTest, pickAndStoreButtonsFillEditorAndLibraries) {
    const std::string file = dir_.write("in/pic.png", std::string("\x89PNG\r\n\x1a\n\0\x0d", 10));
    FileDialog::setPresenter([&](const FileDialogSettings&) { return std::optional<std::string>(file); });
    click(mw::pickFileButton);
    EXPECT_EQ(box(mw::sampleClassEdit).text(), "png");

    click(mw::storeToExperimentButton);  // 存入->实验库
    EXPECT_EQ(list(mw::experimentList).itemCount(), 1);

    // The confirmed library as start-up leaves it: the store, its connection and the open table.
    InitialiseMainWindow(model_, data_);
    EXPECT_EQ(list(mw::experimentList).itemCount(), 1);

    click(mw::storeToConfirmedButton);  // 存入->确认库
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 1);
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    click(mw::storeToConfirmedButton);
    EXPECT_TRUE(model_.isLoaded(message_window::kWindowId)) << "a duplicate opens the message window";
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 1);
}

TEST_F(MainWindowHandlersTest, storingAConflictingValueStoresItThenWarnsNamingTheRecord) {
    InitialiseMainWindow(model_, data_);
    box(mw::confirmSignatureEdit).setText("4D5A");
    box(mw::confirmTypeEdit).setText("exe");
    click(mw::storeToConfirmedButton);
    EXPECT_TRUE(messages_.empty());
    box(mw::confirmSignatureEdit).setText("4D5A90000300");
    box(mw::confirmTypeEdit).setText("dll");
    click(mw::storeToConfirmedButton);
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 2);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(kinds_[0], MessageKind::Warning);
    EXPECT_NE(messages_[0].find("4D5A90000300"), std::string::npos) << messages_[0];
    EXPECT_NE(messages_[0].find("record 107 (exe, 4D5A)"), std::string::npos) << messages_[0];
}

TEST_F(MainWindowHandlersTest, storeToConfirmedWithBothFieldsEmptyDoesNothing) {
    StoreEditorToConfirmed(model_, data_);
    EXPECT_FALSE(fs::exists(data_.libraryPath()));
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    EXPECT_TRUE(messages_.empty());
}

// Start-up names a library it cannot use in one message, in the words and the
// box this window has always shown it with; the list stays empty.
TEST(MainWindowStartUp, anUnusableLibraryIsNamedInOneMessage) {
    struct Store {
        const char* label;
        std::string sql;  // the store's content; empty: a file that is no database
        std::string message;
    };
    test::TempDir dir;
    const DataDirectory data(dir.path());
    const std::string library = "'" + data.libraryPath() + "'";
    const Store stores[] = {
        {"noDatabase", "",
         "The database connection is not open. Reason: Cannot open the database " + library +
             ". Reason: file is not a database"},
        {"noTable", "create table other (x text)", "no such table: 文件特征值库"},
    };
    struct Shown {
        MessageKind kind;
        std::string text, caption;
    };
    std::vector<Shown> shown;
    setMessagePresenter([&](MessageKind kind, const std::string& text, const std::string& caption) {
        shown.push_back({kind, text, caption});
    });
    for (const Store& store : stores) {
        fs::remove(data.libraryPath());
        if (store.sql.empty()) {
            dir.write("data.mdb", "not a database");
        } else {
            auto db = sqlite::Database::open(data.libraryPath(), sqlite::OpenMode::ReadWriteCreate);
            ASSERT_TRUE(db && db->execute(store.sql)) << store.label;
        }
        shown.clear();
        WindowModel model;
        registerMainWindowHandlers(model, [&data] { return data; });
        {
            MainWindowSession session(model);
            ASSERT_TRUE(session.loaded());
            EXPECT_EQ(model.resolveAs<ReportList>(mw::confirmedList).itemCount(), 0) << store.label;
        }
        ASSERT_EQ(shown.size(), 1u) << store.label;
        EXPECT_EQ(shown[0].text, store.message);
        EXPECT_EQ(shown[0].kind, MessageKind::Error) << store.label;
        EXPECT_EQ(shown[0].caption, "") << store.label;
    }
    setMessagePresenter({});
}

}  // namespace
}  // namespace vex
