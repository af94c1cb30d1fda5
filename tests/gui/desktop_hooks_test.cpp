#include <gtest/gtest.h>

#include <QApplication>

#include "runtime/gui/desktop_hooks.h"
#include "runtime/gui/drop_progress_dialog.h"

namespace vex {
namespace {

TEST(QtFileFilters, turnsPairsIntoNameFilters) {
    struct Case {
        const char* filter;
        QStringList expected;
    };
    for (const Case& c : {Case{"", {}}, Case{"||", {}},
                          Case{"Pictures|*.png;*.jpg||", {QStringLiteral("Pictures (*.png *.jpg)")}},
                          Case{"All|*.*|Text|*.txt||", {QStringLiteral("All (*.*)"), QStringLiteral("Text (*.txt)")}},
                          Case{"Odd|", {QStringLiteral("Odd ()")}}}) {
        EXPECT_EQ(qtFileFilters(c.filter), c.expected) << c.filter;
    }
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

}  // namespace
}  // namespace vex
