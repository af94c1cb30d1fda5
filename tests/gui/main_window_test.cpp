// The main window as the desktop program shows it, driven the way a user
// would: clicks, double-clicks, header clicks and file drops. Handlers are
// replaced by recorders, so this proves every widget reaches its binding.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/drop_target.h"
#include "runtime/gui/window_views.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

struct Call {
    std::string handler;
    std::vector<Value> arguments;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        model().reset();
        registerWindowLayouts(model());
        for (const WindowLayout& layout : {mainWindowLayout(), messageWindowLayout()}) {
            for (const UnitLayout& unit : layout.units) {
                for (const EventBinding& binding : unit.bindings) record(binding.handler);
            }
        }
        // Start-up attaches the drop targets as the program does.
        model().handlers().add("InitialiseMainWindow", [](const std::vector<Value>&) {
            unitAt<DropTarget>(mw::identificationDropTarget)
                .registerWindow(windowHandle(mw::identificationList));
            unitAt<DropTarget>(mw::experimentDropTarget).registerWindow(windowHandle(mw::experimentList));
            return Value();
        });
        windows_ = std::make_unique<DesktopWindows>(model());
        installDropTargetRegistrar(*windows_);
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }
    void TearDown() override {
        model().reset();
        windows_.reset();
        DropTarget::setPlatformRegistrar({});
    }

    static WindowModel& model() { return WindowModel::instance(); }

    void record(const std::string& name) {
        if (name.empty()) return;
        model().handlers().add(name, [this, name](const std::vector<Value>& arguments) {
            calls_.push_back({name, arguments});
            return Value();
        });
    }

    template <class W = QWidget>
    W* widget(UnitRef ref) {
        auto* w = qobject_cast<W*>(windows_->unitWidget(ref));
        EXPECT_NE(w, nullptr);
        return w;
    }

    QWidget* top() { return windows_->windowWidget(mw::kWindowId); }

    QPoint positionIn(UnitRef ref, UnitRef parent) {
        return widget(ref)->mapTo(widget(parent), QPoint(0, 0));
    }

    // A drop of local files as a file manager offers it.
    bool dropFiles(QWidget* target, const QStringList& paths, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(10, 10), actions, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(10, 10), actions, &data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    std::unique_ptr<DesktopWindows> windows_;
    std::vector<Call> calls_;
};

TEST_F(MainWindowTest, windowFrameAndPagesAreAsLaidOut) {
    QWidget* window = top();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vexorin[Vexorin]V1.0"));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the border is fixed";

    auto* tabs = widget<QTabWidget>(mw::pages);
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("第一步->文件特征值实验库"));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("帮助及使用技巧"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(tabs->geometry(), QRect(0, 8, 800, 428));
}

TEST_F(MainWindowTest, unitsSitWhereTheLayoutPutsThem) {
    struct Expected {
        UnitRef unit;
        UnitRef parent;
        QRect geometry;
    };
    widget<QTabWidget>(mw::pages)->setCurrentIndex(3);
    QApplication::processEvents();
    for (const Expected& e : {Expected{mw::experimentGroup, mw::pages, {4, 32, 736, 248}},
                              Expected{mw::experimentList, mw::experimentGroup, {4, 18, 592, 216}},
                              Expected{mw::storeToConfirmedButton, mw::sampleGroup, {601, 103, 128, 24}},
                              Expected{mw::homePageButton, mw::pages, {624, 344, 80, 32}},
                              Expected{mw::helpEdit, mw::pages, {16, 32, 720, 280}},
                              Expected{mw::sloganLabel, mw::window, {24, 440, 528, 24}}}) {
        const QWidget* w = widget(e.unit);
        EXPECT_EQ(QRect(positionIn(e.unit, e.parent), w->size()), e.geometry)
            << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, captionsStatesAndListColumns) {
    EXPECT_EQ(widget<QPushButton>(mw::pickFileButton)->text(), QStringLiteral("打开文件->取特征值"));
    EXPECT_EQ(widget<QGroupBox>(mw::sampleGroup)->title(), QStringLiteral("取文件特征值："));
    EXPECT_EQ(widget<QLabel>(mw::identificationHintLabel)->text(),
              QStringLiteral("文件拖放到下面列表框，即可判断文件类型！"));
    EXPECT_TRUE(widget<QLineEdit>(mw::confirmSignatureEdit)->isReadOnly());
    EXPECT_TRUE(widget<QPlainTextEdit>(mw::helpEdit)->isReadOnly());
    EXPECT_TRUE(widget<QPlainTextEdit>(mw::helpEdit)->toPlainText().contains(QStringLiteral("VexorinV1.0")));
    EXPECT_FALSE(widget(mw::sortDirectionLabel)->isVisibleTo(top()))
        << "the sort direction cell is never shown";
    EXPECT_EQ(widget(mw::experimentClearButton)->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(widget(mw::sampleClassLabel)->focusPolicy(), Qt::NoFocus);

    auto* list = widget<QTableView>(mw::identificationList);
    ASSERT_EQ(list->model()->columnCount(), 5);
    EXPECT_EQ(list->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("文件可能类型"));
    EXPECT_EQ(list->columnWidth(3), 300);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(list->showGrid());
    EXPECT_FALSE(list->horizontalHeader()->isHidden());
    EXPECT_TRUE(list->horizontalHeader()->sectionsClickable());
}

TEST_F(MainWindowTest, everyButtonReachesItsHandler) {
    struct Expected {
        UnitRef button;
        const char* handler;
        UnitRef list;  // leading argument, if any
    };
    const std::vector<Expected> buttons = {
        {mw::pickFileButton, "PickFileForEditor", {}},
        {mw::storeToExperimentButton, "StoreEditorToExperiment", {}},
        {mw::storeToConfirmedButton, "StoreEditorToConfirmed", {}},
        {mw::experimentCheckAllButton, "CheckAllRows", mw::experimentList},
        {mw::experimentInvertButton, "InvertRowChecks", mw::experimentList},
        {mw::experimentDeleteButton, "DeleteCheckedExperiments", {}},
        {mw::experimentClearButton, "ClearExperimentLibrary", {}},
        {mw::confirmedCheckAllButton, "CheckAllRows", mw::confirmedList},
        {mw::confirmedInvertButton, "InvertRowChecks", mw::confirmedList},
        {mw::confirmedDeleteButton, "DeleteCheckedConfirmed", {}},
        {mw::confirmedClearButton, "DeleteAllConfirmed", {}},
        {mw::identificationDeleteButton, "DeleteCheckedIdentifications", {}},
        {mw::identificationCheckAllButton, "CheckAllRows", mw::identificationList},
        {mw::identificationInvertButton, "InvertRowChecks", mw::identificationList},
        {mw::identificationClearButton, "ClearIdentificationList", {}},
        {mw::renameButton, "RenameCheckedFiles", {}},
        {mw::homePageButton, "OpenHomePage", {}},
    };
    for (const Expected& e : buttons) {
        calls_.clear();
        widget<QPushButton>(e.button)->click();
        ASSERT_EQ(calls_.size(), 1u) << e.handler;
        EXPECT_EQ(calls_[0].handler, e.handler);
        if (e.list != UnitRef{}) {
            ASSERT_FALSE(calls_[0].arguments.empty());
            EXPECT_EQ(calls_[0].arguments[0], Value(e.list)) << e.handler;
        }
    }
}

TEST_F(MainWindowTest, doubleClicksReachListAndPathHandlers) {
    struct Expected {
        QWidget* target;
        const char* handler;
    };
    for (const Expected& e :
         {Expected{widget(mw::samplePathEdit), "RevealInExplorer"},
          Expected{widget(mw::resultPathEdit), "RevealInExplorer"},
          Expected{widget<QTableView>(mw::experimentList)->viewport(), "ShowExperimentRow"},
          Expected{widget<QTableView>(mw::identificationList)->viewport(), "ShowIdentificationRow"}}) {
        calls_.clear();
        QTest::mouseDClick(e.target, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        ASSERT_FALSE(calls_.empty()) << e.handler;
        EXPECT_EQ(calls_.back().handler, e.handler);
    }
    calls_.clear();
    QTest::mouseDClick(widget<QTableView>(mw::confirmedList)->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(5, 5));
    EXPECT_TRUE(calls_.empty()) << "the confirmed library has no double-click binding";
}

TEST_F(MainWindowTest, headerClicksReachTheSortHandlerOnTwoListsOnly) {
    for (UnitRef list : {mw::experimentList, mw::confirmedList}) {
        calls_.clear();
        emit widget<QTableView>(list)->horizontalHeader()->sectionClicked(1);
        ASSERT_EQ(calls_.size(), 1u);
        EXPECT_EQ(calls_[0].handler, "SortByClickedColumn");
        EXPECT_EQ(calls_[0].arguments, (std::vector<Value>{Value(list), Value(std::int32_t{1})}));
    }
    calls_.clear();
    emit widget<QTableView>(mw::identificationList)->horizontalHeader()->sectionClicked(1);
    EXPECT_TRUE(calls_.empty());
}

TEST_F(MainWindowTest, filesDroppedOnTheTwoListsReachTheirHandlers) {
    QWidget* experiments = widget<QTableView>(mw::experimentList)->viewport();
    QWidget* identification = widget<QTableView>(mw::identificationList)->viewport();

    EXPECT_TRUE(dropFiles(experiments, {QStringLiteral("/tmp/one file.png")}));
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].handler, "SampleDroppedFiles");
    EXPECT_EQ(calls_[0].arguments, std::vector<Value>{Value("/tmp/one file.png")});

    calls_.clear();
    EXPECT_TRUE(dropFiles(identification, {QStringLiteral("/tmp/a"), QStringLiteral("/tmp/folder")}));
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].handler, "IdentifyDroppedFiles");
    EXPECT_EQ(calls_[0].arguments, std::vector<Value>{Value("/tmp/a\r\n/tmp/folder\r\n")});

    calls_.clear();
    EXPECT_FALSE(
        dropFiles(identification, {QStringLiteral("/tmp/a")}, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(calls_.empty()) << "Ctrl+Shift asks for a link, which is refused";
}

TEST_F(MainWindowTest, aDragArrivingWhileADropIsDeliveredIsRefused) {
    QWidget* experiments = widget<QTableView>(mw::experimentList)->viewport();
    QWidget* identification = widget<QTableView>(mw::identificationList)->viewport();
    bool nestedAccepted = true;
    model().handlers().add("SampleDroppedFiles", [&](const std::vector<Value>& arguments) {
        calls_.push_back({"SampleDroppedFiles", arguments});
        nestedAccepted = dropFiles(identification, {QStringLiteral("/tmp/b")});
        return Value();
    });
    EXPECT_TRUE(dropFiles(experiments, {QStringLiteral("/tmp/a")}));
    EXPECT_FALSE(nestedAccepted);
    ASSERT_EQ(calls_.size(), 1u) << "the nested drop reached no handler";
    EXPECT_TRUE(dropFiles(identification, {QStringLiteral("/tmp/b")})) << "drops are taken again afterwards";
}

TEST_F(MainWindowTest, onlyTheTwoListViewportsAcceptDrops) {
    const QWidget* experiments = widget<QTableView>(mw::experimentList)->viewport();
    const QWidget* identification = widget<QTableView>(mw::identificationList)->viewport();
    for (const QWidget* w : top()->findChildren<QWidget*>()) {
        const bool expected = w == experiments || w == identification;
        EXPECT_EQ(w->acceptDrops(), expected)
            << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, editBoxesFollowTheirUnits) {
    unitAt<EditBox>(mw::sampleSignatureEdit).setText("89504E470D0A1A0A0000");
    EXPECT_EQ(widget<QLineEdit>(mw::sampleSignatureEdit)->text(), QStringLiteral("89504E470D0A1A0A0000"));
    unitAt<Label>(mw::sortDirectionLabel).setText("1");
    EXPECT_EQ(widget<QLabel>(mw::sortDirectionLabel)->text(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, messageWindowIsModelessOwnerlessAndLoadsOnce) {
    ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model()));
    QWidget* message = windows_->windowWidget(message_window::kWindowId);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->parentWidget(), nullptr);
    EXPECT_EQ(message->windowModality(), Qt::NonModal);
    EXPECT_TRUE(message->windowTitle().isEmpty());
    EXPECT_EQ(qobject_cast<QLabel*>(windows_->unitWidget(message_window::messageLabel))->text(),
              QStringLiteral("特征值存在！\n请重输入其他特征值！"));
    ASSERT_TRUE(showMessageWindow("again", model()));
    EXPECT_EQ(windows_->windowWidget(message_window::kWindowId), message) << "a second load only activates";
}

TEST_F(MainWindowTest, closingByTheUserClosesTheWindowInTheModel) {
    std::vector<std::uint32_t> closed;
    QObject::connect(windows_.get(), &DesktopWindows::windowClosedByUser,
                     [&](std::uint32_t id) { closed.push_back(id); });
    top()->close();
    QApplication::processEvents();
    EXPECT_EQ(closed, std::vector<std::uint32_t>{mw::kWindowId});
    EXPECT_FALSE(model().isLoaded(mw::kWindowId));
    EXPECT_EQ(windows_->windowWidget(mw::kWindowId), nullptr);
}

}  // namespace
}  // namespace vex
