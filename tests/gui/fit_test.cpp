// Every caption fits its control and no control overlaps another, the tab
// control's edge or the window's edge, in both languages. ctest runs this
// program again at QT_SCALE_FACTOR=2, where fonts round differently.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <memory>
#include <string>
#include <vector>

#include "runtime/gui/window_views.h"
#include "runtime/translation.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

struct Control {
    std::string name;
    QWidget* widget;
};

// Room a caption needs: the text's advance plus the margins the style draws around it.
int buttonTextRoom(const QPushButton* button) {
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    return button->fontMetrics().horizontalAdvance(button->text()) + margin;
}

// A label wraps its caption: it fits when the wrapped text is no wider and no taller than the label.
std::string labelCut(const QLabel* label) {
    const QFontMetrics metrics = label->fontMetrics();
    const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 10000),
                                              Qt::TextWordWrap | Qt::AlignLeft, label->text());
    // Ink, not line spacing, decides a cut: the last line may reach into the leading below it.
    const int inkBelowBaseline = std::max(0, metrics.tightBoundingRect(label->text()).bottom());
    const int height = needed.height() - metrics.height() + metrics.ascent() + inkBelowBaseline;
    if (needed.width() > label->width() || height > label->height())
        return "needs " + std::to_string(needed.width()) + " x " + std::to_string(height);
    return {};
}

class FitTest : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override {
        useLanguage(GetParam());
        model().reset();
        windows_ = std::make_unique<DesktopWindows>(model());
        registerWindowLayouts(model());
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model()));
        QApplication::processEvents();
    }
    void TearDown() override {
        model().reset();
        windows_.reset();
        useLanguage(Language::Chinese);
    }

    static WindowModel& model() { return WindowModel::instance(); }

    std::vector<Control> visibleControls(std::uint32_t windowId, const WindowLayout& layout) {
        std::vector<Control> controls;
        QWidget* window = windows_->windowWidget(windowId);
        for (const UnitLayout& unit : layout.units) {
            QWidget* widget = windows_->unitWidget({windowId, unit.id});
            if (widget != nullptr && widget->isVisibleTo(window)) controls.push_back({unit.name, widget});
        }
        return controls;
    }

    // Captions against their controls, controls against each other and their parents.
    void checkWindow(std::uint32_t windowId, const WindowLayout& layout, const std::string& where) {
        QWidget* window = windows_->windowWidget(windowId);
        const std::vector<Control> controls = visibleControls(windowId, layout);
        for (const Control& c : controls) {
            const std::string at = where + " " + c.name;
            if (auto* button = qobject_cast<QPushButton*>(c.widget)) {
                EXPECT_LE(buttonTextRoom(button), button->width())
                    << at << " '" << button->text().toStdString();
                EXPECT_LE(button->fontMetrics().height(), button->height()) << at;
            } else if (auto* label = qobject_cast<QLabel*>(c.widget)) {
                EXPECT_EQ(labelCut(label), "") << at << " '" << label->text().toStdString() << "' in "
                                               << label->width() << " x " << label->height();
            } else if (auto* group = qobject_cast<QGroupBox*>(c.widget)) {
                // The title sits after an indent of about one character.
                const int room = group->fontMetrics().horizontalAdvance(group->title()) +
                                 2 * group->fontMetrics().averageCharWidth();
                EXPECT_LE(room, group->width()) << at << " '" << group->title().toStdString();
            } else if (auto* list = qobject_cast<QTableView*>(c.widget)) {
                const QHeaderView* header = list->horizontalHeader();
                const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
                for (int column = 0; column < header->count(); ++column) {
                    const QString title = list->model()->headerData(column, Qt::Horizontal).toString();
                    EXPECT_LE(header->fontMetrics().horizontalAdvance(title) + margin,
                              header->sectionSize(column))
                        << at << " column '" << title.toStdString() << "'";
                }
            } else if (auto* text = qobject_cast<QPlainTextEdit*>(c.widget)) {
                // Lines below the box are reachable: the help page shows a scroll bar then.
                if (text->verticalScrollBar()->maximum() > 0) {
                    EXPECT_TRUE(text->verticalScrollBar()->isVisibleTo(window)) << at << " hides lines below";
                }
            } else if (auto* tabs = qobject_cast<QTabWidget*>(c.widget)) {
                const QTabBar* bar = tabs->tabBar();
                for (int page = 0; page < tabs->count(); ++page) {
                    const QRect tab(bar->mapTo(window, bar->tabRect(page).topLeft()),
                                    bar->tabRect(page).size());
                    EXPECT_LE(bar->fontMetrics().horizontalAdvance(tabs->tabText(page)), tab.width())
                        << at << " page '" << tabs->tabText(page).toStdString() << "'";
                    EXPECT_LE(tab.right(), window->width() - 1)
                        << at << " page '" << tabs->tabText(page).toStdString() << "' runs off the window";
                }
            }
            // Inside its parent (a page, a group box, the window) and inside the window; the tab
            // control alone is laid out wider than the window, which clips its empty right end.
            if (qobject_cast<QTabWidget*>(c.widget) == nullptr) {
                EXPECT_TRUE(c.widget->parentWidget()->rect().contains(c.widget->geometry()))
                    << at << " leaves its parent";
                const QRect inWindow(c.widget->mapTo(window, QPoint(0, 0)), c.widget->size());
                EXPECT_TRUE(window->rect().contains(inWindow)) << at << " leaves the window";
            }
        }
        for (std::size_t i = 0; i < controls.size(); ++i) {
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                QWidget* a = controls[i].widget;
                QWidget* b = controls[j].widget;
                if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;  // a frame and what it holds
                const QRect ra(a->mapTo(window, QPoint(0, 0)), a->size());
                const QRect rb(b->mapTo(window, QPoint(0, 0)), b->size());
                EXPECT_FALSE(ra.intersects(rb))
                    << where << " " << controls[i].name << " overlaps " << controls[j].name;
            }
        }
    }

    std::unique_ptr<DesktopWindows> windows_;
};

TEST_P(FitTest, everyCaptionFitsAndNoControlOverlapsOnAnyPage) {
    auto* tabs = qobject_cast<QTabWidget*>(windows_->unitWidget(mw::pages));
    ASSERT_NE(tabs, nullptr);
    if (GetParam() == Language::English) {
        EXPECT_EQ(tabs->tabText(0).toStdString(),
                  translated(text_context::kWindow, "第一步->文件特征值实验库"));
        EXPECT_NE(tabs->tabText(0), QStringLiteral("第一步->文件特征值实验库"))
            << "the English catalogue is built in";
    }
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QApplication::processEvents();
        checkWindow(mw::kWindowId, mainWindowLayout(), "page " + std::to_string(page + 1));
    }
    checkWindow(message_window::kWindowId, messageWindowLayout(), "message window");
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, FitTest, ::testing::Values(Language::Chinese, Language::English),
                         [](const auto& info) {
                             return info.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
}  // namespace vex
