// The window and Qt's own dialogs speak the language the locale asks for, and
// stored values stay as they are in every language.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <memory>

#include "runtime/gui/window_views.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "tests/support/scoped_env.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

struct LocaleCase {
    const char* lang;
    const char* firstPage;
    const char* firstColumn;
    const char* cancel;  // the file dialog's own button, from Qt's catalogue
};

TEST(WindowLocale, windowAndQtDialogsFollowLang) {
    for (const LocaleCase& c : {LocaleCase{"en_US.UTF-8", "Step 1 -> Experiment library", "No.", "Cancel"},
                                LocaleCase{"zh_CN.UTF-8", "第一步->文件特征值实验库", "序列", "取消"},
                                LocaleCase{"C", "第一步->文件特征值实验库", "序列", "取消"}}) {
        SCOPED_TRACE(c.lang);
        test::ScopedEnv lang("LANG", c.lang);
        test::ScopedEnv all("LC_ALL", nullptr);
        test::ScopedEnv messages("LC_MESSAGES", nullptr);
        test::ScopedEnv language("LANGUAGE", nullptr);
        // As the desktop program chooses at start-up.
        useLanguage(requestedLanguage().value_or(Language::Chinese));

        WindowModel& model = WindowModel::instance();
        model.reset();
        auto windows = std::make_unique<DesktopWindows>(model);
        registerWindowLayouts(model);
        ASSERT_TRUE(model.loadWindow(mw::kWindowId));
        unitAt<ReportList>(mw::identificationList)
            .appendRows({{"1", "CHK", "0000", "/tmp/a.CHK", "未知类型"}});

        EXPECT_EQ(qobject_cast<QTabWidget*>(windows->unitWidget(mw::pages))->tabText(0),
                  QString::fromUtf8(c.firstPage));
        auto* list = qobject_cast<QTableView*>(windows->unitWidget(mw::identificationList));
        EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8(c.firstColumn));
        EXPECT_EQ(list->model()->index(0, 4).data().toString(), QStringLiteral("未知类型"))
            << "data, never translated";

        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')),
                  QString::fromUtf8(c.cancel));
        model.reset();
    }
    useLanguage(Language::Chinese);
}

}  // namespace
}  // namespace vex
