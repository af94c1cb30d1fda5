#include "runtime/gui/desktop_hooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "runtime/file_dialog.h"
#include "runtime/gui/drop_progress_dialog.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/runtime_error.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {

namespace {

TEST(QtFileFilters, turnsPairsIntoNameFilters) {
    struct Case {
        const char* filter;
        QStringList expected;
    };
    for (const Case& c :
         {Case{"", {}}, Case{"||", {}},
          Case{"Pictures|*.png;*.jpg||", {QStringLiteral("Pictures (*.png *.jpg)")}},
          Case{"All|*.*|Text|*.txt||", {QStringLiteral("All (*.*)"), QStringLiteral("Text (*.txt)")}},
          Case{"Odd|", {QStringLiteral("Odd ()")}}}) {
        EXPECT_EQ(qtFileFilters(c.filter), c.expected) << c.filter;
    }
}

// Acts on the file dialog once it is up and waiting for the user.
void whenTheDialogIsOpen(std::function<void(QFileDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no file dialog is open";
        act(*dialog);
    });
}

TEST(ShowFileDialog, opensWithTheUnitsSettingsAndGivesTheChosenFile) {
    test::TempDir dir;
    const std::string file = dir.write("sample.png", "0123456789");
    FileDialogSettings settings;
    settings.kind = FileDialog::kOpen;
    settings.title = "选择文件";
    settings.initialDirectory = dir.path();
    settings.filter = "图片|*.png;*.jpg|所有文件|*.*||";
    settings.filterIndex = 1;
    settings.fileMustExist = true;

    QString title, directory, selectedFilter;
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
    whenTheDialogIsOpen([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        directory = dialog.directory().absolutePath();
        filters = dialog.nameFilters();
        selectedFilter = dialog.selectedNameFilter();
        mode = dialog.acceptMode();
        dialog.selectFile(QString::fromStdString(file));
        static_cast<QDialog&>(dialog).accept();  // public in QDialog, and still QFileDialog's own
    });
    EXPECT_EQ(showFileDialog(settings), file);
    EXPECT_EQ(title, QStringLiteral("选择文件"));
    EXPECT_EQ(directory, QString::fromStdString(dir.path()));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("图片 (*.png *.jpg)"), QStringLiteral("所有文件 (*.*)")}));
    EXPECT_EQ(selectedFilter, QStringLiteral("所有文件 (*.*)"));
    EXPECT_EQ(mode, QFileDialog::AcceptOpen);
}

TEST(ShowFileDialog, cancellingGivesNothing) {
    test::TempDir dir;
    FileDialogSettings settings;
    settings.initialDirectory = dir.path();
    whenTheDialogIsOpen([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(showFileDialog(settings), std::nullopt);
}

// The desktop leaves web addresses to xdg-open, watched, so that an opener that
// finds no browser is noticed: each address reaches it whole, as one argument.
TEST(DesktopHooks, webAddressesAndTheHomePageOpenThroughTheDesktop) {
    test::TempDir tools;
    const std::string record = tools.file("opened");
    test::writeAll(tools.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\n");
    std::filesystem::permissions(tools.file("xdg-open"), std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (tools.path() + ":" + oldPath).c_str(), 1);
    installDesktopHooks();
    openWebAddress("https://example.org/a b");
    openWebAddress();  // no address: the shipped home page
    ::setenv("PATH", oldPath.c_str(), 1);
    setMessagePresenter({});
    setRuntimeErrorPresenter({});
    FileDialog::setPresenter({});

    // The two openers run side by side, so their lines come in either order.
    const std::string expected = std::string("https://example.org/a b\n") + kDefaultWebAddress + "\n";
    for (int i = 0; i < 250 && test::readAll(record).size() < expected.size(); ++i) QTest::qWait(20);
    const std::string opened = test::readAll(record);
    EXPECT_TRUE(opened == expected ||
                opened == std::string(kDefaultWebAddress) + "\nhttps://example.org/a b\n")
        << opened;
}

TEST(DropProgressDialog, showsOnlyForLongDropsAndClosesAtTheEnd) {
    DropProgressDialog progress;
    for (std::size_t done = 1; done <= 10; ++done) progress.report(done, 10);
    EXPECT_FALSE(progress.visible()) << "a short drop needs no dialog";

    const std::size_t total = DropProgressDialog::kShownFrom * 2;
    progress.report(1, total);
    EXPECT_TRUE(progress.visible());
    for (std::size_t done = 2; done < total; ++done) progress.report(done, total);
    EXPECT_TRUE(progress.visible());
    progress.report(total, total);
    EXPECT_FALSE(progress.visible());
}

TEST(DropProgressDialog, itsCancelStopsTheDropAtTheNextReport) {
    DropProgressDialog progress;
    const std::size_t total = DropProgressDialog::kShownFrom * 2;
    ASSERT_TRUE(progress.report(1, total));
    QProgressDialog* dialog = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* shown = qobject_cast<QProgressDialog*>(window); shown && shown->isVisible()) dialog = shown;
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QPushButton*>()->click();
    QThread::msleep(50);  // past the dialog's repaint interval, where it looks at its button
    EXPECT_FALSE(progress.report(2, total));
    EXPECT_FALSE(progress.visible());
}

}  // namespace
}  // namespace vex
