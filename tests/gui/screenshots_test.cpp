// Pictures of the four pages and the message window for the README. Runs only
// when VEXORIN_SCREENSHOT_DIR names the folder to write them to, under a real
// display server (xvfb-run), since the offscreen platform draws no fonts:
//   VEXORIN_SCREENSHOT_DIR=docs/screenshots xvfb-run -a build/bin/test_gui --gtest_filter='Screenshots.*'

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTableView>
#include <cstdlib>

#include "runtime/basic_units.h"
#include "runtime/gui/window_views.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

void fillWithSamples() {
    unitAt<ReportList>(mw::experimentList)
        .appendRows({
            {"1", "png", "89504E470D0A1A0A0000", "/home/ada/samples/logo.png"},
            {"2", "pdf", "255044462D312E350D0A", "/home/ada/samples/manual.pdf"},
            {"3", "zip", "504B0304140000000800", "/home/ada/samples/backup.zip"},
            {"4", "jpg", "FFD8FFE000104A464946", "/home/ada/samples/holiday.jpg"},
        });
    unitAt<ReportList>(mw::experimentList).setCheckState(1, check_state::kChecked);
    unitAt<ReportList>(mw::confirmedList)
        .appendRows({
            {"106", "png", "89504E470D0A1A0A0000"},
            {"107", "pdf", "255044462D312E350D0A"},
            {"108", "zip", "504B0304140000000800"},
        });
    unitAt<ReportList>(mw::identificationList)
        .appendRows({
            {"1", "CHK", "89504E470D0A1A0A0000", "/media/usb/FOUND.000/FILE0001.CHK", "png"},
            {"2", "CHK", "504B0304140000000800", "/media/usb/FOUND.000/FILE0002.CHK", "zip"},
            {"3", "CHK", "0000000000000000AB12", "/media/usb/FOUND.000/FILE0003.CHK", "未知类型"},
        });
    unitAt<ReportList>(mw::identificationList).setCheckState(0, check_state::kChecked);
    unitAt<ReportList>(mw::identificationList).setCheckState(1, check_state::kChecked);
    unitAt<EditBox>(mw::samplePathEdit).setText("/home/ada/samples/logo.png");
    unitAt<EditBox>(mw::sampleClassEdit).setText("png");
    unitAt<EditBox>(mw::sampleSignatureEdit).setText("89504E470D0A1A0A0000");
    unitAt<EditBox>(mw::confirmTypeEdit).setText("png");
    unitAt<EditBox>(mw::confirmSignatureEdit).setText("89504E470D0A1A0A0000");
    unitAt<EditBox>(mw::resultPathEdit).setText("/media/usb/FOUND.000/FILE0001.CHK");
    unitAt<EditBox>(mw::resultClassEdit).setText("CHK");
    unitAt<EditBox>(mw::resultSignatureEdit).setText("89504E470D0A1A0A0000");
    unitAt<EditBox>(mw::resultTypeEdit).setText("png");
}

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

TEST(Screenshots, ofEveryPageAndTheMessageWindow) {
    const char* folder = std::getenv("VEXORIN_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0')
        GTEST_SKIP() << "set VEXORIN_SCREENSHOT_DIR to take screenshots";
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(folder)));

    WindowModel& model = WindowModel::instance();
    model.reset();
    DesktopWindows windows(model);
    registerWindowLayouts(model);
    ASSERT_TRUE(model.loadWindow(mw::kWindowId));
    fillWithSamples();
    unitAt<ReportList>(mw::identificationList).selectItem(1);

    auto* tabs = qobject_cast<QTabWidget*>(windows.unitWidget(mw::pages));
    ASSERT_NE(tabs, nullptr);
    QWidget* window = windows.windowWidget(mw::kWindowId);
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        settle();
        const QString file =
            QStringLiteral("%1/page%2.png").arg(QString::fromLocal8Bit(folder)).arg(page + 1);
        EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
    }

    ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model));
    settle();
    QWidget* message = windows.windowWidget(message_window::kWindowId);
    ASSERT_NE(message, nullptr);
    const QString file = QStringLiteral("%1/message-window.png").arg(QString::fromLocal8Bit(folder));
    EXPECT_TRUE(message->grab().save(file));
    model.reset();
}

}  // namespace
}  // namespace vex
