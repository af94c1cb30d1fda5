// The desktop program end to end on a temporary data directory: start-up,
// drops on both lists, the buttons and the home page, with the real handlers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "library/store.h"
#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/drop_target.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/row_commands.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
namespace mw = main_window;

class DesktopProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexorin-gui-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setDataDirectoryOverride(dir_.string());
        setMessagePresenter([this](MessageKind, const std::string& text, const std::string&) {
            messages_.push_back(text);
        });
        setWebAddressOpener([this](const std::string& address) { opened_.push_back(address); });
        setRevealHook([this](const std::string& path, const std::string&) { revealed_.push_back(path); });
    }
    void TearDown() override {
        WindowModel::instance().reset();
        windows_.reset();
        DropTarget::setPlatformRegistrar({});
        setMessagePresenter({});
        setWebAddressOpener({});
        setRevealHook({});
        setDataDirectoryOverride({});
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    void start() {
        WindowModel& model = WindowModel::instance();
        model.reset();
        windows_ = std::make_unique<DesktopWindows>(model);
        installDropTargetRegistrar(*windows_);
        registerApplicationHandlers(model);
        registerWindowLayouts(model);
        ASSERT_TRUE(model.loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }

    fs::path writeFile(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    QWidget* viewport(UnitRef list) {
        return qobject_cast<QTableView*>(windows_->unitWidget(list))->viewport();
    }

    bool drop(UnitRef list, const std::vector<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& path : paths) urls.append(QUrl::fromLocalFile(QString::fromStdString(path.string())));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(list), &enter);
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(list), &dropEvent);
        return dropEvent.isAccepted();
    }

    void click(UnitRef button) { qobject_cast<QPushButton*>(windows_->unitWidget(button))->click(); }
    static ReportList& list(UnitRef ref) { return unitAt<ReportList>(ref); }
    static std::string text(UnitRef ref) { return unitAt<EditBox>(ref).text(); }

    fs::path dir_;
    std::unique_ptr<DesktopWindows> windows_;
    std::vector<std::string> messages_;
    std::vector<std::string> opened_;
    std::vector<std::string> revealed_;
};

TEST_F(DesktopProgramTest, firstStartWritesTheEmptyStoreAndNoListFiles) {
    start();
    const fs::path store = dir_ / "data.mdb";
    ASSERT_TRUE(fs::is_regular_file(store));
    EXPECT_EQ(fs::file_size(store), emptyStoreImage().size());
    EXPECT_EQ(list(mw::超级列表框2).itemCount(), 0);
    EXPECT_FALSE(fs::exists(dir_ / "set.ini"));
    EXPECT_FALSE(fs::exists(dir_ / "setok.ini"));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DesktopProgramTest, aFolderNamedLikeTheStoreGivesOneMessageAndAnEmptyList) {
    fs::create_directory(dir_ / "data.mdb");
    start();
    EXPECT_TRUE(fs::is_directory(dir_ / "data.mdb"));
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(list(mw::超级列表框2).itemCount(), 0);
}

TEST_F(DesktopProgramTest, headerClicksSortBothWaysAndTheHomePageOpens) {
    start();
    list(mw::超级列表框2).appendRows({{"1", "exe", "4D5A"}, {"2", "TXT", "EFBB"}, {"3", "png", "8950"}});
    QHeaderView* header = qobject_cast<QTableView*>(windows_->unitWidget(mw::超级列表框2))->horizontalHeader();
    emit header->sectionClicked(1);
    EXPECT_EQ(list(mw::超级列表框2).itemText(0, 1), "TXT");
    EXPECT_EQ(unitAt<Label>(mw::标签1).text(), "1");
    emit header->sectionClicked(1);
    EXPECT_EQ(list(mw::超级列表框2).itemText(0, 1), "exe");
    EXPECT_EQ(unitAt<Label>(mw::标签1).text(), "2");

    click(mw::按钮11);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].rfind("file://", 0), 0u);
    EXPECT_NE(opened_[0].find("index.html"), std::string::npos);
}

}  // namespace
}  // namespace vex
