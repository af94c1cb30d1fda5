#include "ident/flow/flow_handlers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "library/confirmed_library.h"
#include "library/ini_lists.h"
#include "library/store.h"
#include "runtime/basic_units.h"
#include "runtime/database_connection.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
namespace mw = main_window;

// The main window loaded headless, with the flow's handlers bound to a temporary data folder.
class FlowHandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        model_.reset();
        RegisterFlowHandlers(model_, [this] { return dir_.path(); });
        session_ = std::make_unique<MainWindowSession>(model_);
        ASSERT_TRUE(session_->loaded());
        setMessagePresenter([this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
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
    WindowModel model_;
    std::unique_ptr<MainWindowSession> session_;
    std::vector<std::string> messages_;
};

TEST_F(FlowHandlersTest, dropsOnBothListsReachTheirHandlers) {
    const std::string a = dir_.write("in/a.txt", "0123456789"), b = dir_.write("in/b.bin", "ABCDEFGHIJ");
    drop(mw::拖放对象2, {a, dir_.file("in"), b});
    EXPECT_EQ(list(mw::超级列表框3).itemCount(), 2);
    EXPECT_EQ(list(mw::超级列表框3).itemText(1, identification_column::kType), "未知类型");

    drop(mw::拖放对象1, {b});
    EXPECT_EQ(list(mw::超级列表框1).itemCount(), 1);
    EXPECT_EQ(box(mw::编辑框1).text(), b);
    EXPECT_EQ(box(mw::编辑框5).text(), "4142434445464748494A");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FlowHandlersTest, buttonsDeleteClearAndRename) {
    const std::string a = dir_.write("in/a.dat", "0123456789");
    std::ofstream(dir_.file("setok.ini")) << "[" << a << "]\ntype=30313233343536373839\ntype1=txt\n[/gone]\ntype1=x\n";
    std::ofstream(dir_.file("set.ini")) << "[/x]\n特征值=1\n";
    LoadIdentificationList(list(mw::超级列表框3), dir_.file("setok.ini"));
    LoadExperimentList(list(mw::超级列表框1), dir_.file("set.ini"));

    list(mw::超级列表框3).setCheckState(0, check_state::kChecked);
    click(mw::按钮15);  // 选定文件改名
    EXPECT_TRUE(fs::exists(dir_.file("in/a.txt")));
    // The renamed entry is written anew, so it now comes last.
    EXPECT_EQ(list(mw::超级列表框3).itemText(1, identification_column::kPath), dir_.file("in/a.txt"));

    list(mw::超级列表框3).setCheckState(0, check_state::kChecked);
    click(mw::按钮9);  // 删除
    EXPECT_EQ(list(mw::超级列表框3).itemCount(), 1);
    click(mw::按钮16);  // 清空
    EXPECT_EQ(list(mw::超级列表框3).itemCount(), 0);

    list(mw::超级列表框1).setCheckState(0, check_state::kChecked);
    click(mw::按钮12);  // 删除选定特征值
    EXPECT_EQ(list(mw::超级列表框1).itemCount(), 0);
    click(mw::按钮2);  // 清空特征值
    EXPECT_EQ(fs::file_size(dir_.file("set.ini")), 0u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FlowHandlersTest, failedRenamesAreShownAsAMessage) {
    const std::string a = dir_.write("in/a.dat", "0123456789");
    dir_.write("in/a.txt", "taken");
    std::ofstream(dir_.file("setok.ini")) << "[" << a << "]\ntype1=txt\n";
    LoadIdentificationList(list(mw::超级列表框3), dir_.file("setok.ini"));
    list(mw::超级列表框3).setCheckState(0, check_state::kChecked);
    click(mw::按钮15);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(a), std::string::npos) << messages_[0];
}

TEST_F(FlowHandlersTest, pickAndStoreButtonsFillEditorAndLibraries) {
    const std::string file = dir_.write("in/pic.png", std::string("\x89PNG\r\n\x1a\n\0\x0d", 10));
    FileDialog::setPresenter([&](const FileDialogSettings&) { return std::optional<std::string>(file); });
    click(mw::按钮1);
    EXPECT_EQ(box(mw::编辑框3).text(), "png");

    click(mw::按钮3);  // 存入->实验库
    EXPECT_EQ(list(mw::超级列表框1).itemCount(), 1);

    // The confirmed library as start-up leaves it: the store, its connection and the open table.
    const std::string library = LibraryPathIn(dir_.path());
    ASSERT_NE(ensureStoreExists(library).outcome, StoreCreation::Failed);
    auto& connection = model_.resolveAs<DatabaseConnection>(mw::数据库连接1);
    ASSERT_TRUE(connection.connectToAccessFile(library, std::string(kStorePassword)));
    auto& recordSet = model_.resolveAs<RecordSet>(mw::记录集1);
    ASSERT_TRUE(recordSet.setConnection(&connection));
    ASSERT_TRUE(recordSet.open("文件特征值库", 2));

    click(mw::按钮4);  // 存入->确认库
    EXPECT_EQ(list(mw::超级列表框2).itemCount(), 1);
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    click(mw::按钮4);
    EXPECT_TRUE(model_.isLoaded(message_window::kWindowId)) << "a duplicate opens the message window";
    EXPECT_EQ(list(mw::超级列表框2).itemCount(), 1);
}

TEST_F(FlowHandlersTest, storeToConfirmedWithBothFieldsEmptyDoesNothing) {
    FlowUnits units = MainWindowFlowUnits(model_, dir_.path());
    ConfirmedLibraryUnits confirmed = mainWindowConfirmedLibrary(LibraryPathIn(dir_.path()), model_);
    EXPECT_EQ(StoreEditorToConfirmed(units, confirmed), StoreToConfirmedOutcome::NothingToStore);
    EXPECT_FALSE(fs::exists(LibraryPathIn(dir_.path())));
}

}  // namespace
}  // namespace vex
