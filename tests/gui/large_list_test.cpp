// Lists of 200,000 entries through the real window: they load while the window
// keeps handling events, the rows in sight show their own texts, and sort,
// check and delete act on the rows they name. What the user changes while a
// list loads (a drop, a cancelled drop) is never overwritten by the load.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <fstream>
#include <memory>

#include "flow/confirm.h"
#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/drop_target.h"
#include "runtime/gui/background_work.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "tests/gui/drop_events.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;
namespace col = identification_column;

constexpr int kEntries = 200000;

std::string pathOf(int entry) {
    char path[32];
    std::snprintf(path, sizeof path, "/r/f%06d.dat", entry);
    return path;
}
// Grows with the entry, so a sort by signature orders the entries by number.
std::string signatureOf(int entry) {
    char signature[24];
    std::snprintf(signature, sizeof signature, "%020X", 0x4D5A0000 + entry);
    return signature;
}

class LargeList : public ::testing::Test {
protected:
    void SetUp() override {
        setDataDirectoryOverride(dir_.path());
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        ASSERT_EQ(AddConfirmedSignature(DataDirectory(dir_.path()), "0000000000004D5A", "exe").result,
                  ConfirmOutcome::Result::Added);
        std::ofstream identified(dir_.file("setok.ini"), std::ios::binary);
        std::ofstream sampled(dir_.file("set.ini"), std::ios::binary);
        for (int entry = 0; entry < kEntries; ++entry) {
            identified << "[" << pathOf(entry) << "]\r\ntype=" << signatureOf(entry) << "\r\ntype1=exe\r\n";
            sampled << "[" << pathOf(entry) << "]\r\n特征值=" << signatureOf(entry) << "\r\n文件类型=dat\r\n";
        }

        WindowModel& model = WindowModel::instance();
        model.reset();
        windows_ = std::make_unique<DesktopWindows>(model);
        installDropTargetRegistrar(*windows_);
        registerMainWindowHandlers(model, DataDirectory::current,
                                   [this](std::size_t done, std::size_t total) {
                                       if (progress_) progress_(done, total);
                                   });
        registerWindowLayouts(model);
        setBackgroundRunner(
            [this](std::function<UiContinuation()> work) { background_.run(std::move(work)); });
    }
    void TearDown() override {
        setBackgroundRunner({});
        WindowModel::instance().reset();
        windows_.reset();
        DropTarget::setPlatformRegistrar({});
        setMessagePresenter({});
        setDataDirectoryOverride({});
    }

    QTableView* view(UnitRef list = mw::identificationList) {
        return qobject_cast<QTableView*>(windows_->unitWidget(list));
    }
    ReportList& list(UnitRef list = mw::identificationList) { return unitAt<ReportList>(list); }
    std::string shown(int row, int column, UnitRef list = mw::identificationList) {
        return view(list)->model()->index(row, column).data().toString().toStdString();
    }
    bool waitForLists() {
        QDeadlineTimer deadline(120000);
        while (listsLoading() > 0 && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return listsLoading() == 0;
    }
    void drop(const std::vector<std::string>& paths) { test::sendFileDrop(view()->viewport(), paths); }

    test::TempDir dir_, files_;
    std::vector<std::string> messages_;
    std::function<void(std::size_t, std::size_t)> progress_;
    std::unique_ptr<DesktopWindows> windows_;
    BackgroundWork background_;
};

TEST_F(LargeList, loadBehindAUsableWindowAndSortCheckAndDeleteActOnTheRightRows) {
    ASSERT_TRUE(WindowModel::instance().loadWindow(mw::kWindowId));
    EXPECT_EQ(listsLoading(), 2) << "the large lists load after the window, the small library with it";
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(1);
    ASSERT_TRUE(waitForLists());
    EXPECT_GT(ticks, 2) << "timers ran while the lists loaded";
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(view()->model()->rowCount(), kEntries);

    // The rows in sight, wherever the view is scrolled, show their own entries and answers.
    unitAt<TabControl>(mw::pages).setCurrentPage(2);
    QApplication::processEvents();
    for (int row : {0, 123456, kEntries - 1}) {
        view()->scrollTo(view()->model()->index(row, 0), QAbstractItemView::PositionAtTop);
        const int top = view()->indexAt(QPoint(2, 2)).row();
        ASSERT_GE(top, 0);
        EXPECT_EQ(shown(top, col::kIndex), std::to_string(top + 1));
        EXPECT_EQ(shown(top, col::kPath), pathOf(top));
        EXPECT_EQ(shown(top, col::kSignature), signatureOf(top));
        EXPECT_EQ(shown(top, col::kClass), "dat");
        EXPECT_EQ(shown(top, col::kType), "exe");
        const QString tip = view()->model()->index(top, col::kType).data(Qt::ToolTipRole).toString();
        EXPECT_FALSE(tip.isEmpty());
        EXPECT_EQ(tip.contains("16"), top == 0) << "only the first entry's 16 digits match the record";
    }

    // The experiment list sorts on a header click, the first descending: the last entry comes first.
    const UnitRef samples = mw::experimentList;
    unitAt<TabControl>(mw::pages).setCurrentPage(0);
    emit view(samples)->horizontalHeader()->sectionClicked(experiment_column::kSignature);
    QApplication::processEvents();
    EXPECT_EQ(shown(0, experiment_column::kPath, samples), pathOf(kEntries - 1));
    EXPECT_EQ(shown(0, experiment_column::kIndex, samples), std::to_string(kEntries));
    EXPECT_EQ(shown(kEntries - 1, experiment_column::kPath, samples), pathOf(0));

    // Checked in the sorted view, deleted from the store by the button.
    for (int row : {0, 7})
        ASSERT_TRUE(view(samples)->model()->setData(view(samples)->model()->index(row, 0), Qt::Checked,
                                                    Qt::CheckStateRole));
    qobject_cast<QAbstractButton*>(windows_->unitWidget(mw::experimentDeleteButton))->click();
    QApplication::processEvents();
    EXPECT_EQ(list(samples).itemCount(), kEntries - 2);
    const std::string stored = test::readAll(dir_.file("set.ini"));
    for (int gone : {kEntries - 1, kEntries - 8}) {
        EXPECT_EQ(list(samples).findItem(pathOf(gone), 0, true, experiment_column::kPath), -1);
        EXPECT_EQ(stored.find("[" + pathOf(gone) + "]"), std::string::npos);
    }
    EXPECT_NE(stored.find("[" + pathOf(kEntries - 2) + "]"), std::string::npos);
    EXPECT_EQ(list(samples).itemText(0, experiment_column::kPath), pathOf(0)) << "the store's order again";
}

// Loads held back until the test lets them run, so the user's change comes first.
TEST_F(LargeList, whatTheUserChangesWhileTheListLoadsIsNotOverwritten) {
    std::vector<std::function<UiContinuation()>> held;
    setBackgroundRunner([&held](std::function<UiContinuation()> work) { held.push_back(std::move(work)); });
    const std::string fragment = files_.write("new.dat", "MZ\x90\x00\x03\x00\x00\x00\x04\x00more");

    struct Case {
        const char* name;
        bool cancelled;
        int rowsAfterDrop;
    };
    for (const Case& c : {Case{"a cancelled drop records nothing", true, 0},
                          Case{"a drop shows the whole list with its file", false, kEntries + 1}}) {
        SCOPED_TRACE(c.name);
        held.clear();
        ASSERT_TRUE(WindowModel::instance().loadWindow(mw::kWindowId));
        ASSERT_EQ(held.size(), 2u);
        held.front()()();  // the experiment list; the identification list stays held
        std::vector<std::string> dropped(400, fragment);  // enough to be reported on
        progress_ = [&c](std::size_t done, std::size_t) {
            if (c.cancelled && done == 10) throw DropCancelled{};
        };
        drop(dropped);
        EXPECT_EQ(list().itemCount(), c.rowsAfterDrop);
        const bool recorded =
            test::readAll(dir_.file("setok.ini")).find("[" + fragment + "]") != std::string::npos;
        EXPECT_EQ(recorded, !c.cancelled);

        // The load that began before the drop ends now; what it read is older than what is shown.
        held.back()()();
        // Nothing newer was shown after a cancelled drop, so the load counts then.
        EXPECT_EQ(list().itemCount(), c.cancelled ? kEntries : kEntries + 1);
        WindowModel::instance().closeWindow(mw::kWindowId);
    }
}

}  // namespace
}  // namespace vex
