// The lists' context menus on the real window: a right click, Shift+F10 or the
// Menu key opens the same menu, in the window's language, and its entries
// import a CSV into the confirmed library, export it and bring back the
// library after it was cleared.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "flow/library_exchange.h"
#include "runtime/file_dialog.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/questions.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class ContextMenusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        model().reset();
        windows_ = std::make_unique<DesktopWindows>(model());
        registerMainWindowHandlers(model(), [this] { return data_; });
        registerWindowLayouts(model());
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        setQuestionAnswerer([this](const Question& question) {
            questions_.push_back(question);
            return std::optional<std::size_t>(0);
        });
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }
    void TearDown() override {
        model().reset();
        windows_.reset();
        setMessagePresenter({});
        setQuestionAnswerer({});
        FileDialog::setPresenter({});
        useLanguage(Language::Chinese);
    }

    static WindowModel& model() { return WindowModel::instance(); }
    QTableView* view(UnitRef list) { return qobject_cast<QTableView*>(windows_->unitWidget(list)); }

    // A right click in the list, as the platform reports it.
    std::function<void()> rightClick(UnitRef list) {
        return [this, list] {
            QWidget* viewport = view(list)->viewport();
            const QPoint at(20, 10);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &event);
        };
    }
    std::function<void()> key(UnitRef list, Qt::Key pressed,
                              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [this, list, pressed, modifiers] { QTest::keyClick(view(list), pressed, modifiers); };
    }

    // Opens a menu with `open` and, once it is up, takes the entry whose text
    // is `pick` (nothing: closes it). The texts of its entries; empty when no menu opened.
    QStringList useMenu(const std::function<void()>& open, const QString& pick = {}) {
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                texts.append(action->text());
                if (!pick.isEmpty() && action->text() == pick) chosen = action;
            }
            if (chosen == nullptr) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return;
            }
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        open();
        QApplication::processEvents();
        return texts;
    }

    std::vector<std::string> signatures() {
        std::vector<std::string> listed;
        const auto& list = unitAt<ReportList>(mw::confirmedList);
        for (int item = 0; item < list.itemCount(); ++item) listed.push_back(list.itemText(item, 2));
        return listed;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    std::unique_ptr<DesktopWindows> windows_;
    std::vector<std::string> messages_;
    std::vector<Question> questions_;
};

TEST_F(ContextMenusWindowTest, eachListOpensItsMenuByMouseAndKeyboardInTheWindowsLanguage) {
    useLanguage(Language::Chinese);
    const QStringList library = {QStringLiteral("导入…"),
                                 QStringLiteral("导出…"),
                                 QString(),
                                 QStringLiteral("导入常用文件特征值"),
                                 QString(),
                                 QStringLiteral("恢复清空前的确认库…")};
    EXPECT_EQ(useMenu(rightClick(mw::confirmedList)), library);
    EXPECT_EQ(useMenu(key(mw::confirmedList, Qt::Key_F10, Qt::ShiftModifier)), library);
    EXPECT_EQ(useMenu(key(mw::confirmedList, Qt::Key_Menu)), library);
    EXPECT_EQ(useMenu(rightClick(mw::identificationList)), QStringList{QStringLiteral("恢复清空前的列表…")});
    EXPECT_EQ(useMenu(key(mw::experimentList, Qt::Key_Menu)), QStringList{QStringLiteral("恢复…")});
    EXPECT_TRUE(useMenu(key(mw::confirmedList, Qt::Key_F10)).isEmpty()) << "F10 alone opens nothing";

    useLanguage(Language::English);
    EXPECT_EQ(useMenu(rightClick(mw::confirmedList)).value(0), QStringLiteral("Import…"));
    EXPECT_EQ(useMenu(rightClick(mw::experimentList)), QStringList{QStringLiteral("Restore…")});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ContextMenusWindowTest, importExportAndRestoreRunThroughTheMenu) {
    useLanguage(Language::English);
    const std::string csv =
        dir_.write("colleague.csv", "signature,type\n89504E470D0A1A0A,png\n25504446,pdf\n");
    const std::string exported = dir_.file("mine.json");
    FileDialog::setPresenter([&](const FileDialogSettings& settings) {
        return std::optional<std::string>(settings.kind == FileDialog::kOpen ? csv : exported);
    });

    useMenu(rightClick(mw::confirmedList), QStringLiteral("Import…"));
    const std::vector<std::string> imported = {"89504E470D0A1A0A", "25504446"};
    EXPECT_EQ(signatures(), imported);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_.back().find("added 2, skipped 0, conflicts 0, bad rows 0"), std::string::npos)
        << messages_.back();

    useMenu(key(mw::confirmedList, Qt::Key_Menu), QStringLiteral("Export…"));
    const ParsedExchange written = parseExchange(test::readAll(exported), ExchangeFormat::Json);
    ASSERT_EQ(written.rows.size(), 2u);
    EXPECT_EQ(written.rows[1].type, "pdf");

    qobject_cast<QPushButton*>(windows_->unitWidget(mw::confirmedClearButton))->click();
    QApplication::processEvents();
    EXPECT_TRUE(signatures().empty());

    useMenu(rightClick(mw::confirmedList), QStringLiteral("Restore a cleared library…"));
    ASSERT_EQ(questions_.size(), 1u) << "one kept library: the user is asked before it comes back";
    EXPECT_EQ(signatures(), imported);
    EXPECT_NE(messages_.back().find("Brought back"), std::string::npos) << messages_.back();
}

}  // namespace
}  // namespace vex
