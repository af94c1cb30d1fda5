// The check loops let window events run between rows; whatever those events
// do to the list, the loop carries on safely.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/row_commands.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class RowCommandYieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowModel::instance().reset();
        session_ = std::make_unique<MainWindowSession>();
        rows().appendRows({{"1"}, {"2"}, {"3"}, {"4"}});
    }
    void TearDown() override {
        session_.reset();
        WindowModel::instance().reset();
    }
    static ReportList& rows() { return unitAt<ReportList>(mw::experimentList); }

    std::unique_ptr<MainWindowSession> session_;
};

TEST_F(RowCommandYieldTest, rowsRemovedDuringTheLoopAreSkipped) {
    QTimer::singleShot(0, [] { rows().deleteAllItems(); });
    CheckAllRows(mw::experimentList);
    EXPECT_EQ(rows().itemCount(), 0);
}

TEST_F(RowCommandYieldTest, rowsAddedDuringTheLoopAreNotVisited) {
    QTimer::singleShot(0, [] { rows().appendRows({{"5"}}); });
    InvertRowChecks(mw::experimentList);
    ASSERT_EQ(rows().itemCount(), 5);
    EXPECT_EQ(rows().checkState(3), check_state::kChecked);
    EXPECT_EQ(rows().checkState(4), check_state::kUnchecked);
}

TEST_F(RowCommandYieldTest, closingTheWindowDuringTheLoopEndsItQuietly) {
    QTimer::singleShot(0, [] { WindowModel::instance().closeWindow(mw::kWindowId); });
    CheckAllRows(mw::experimentList);
    EXPECT_FALSE(WindowModel::instance().isLoaded(mw::kWindowId));
}

}  // namespace
}  // namespace vex
