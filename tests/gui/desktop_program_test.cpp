// The desktop program end to end on a temporary data directory: start-up,
// drops on both lists, the buttons and the home page, with the real handlers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "library/store.h"
#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/drop_target.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/report_list.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window_handlers.h"
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
        setDataDirectoryOverride(dir_.string());
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        setWebAddressOpener([this](const std::string& address) {
            opened_.push_back(address);
            return true;
        });
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
    }

    void start(Progress progress = {}) {
        WindowModel& model = WindowModel::instance();
        model.reset();
        windows_ = std::make_unique<DesktopWindows>(model);
        installDropTargetRegistrar(*windows_);
        registerMainWindowHandlers(model, DataDirectory::current, std::move(progress));
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
        for (const fs::path& path : paths)
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path.string())));
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

    test::TempDir temp_;
    fs::path dir_{temp_.path()};
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
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 0);
    EXPECT_FALSE(fs::exists(dir_ / "set.ini"));
    EXPECT_FALSE(fs::exists(dir_ / "setok.ini"));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DesktopProgramTest, aFolderNamedLikeTheStoreGivesOneMessageAndAnEmptyList) {
    fs::create_directory(dir_ / "data.mdb");
    start();
    EXPECT_TRUE(fs::is_directory(dir_ / "data.mdb"));
    EXPECT_EQ(messages_.size(), 1u);
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 0);
}

// The button never fails silently: whether no opener starts at all, or xdg-open
// starts and then finds no browser (exit 3), the message names the page's path.
TEST_F(DesktopProgramTest, theHomePageWithoutABrowserNamesItsPath) {
    start();
    const std::string path = homePageAddress().substr(std::string("file://").size());
    setWebAddressOpener([](const std::string&) { return false; });
    click(mw::homePageButton);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(path), std::string::npos) << messages_[0];

    setWebAddressOpener({});
    const fs::path tools = dir_ / "tools";
    fs::create_directories(tools);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (tools.string() + ":" + oldPath).c_str(), 1);
    for (const int exitStatus : {0, 3}) {
        messages_.clear();
        std::ofstream(tools / "xdg-open") << "#!/bin/sh\nexit " << exitStatus << "\n";
        fs::permissions(tools / "xdg-open", fs::perms::owner_all);
        click(mw::homePageButton);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < (exitStatus == 0 ? 1000 : 10000) && messages_.empty())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (exitStatus == 0) {
            EXPECT_TRUE(messages_.empty()) << messages_[0];
        } else {
            ASSERT_EQ(messages_.size(), 1u) << "xdg-open's late failure is reported";
            EXPECT_NE(messages_[0].find(path), std::string::npos) << messages_[0];
        }
    }
    ::setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(DesktopProgramTest, headerClicksSortBothWaysAndTheHomePageOpens) {
    start();
    list(mw::confirmedList).appendRows({{"1", "exe", "4D5A"}, {"2", "TXT", "EFBB"}, {"3", "png", "8950"}});
    QHeaderView* header =
        qobject_cast<QTableView*>(windows_->unitWidget(mw::confirmedList))->horizontalHeader();
    emit header->sectionClicked(1);
    EXPECT_EQ(list(mw::confirmedList).itemText(0, 1), "TXT");
    EXPECT_EQ(unitAt<Label>(mw::sortDirectionLabel).text(), "1");
    emit header->sectionClicked(1);
    EXPECT_EQ(list(mw::confirmedList).itemText(0, 1), "exe");
    EXPECT_EQ(unitAt<Label>(mw::sortDirectionLabel).text(), "2");

    click(mw::homePageButton);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].rfind("file://", 0), 0u);
    EXPECT_NE(opened_[0].find("index.html"), std::string::npos);
}

TEST_F(DesktopProgramTest, dropsSampleConfirmAndIdentify) {
    start();
    const fs::path png = writeFile("logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const fs::path tiny = writeFile("tiny.bin", "abc");
    const fs::path folder = dir_ / "folder.d";
    fs::create_directory(folder);

    ASSERT_TRUE(drop(mw::experimentList, {png, tiny, folder}));
    ASSERT_EQ(list(mw::experimentList).itemCount(), 2) << "the folder is skipped";
    EXPECT_TRUE(fs::exists(dir_ / "set.ini"));
    EXPECT_EQ(text(mw::sampleSignatureEdit), "无法读取，文件太短")
        << "the last dropped file stays in the editor";

    // Double-click the PNG row, then store it in the confirmed library.
    const int pngRow = list(mw::experimentList).findItem(png.string(), 0, true, 3);
    ASSERT_GE(pngRow, 0);
    list(mw::experimentList).selectItem(pngRow);
    WindowModel::instance().raiseEvent(
        mw::experimentList, event::kDoubleClicked,
        {Value(std::int32_t{1}), Value(std::int32_t{1}), Value(std::int32_t{1})});
    EXPECT_EQ(text(mw::confirmSignatureEdit), "89504E470D0A1A0A0000");
    EXPECT_EQ(text(mw::confirmTypeEdit), "png");
    click(mw::storeToConfirmedButton);
    ASSERT_EQ(list(mw::confirmedList).itemCount(), 1);

    const fs::path unknown = writeFile("FILE0001.CHK", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    ASSERT_TRUE(drop(mw::identificationList, {unknown, tiny, folder}));
    ASSERT_EQ(list(mw::identificationList).itemCount(), 2);
    const int row = list(mw::identificationList).findItem(unknown.string(), 0, true, 3);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list(mw::identificationList).itemText(row, 4), "png");

    // A second confirmation of the same value opens the message window instead.
    click(mw::storeToConfirmedButton);
    EXPECT_TRUE(WindowModel::instance().isLoaded(message_window::kWindowId));
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 1);
}

// The progress dialog of a long drop keeps the window painting, and a close from the
// window manager is not user input: it can arrive while the drop is still running.
TEST_F(DesktopProgramTest, closingTheWindowDuringALongDropLosesNothing) {
    bool closed = false;
    start([&](std::size_t done, std::size_t total) {
        if (closed || done != total / 2) return;
        closed = true;
        windows_->unitWidget(mw::identificationList)->window()->close();
        for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    std::vector<fs::path> files;
    for (int i = 0; i < 300; ++i)
        files.push_back(writeFile("F" + std::to_string(i) + ".CHK", "0123456789abc"));
    ASSERT_TRUE(drop(mw::identificationList, files));
    EXPECT_TRUE(closed);
    std::ifstream ini(dir_ / "setok.ini");
    const std::string saved((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    for (const fs::path& file : files)
        EXPECT_NE(saved.find("[" + file.string() + "]"), std::string::npos) << file;
}

// A script identifying other files while the window's drop is being read: the
// window's merge, under the data directory's lock, keeps the script's entries.
TEST_F(DesktopProgramTest, aDropDuringACommandLineRunKeepsBothRunsEntries) {
    std::vector<fs::path> windowFiles, scriptFiles;
    for (int i = 0; i < 200; ++i) {
        windowFiles.push_back(writeFile("W" + std::to_string(i) + ".CHK", "0123456789abc"));
        scriptFiles.push_back(writeFile("S" + std::to_string(i) + ".CHK", "9876543210abc"));
    }
    int scriptExit = -1;
    start([&](std::size_t done, std::size_t total) {
        if (scriptExit != -1 || done != total / 2) return;
        QStringList arguments{QStringLiteral("--data-dir"), QString::fromStdString(dir_.string()),
                              QStringLiteral("identify")};
        for (const fs::path& file : scriptFiles) arguments.append(QString::fromStdString(file.string()));
        scriptExit = QProcess::execute(QCoreApplication::applicationDirPath() + "/vexorin-cli", arguments);
    });
    ASSERT_TRUE(drop(mw::identificationList, windowFiles));
    ASSERT_EQ(scriptExit, 0);
    std::ifstream ini(dir_ / "setok.ini");
    const std::string saved((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    for (const auto* files : {&windowFiles, &scriptFiles})
        for (const fs::path& file : *files)
            EXPECT_NE(saved.find("[" + file.string() + "]"), std::string::npos) << file;
}

TEST_F(DesktopProgramTest, everyButtonRunsWithoutAFault) {
    start();
    const fs::path png = writeFile("a.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    ASSERT_TRUE(drop(mw::experimentList, {png}));
    ASSERT_TRUE(drop(mw::identificationList, {png}));
    for (UnitRef button :
         {mw::pickFileButton, mw::storeToExperimentButton, mw::experimentCheckAllButton,
          mw::experimentInvertButton, mw::storeToConfirmedButton, mw::confirmedCheckAllButton,
          mw::confirmedInvertButton, mw::identificationCheckAllButton, mw::identificationInvertButton,
          mw::renameButton, mw::identificationDeleteButton, mw::confirmedDeleteButton,
          mw::experimentDeleteButton, mw::experimentClearButton, mw::identificationClearButton,
          mw::confirmedClearButton}) {
        click(button);
        QApplication::processEvents();
    }
    EXPECT_EQ(list(mw::experimentList).itemCount(), 0);
    EXPECT_EQ(list(mw::confirmedList).itemCount(), 0);
    EXPECT_EQ(list(mw::identificationList).itemCount(), 0);
    unitAt<EditBox>(mw::samplePathEdit).setText(png.string());
    QTest::mouseDClick(windows_->unitWidget(mw::samplePathEdit), Qt::LeftButton);
    EXPECT_EQ(revealed_, std::vector<std::string>{png.string()});
}

TEST_F(DesktopProgramTest, everyBoundHandlerIsRegistered) {
    WindowModel& model = WindowModel::instance();
    model.reset();
    registerMainWindowHandlers(model, DataDirectory::current);
    for (const WindowLayout& layout : {mainWindowLayout(), messageWindowLayout()}) {
        for (const EventBinding& binding : layout.bindings) {
            EXPECT_TRUE(binding.handler.empty() || model.handlers().find(binding.handler)) << binding.handler;
        }
        for (const UnitLayout& unit : layout.units) {
            for (const EventBinding& binding : unit.bindings) {
                EXPECT_TRUE(binding.handler.empty() || model.handlers().find(binding.handler))
                    << unit.name << " " << binding.handler;
            }
        }
    }
}

}  // namespace
}  // namespace vex
