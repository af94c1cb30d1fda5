// The window works from the keyboard: Tab reaches controls that show their
// focus, Space checks a row, Ctrl+A and Delete run the list's commands, and
// Enter or Esc close the message window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/gui/window_views.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        model().reset();
        registerWindowLayouts(model());
        for (const UnitLayout& unit : mainWindowLayout().units)
            for (const EventBinding& binding : unit.bindings) record(binding.handler);
        windows_ = std::make_unique<DesktopWindows>(model());
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        for (UnitRef list : {mw::experimentList, mw::confirmedList, mw::identificationList})
            unitAt<ReportList>(list).appendRows({{"1", "png", "89504E47"}, {"2", "zip", "504B0304"}});
        activate(top());
    }
    void TearDown() override {
        model().reset();
        windows_.reset();
    }

    static WindowModel& model() { return WindowModel::instance(); }
    QWidget* top() { return windows_->windowWidget(mw::kWindowId); }

    static void activate(QWidget* window) {
        window->activateWindow();
        QApplication::setActiveWindow(window);
        QApplication::processEvents();
    }

    void record(const std::string& name) {
        if (name.empty()) return;
        model().handlers().add(name, [this, name](const std::vector<Value>& arguments) {
            calls_.push_back(name);
            arguments_.push_back(arguments);
            return Value();
        });
    }

    QImage look(QWidget* widget) {
        QApplication::processEvents();
        const QRect area(widget->mapTo(top(), QPoint(0, 0)), widget->size());
        return top()->grab(area).toImage();
    }

    std::unique_ptr<DesktopWindows> windows_;
    std::vector<std::string> calls_;
    std::vector<std::vector<Value>> arguments_;
};

TEST_F(KeyboardTest, everyControlTabReachesShowsItsFocus) {
    auto* tabs = qobject_cast<QTabWidget*>(windows_->unitWidget(mw::pages));
    ASSERT_NE(tabs, nullptr);
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        activate(top());
        // Walk the tab order from the page's first control until it comes round again.
        std::set<QWidget*> seen;
        QWidget* current = nullptr;
        for (int step = 0; step < 40; ++step) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : top(), Qt::Key_Tab);
            current = QApplication::focusWidget();
            ASSERT_NE(current, nullptr) << "page " << page + 1;
            if (!seen.insert(current).second) break;
        }
        EXPECT_GE(seen.size(), page == 3 ? 2u : 4u) << "page " << page + 1;
        for (QWidget* control : seen) {
            control->setFocus(Qt::TabFocusReason);
            const QImage focused = look(control);
            control->clearFocus();
            const QImage unfocused = look(control);
            EXPECT_NE(focused, unfocused)
                << "page " << page + 1 << ": " << control->objectName().toStdString() << " shows no focus";
        }
    }
}

struct ListKeys {
    UnitRef list;
    int page;
    std::string checkAll;
    std::string deleteChecked;
};

TEST_F(KeyboardTest, spaceChecksTheRowCtrlAAndDeleteRunTheListsCommands) {
    for (const ListKeys& c :
         {ListKeys{mw::experimentList, 0, "CheckAllRows", "DeleteCheckedExperiments"},
          ListKeys{mw::confirmedList, 1, "CheckAllRows", "DeleteCheckedConfirmed"},
          ListKeys{mw::identificationList, 2, "CheckAllRows", "DeleteCheckedIdentifications"}}) {
        SCOPED_TRACE("page " + std::to_string(c.page + 1));
        qobject_cast<QTabWidget*>(windows_->unitWidget(mw::pages))->setCurrentIndex(c.page);
        auto* view = qobject_cast<QTableView*>(windows_->unitWidget(c.list));
        ASSERT_NE(view, nullptr);
        ReportList& list = unitAt<ReportList>(c.list);
        view->setFocus(Qt::TabFocusReason);
        // Space works on the current row, whichever of its cells is current.
        view->setCurrentIndex(view->model()->index(1, 2));
        QTest::keyClick(view, Qt::Key_Space);
        EXPECT_EQ(list.checkState(1), check_state::kChecked);
        EXPECT_EQ(list.checkState(0), check_state::kUnchecked);
        QTest::keyClick(view, Qt::Key_Space);
        EXPECT_EQ(list.checkState(1), check_state::kUnchecked);

        calls_.clear();
        arguments_.clear();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Delete);
        ASSERT_EQ(calls_, (std::vector<std::string>{c.checkAll, c.deleteChecked}));
        // Ctrl+A checks this list, not another page's.
        ASSERT_EQ(arguments_[0].size(), 1u);
        EXPECT_EQ(arguments_[0][0], Value(c.list));

        // A disabled button is not run by its key either.
        windows_->unitWidget({mw::kWindowId, mainWindowLayout().findUnit(c.list.unit)->keyClicks[1].second})
            ->setEnabled(false);
        calls_.clear();
        QTest::keyClick(view, Qt::Key_Delete);
        EXPECT_TRUE(calls_.empty());
    }
}

TEST_F(KeyboardTest, enterAndEscapeCloseTheMessageWindow) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model()));
        QWidget* message = windows_->windowWidget(message_window::kWindowId);
        ASSERT_NE(message, nullptr);
        activate(message);
        QTest::keyClick(message, key);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        EXPECT_EQ(windows_->windowWidget(message_window::kWindowId), nullptr) << "key " << key;
        EXPECT_NE(top(), nullptr) << "the main window stays";
    }
    // The main window has controls: Esc there closes nothing.
    QTest::keyClick(top(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_NE(top(), nullptr);
}

}  // namespace
}  // namespace vex
