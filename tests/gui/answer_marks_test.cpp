// The identification list tells a sure answer from a doubtful one: files
// dropped on the real window get a tooltip on their type cell with the digits
// matched, the record and the alternatives, and a weak or ambiguous answer
// carries a mark there. The mark stays with its row when the list is sorted.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMimeData>
#include <QTableView>
#include <QUrl>
#include <memory>

#include "flow/confirm.h"
#include "flow/drop.h"
#include "runtime/data_dir.h"
#include "runtime/drop_target.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "tests/gui/drop_events.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class AnswerMarks : public ::testing::Test {
protected:
    void SetUp() override {
        setDataDirectoryOverride(dir_.path());
        setMessagePresenter([](MessageKind, const std::string&, const std::string&) {});
        const DataDirectory data(dir_.path());
        for (const auto& [signature, type] : {std::pair{"504B0304", "zip"},
                                              {"504B0304140008000800", "jar"},
                                              {"0000", "ico"},
                                              {"89504E470D0A1A0A0000", "png"}})
            ASSERT_EQ(AddConfirmedSignature(data, signature, type).result, ConfirmOutcome::Result::Added);
        const std::string pngHeader("\x89PNG\r\n\x1a\n\0\0", 10);
        samplePaths(data, {samples_.write("a.png", pngHeader), samples_.write("b.apng", pngHeader)});

        WindowModel& model = WindowModel::instance();
        model.reset();
        windows_ = std::make_unique<DesktopWindows>(model);
        installDropTargetRegistrar(*windows_);
        registerMainWindowHandlers(model, DataDirectory::current);
        registerWindowLayouts(model);
        ASSERT_TRUE(model.loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }
    void TearDown() override {
        WindowModel::instance().reset();
        windows_.reset();
        DropTarget::setPlatformRegistrar({});
        setMessagePresenter({});
        setDataDirectoryOverride({});
    }

    QTableView* view() { return qobject_cast<QTableView*>(windows_->unitWidget(mw::identificationList)); }

    void drop(const std::vector<std::string>& paths) { test::sendFileDrop(view()->viewport(), paths); }

    // The type cell of the row that lists `path`.
    QModelIndex typeCell(const std::string& path) {
        const int row = unitAt<ReportList>(mw::identificationList).findItem(path, 0, true, 3);
        EXPECT_GE(row, 0) << path;
        return view()->model()->index(row, identification_column::kType);
    }
    QString toolTip(const std::string& path) { return typeCell(path).data(Qt::ToolTipRole).toString(); }
    bool marked(const std::string& path) {
        return !typeCell(path).data(Qt::DecorationRole).value<QIcon>().isNull();
    }

    test::TempDir dir_, samples_, files_;
    std::unique_ptr<DesktopWindows> windows_;
};

TEST_F(AnswerMarks, weakAndAmbiguousAnswersAreMarkedAndEveryTypeCellExplainsItself) {
    const std::string zip = files_.write("f1.dat", std::string("PK\x03\x04\x0A\x00\x00\x00\x00\x00", 10));
    const std::string jar = files_.write("f2.dat", std::string("PK\x03\x04\x14\x00\x08\x00\x08\x00", 10));
    const std::string mp4 = files_.write("f3.dat", std::string("\x00\x00\x00\x20"
                                                               "ftypis",
                                                               10));
    const std::string png = files_.write("f4.dat", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    const std::string other = files_.write("f5.dat", "0123456789");
    drop({zip, jar, mp4, png, other});
    ASSERT_EQ(view()->model()->rowCount(), 5);

    struct Expected {
        std::string path;
        bool mark;
        std::vector<QString> named;  // parts of the tooltip, in any language
    };
    const Expected cases[] = {
        {zip, true, {"8", "107", "jar", "108"}},  // two records hold its 8 digits
        {jar, false, {"20", "108"}},
        {mp4, true, {"4", "109"}},                // 4 digits only
        {png, true, {"20", "110", "apng", "1"}},  // a sample of that value is another class
        {other, false, {}},
    };
    for (const Expected& c : cases) {
        EXPECT_EQ(marked(c.path), c.mark) << c.path;
        const QString tip = toolTip(c.path);
        EXPECT_FALSE(tip.isEmpty()) << c.path;
        for (const QString& part : c.named) EXPECT_TRUE(tip.contains(part)) << tip.toStdString();
    }
    EXPECT_FALSE(toolTip(jar).contains("\n")) << "a sure answer names no alternatives";

    // A header click sorts the rows; marks and tooltips move with them.
    emit view()->horizontalHeader()->sectionClicked(identification_column::kType);
    QApplication::processEvents();
    EXPECT_TRUE(marked(mp4));
    EXPECT_FALSE(marked(jar));
    EXPECT_TRUE(toolTip(zip).contains("108"));
}

}  // namespace
}  // namespace vex
