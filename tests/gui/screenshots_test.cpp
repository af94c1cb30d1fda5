// Pictures of the four pages and the message window for the README, in both
// languages, taken after the three steps were worked through the window's own
// handlers: sample files dropped, typical rows confirmed, unknown files dropped.
// Runs only when VEXORIN_SCREENSHOT_DIR names the folder to write them to, under
// a real display server (xvfb-run), since the offscreen platform draws no fonts:
//   VEXORIN_SCREENSHOT_DIR=docs/screenshots xvfb-run -a build/bin/test_gui --gtest_filter='Screenshots.*'
// The context menus are separate windows, so they are taken from the screen with
// ImageMagick's import, under a window manager (openbox) that frames the window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;
namespace fs = std::filesystem;

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

class Workflow {
public:
    explicit Workflow(DesktopWindows& windows) : windows_(windows) {}

    void drop(UnitRef list, const std::vector<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& path : paths)
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path.string())));
        data.setUrls(urls);
        QWidget* viewport = qobject_cast<QTableView*>(windows_.unitWidget(list))->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropEvent);
        settle();
    }
    // Step 2 as a user takes it: double-click the row, then the confirm button.
    void confirmRow(int row) {
        unitAt<ReportList>(mw::experimentList).selectItem(row);
        WindowModel::instance().raiseEvent(
            mw::experimentList, unit_event::kDoubleClicked,
            {Value(std::int32_t{5}), Value(std::int32_t{5}), Value(std::int32_t{1})});
        qobject_cast<QPushButton*>(windows_.unitWidget(mw::storeToConfirmedButton))->click();
        settle();
    }

private:
    DesktopWindows& windows_;
};

fs::path writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(Screenshots, ofEveryPageAndTheMessageWindowInBothLanguages) {
    const char* folder = std::getenv("VEXORIN_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        GTEST_SKIP() << "set VEXORIN_SCREENSHOT_DIR to take screenshots";
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(folder)));

    for (Language language : {Language::Chinese, Language::English}) {
        useLanguage(language);
        const QString suffix = language == Language::English ? QStringLiteral("-en") : QString();
        test::TempDir temp;
        const fs::path home = fs::path(temp.path());
        setDataDirectoryOverride((home / "data").string());
        std::vector<std::string> messages;
        setMessagePresenter(
            [&](MessageKind, const std::string& text, const std::string&) { messages.push_back(text); });

        const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        const std::string pdf = "%PDF-1.5\r\n%\xe2\xe3\xcf\xd3";
        const std::string zip("PK\x03\x04\x14\0\0\0\x08\0", 10);
        const std::string jpg("\xff\xd8\xff\xe0\0\x10JFIF\0", 11);
        const fs::path samples = home / "samples";
        const std::vector<fs::path> known = {
            writeFile(samples / "logo.png", png), writeFile(samples / "manual.pdf", pdf),
            writeFile(samples / "backup.zip", zip), writeFile(samples / "holiday.jpg", jpg)};
        const fs::path found = home / "FOUND.000";
        const std::vector<fs::path> unknown = {writeFile(found / "FILE0001.CHK", png),
                                               writeFile(found / "FILE0002.CHK", zip),
                                               writeFile(found / "FILE0003.CHK", jpg),
                                               writeFile(found / "FILE0004.CHK", std::string(12, '\x07'))};

        WindowModel& model = WindowModel::instance();
        model.reset();
        DesktopWindows windows(model);
        installDropTargetRegistrar(windows);
        registerMainWindowHandlers(model, DataDirectory::current);
        registerWindowLayouts(model);
        ASSERT_TRUE(model.loadWindow(mw::kWindowId));
        settle();

        Workflow workflow(windows);
        workflow.drop(mw::experimentList, known);            // step 1
        for (int row : {0, 1, 2}) workflow.confirmRow(row);  // step 2: png, pdf, zip
        workflow.drop(mw::identificationList, unknown);      // step 3
        ReportList& results = unitAt<ReportList>(mw::identificationList);
        ASSERT_EQ(results.itemCount(), 4);
        EXPECT_EQ(results.itemText(0, 4), "png");
        results.setCheckState(0, check_state::kChecked);
        results.setCheckState(1, check_state::kChecked);
        results.selectItem(0);
        model.raiseEvent(mw::identificationList, unit_event::kDoubleClicked,
                         {Value(std::int32_t{5}), Value(std::int32_t{5}), Value(std::int32_t{1})});
        EXPECT_TRUE(messages.empty()) << messages.front();

        auto* tabs = qobject_cast<QTabWidget*>(windows.unitWidget(mw::pages));
        ASSERT_NE(tabs, nullptr);
        QWidget* window = windows.windowWidget(mw::kWindowId);
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            settle();
            const QString file = QStringLiteral("%1/page%2%3.png")
                                     .arg(QString::fromLocal8Bit(folder))
                                     .arg(page + 1)
                                     .arg(suffix);
            EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
        }

        // Step 2 again with a value already stored opens the message window.
        tabs->setCurrentIndex(0);
        workflow.confirmRow(0);
        QWidget* message = windows.windowWidget(message_window::kWindowId);
        ASSERT_NE(message, nullptr);
        settle();
        const QString file =
            QStringLiteral("%1/message-window%2.png").arg(QString::fromLocal8Bit(folder), suffix);
        EXPECT_TRUE(message->grab().save(file));
        model.reset();
        setMessagePresenter({});
        setDataDirectoryOverride({});
    }
    useLanguage(Language::Chinese);
}

// The part of the screen that shows the window and the menu open over it.
QRect shownArea(QWidget* window, QWidget* menu) {
    return window->frameGeometry().united(menu->frameGeometry()).adjusted(-2, -2, 2, 2);
}

TEST(Screenshots, ofTheListsContextMenusInBothLanguages) {
    const char* folder = std::getenv("VEXORIN_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        GTEST_SKIP() << "set VEXORIN_SCREENSHOT_DIR to take screenshots";
    if (QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty())
        GTEST_SKIP() << "ImageMagick's import takes the screen";

    for (Language language : {Language::Chinese, Language::English}) {
        useLanguage(language);
        const QString suffix = language == Language::English ? QStringLiteral("-en") : QString();
        test::TempDir temp;
        const fs::path home = fs::path(temp.path());
        setDataDirectoryOverride((home / "data").string());
        setMessagePresenter([](MessageKind, const std::string&, const std::string&) {});
        const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        const std::string pdf = "%PDF-1.5\r\n%\xe2\xe3\xcf\xd3";
        const std::vector<fs::path> known = {writeFile(home / "samples" / "logo.png", png),
                                             writeFile(home / "samples" / "manual.pdf", pdf)};
        const std::vector<fs::path> unknown = {writeFile(home / "FOUND.000" / "FILE0001.CHK", png),
                                               writeFile(home / "FOUND.000" / "FILE0002.CHK", pdf)};

        WindowModel& model = WindowModel::instance();
        model.reset();
        DesktopWindows windows(model);
        installDropTargetRegistrar(windows);
        registerMainWindowHandlers(model, DataDirectory::current);
        registerWindowLayouts(model);
        ASSERT_TRUE(model.loadWindow(mw::kWindowId));
        settle();
        Workflow workflow(windows);
        workflow.drop(mw::experimentList, known);
        for (int row : {0, 1}) workflow.confirmRow(row);
        workflow.drop(mw::identificationList, unknown);

        auto* tabs = qobject_cast<QTabWidget*>(windows.unitWidget(mw::pages));
        QWidget* window = windows.windowWidget(mw::kWindowId);
        const std::pair<UnitRef, int> lists[] = {
            {mw::experimentList, 0}, {mw::confirmedList, 1}, {mw::identificationList, 2}};
        for (const auto& [list, page] : lists) {
            tabs->setCurrentIndex(page);
            window->activateWindow();
            QTest::qWait(300);
            const QString file = QStringLiteral("%1/menu-page%2%3.png")
                                     .arg(QString::fromLocal8Bit(folder))
                                     .arg(page + 1)
                                     .arg(suffix);
            bool taken = false;
            QTimer::singleShot(500, [&] {
                QWidget* menu = QApplication::activePopupWidget();
                if (menu == nullptr) return;
                const QRect area = shownArea(window, menu);
                taken = QProcess::execute(
                            QStringLiteral("import"),
                            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                             QStringLiteral("%1x%2+%3+%4")
                                 .arg(area.width())
                                 .arg(area.height())
                                 .arg(area.x())
                                 .arg(area.y()),
                             QStringLiteral("+repage"), file}) == 0;
                QTest::keyClick(menu, Qt::Key_Escape);
            });
            QWidget* viewport = qobject_cast<QTableView*>(windows.unitWidget(list))->viewport();
            const QPoint at(160, 12);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &event);
            settle();
            EXPECT_TRUE(taken) << file.toStdString();
        }
        model.reset();
        setMessagePresenter({});
        setDataDirectoryOverride({});
    }
    useLanguage(Language::Chinese);
}

}  // namespace
}  // namespace vex
