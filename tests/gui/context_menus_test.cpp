// The lists' context menus on the real window: a right click, Shift+F10 or the
// Menu key opens the same menu, in the window's language, and its entries
// import into the confirmed library, export it, and bring back a store as it
// was before a clear.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "flow/confirm.h"
#include "flow/drop.h"
#include "flow/library_exchange.h"
#include "flow/lists.h"
#include "flow/rename.h"
#include "runtime/file_dialog.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "runtime/questions.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class ContextMenusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        model().reset();
        windows_ = std::make_unique<DesktopWindows>(model());
        registerMainWindowHandlers(model(), [this] { return data_; });
        registerWindowLayouts(model());
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        setQuestionAnswerer([this](const Question& question) {
            questions_.push_back(question);
            return answer_;
        });
        useLanguage(Language::English);
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }
    void TearDown() override {
        model().reset();
        windows_.reset();
        setMessagePresenter({});
        setQuestionAnswerer({});
        FileDialog::setPresenter({});
        useLanguage(Language::Chinese);
    }

    static WindowModel& model() { return WindowModel::instance(); }
    QTableView* view(UnitRef list) { return qobject_cast<QTableView*>(windows_->unitWidget(list)); }

    // A right click in the list, as the platform reports it.
    std::function<void()> rightClick(UnitRef list) {
        return [this, list] {
            QWidget* viewport = view(list)->viewport();
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 10),
                                    viewport->mapToGlobal(QPoint(20, 10)));
            QApplication::sendEvent(viewport, &event);
        };
    }
    std::function<void()> key(UnitRef list, Qt::Key pressed,
                              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return [this, list, pressed, modifiers] { QTest::keyClick(view(list), pressed, modifiers); };
    }

    // Opens a menu with `open` and, once it is up, takes the entry whose text is
    // `pick` (none: closes it). The entries' texts; empty when no menu opened.
    QStringList useMenu(const std::function<void()>& open, const QString& pick = {}) {
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            for (QAction* action : menu->actions()) {
                texts.append(action->text());
                if (!pick.isEmpty() && action->text() == pick) menu->setActiveAction(action);
            }
            QTest::keyClick(menu, menu->activeAction() != nullptr ? Qt::Key_Return : Qt::Key_Escape);
        });
        open();
        QApplication::processEvents();
        return texts;
    }

    std::vector<std::string> listed(UnitRef list, int column) {
        std::vector<std::string> texts;
        const auto& shown = unitAt<ReportList>(list);
        for (int item = 0; item < shown.itemCount(); ++item) texts.push_back(shown.itemText(item, column));
        return texts;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    std::unique_ptr<DesktopWindows> windows_;
    std::vector<std::string> messages_;
    std::vector<Question> questions_;
    std::optional<std::size_t> answer_ = 0;
};

TEST_F(ContextMenusWindowTest, eachListOpensItsMenuByMouseAndKeyboardInTheWindowsLanguage) {
    useLanguage(Language::Chinese);
    const QStringList library = {QStringLiteral("导入…"),
                                 QStringLiteral("导出…"),
                                 QString(),
                                 QStringLiteral("导入常用文件特征值"),
                                 QString(),
                                 QStringLiteral("恢复清空前的确认库…")};
    EXPECT_EQ(useMenu(rightClick(mw::confirmedList)), library);
    EXPECT_EQ(useMenu(key(mw::confirmedList, Qt::Key_F10, Qt::ShiftModifier)), library);
    EXPECT_EQ(useMenu(key(mw::confirmedList, Qt::Key_Menu)), library);
    EXPECT_EQ(useMenu(rightClick(mw::identificationList)),
              (QStringList{QStringLiteral("撤销上次改名"), QStringLiteral("恢复清空前的列表…"), QString(),
                           QStringLiteral("显示匹配详情…")}));
    EXPECT_EQ(useMenu(key(mw::experimentList, Qt::Key_Menu)), QStringList{QStringLiteral("恢复…")});
    EXPECT_TRUE(useMenu(key(mw::confirmedList, Qt::Key_F10)).isEmpty()) << "F10 alone opens nothing";
    useLanguage(Language::English);
    EXPECT_EQ(useMenu(rightClick(mw::experimentList)), QStringList{QStringLiteral("Restore…")});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ContextMenusWindowTest, importExportAndRestoreRunThroughTheMenu) {
    ASSERT_EQ(AddConfirmedSignature(data_, "89504E47", "png").result, ConfirmOutcome::Result::Added);
    const std::string csv = dir_.write("colleague.csv", "signature,type\n25504446,pdf\n89504E47,jpg\n");
    const std::string exported = dir_.file("mine.json");
    FileDialog::setPresenter([&](const FileDialogSettings& settings) {
        return std::optional<std::string>(settings.kind == FileDialog::kOpen ? csv : exported);
    });

    useMenu(rightClick(mw::confirmedList), QStringLiteral("Import…"));
    const std::vector<std::string> imported = {"89504E47", "25504446"};
    EXPECT_EQ(listed(mw::confirmedList, 2), imported);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("added 1, skipped 0, conflicts 1, bad rows 0"), std::string::npos)
        << messages_[0];
    EXPECT_NE(messages_[0].find("line 3"), std::string::npos) << "the conflict is named by its line";

    useMenu(key(mw::confirmedList, Qt::Key_Menu), QStringLiteral("Export…"));
    const ParsedExchange written = parseExchange(test::readAll(exported), ExchangeFormat::Json);
    ASSERT_EQ(written.rows.size(), 2u) << "a name ending in .json is written as JSON";
    EXPECT_EQ(written.rows[1].type, "pdf");

    qobject_cast<QPushButton*>(windows_->unitWidget(mw::confirmedClearButton))->click();
    EXPECT_TRUE(listed(mw::confirmedList, 2).empty());
    useMenu(rightClick(mw::confirmedList), QStringLiteral("Restore a cleared library…"));
    ASSERT_EQ(questions_.size(), 1u) << "one kept library: the user is asked before it comes back";
    EXPECT_TRUE(questions_[0].choices.empty());
    EXPECT_EQ(listed(mw::confirmedList, 2), imported);
    EXPECT_NE(messages_.back().find("Brought back"), std::string::npos) << messages_.back();
}

TEST_F(ContextMenusWindowTest, aFileWithBadRowsChangesNothingUntilTheUserAgreesToLeaveThemOut) {
    const std::string csv = dir_.write("bad.csv", "signature,type\n25504446,pdf\nNOTHEX,txt\n");
    FileDialog::setPresenter([&](const FileDialogSettings&) { return std::optional<std::string>(csv); });
    for (const auto& [answer, stored] :
         {std::pair{std::optional<std::size_t>(), 0u}, std::pair{std::optional<std::size_t>(0), 1u}}) {
        answer_ = answer;
        useMenu(rightClick(mw::confirmedList), QStringLiteral("Import…"));
        EXPECT_NE(questions_.back().text.find("line 3"), std::string::npos) << questions_.back().text;
        EXPECT_EQ(listConfirmed(data_).entries.size(), stored);
        EXPECT_EQ(listed(mw::confirmedList, 2).size(), stored);
    }
    EXPECT_EQ(questions_.size(), 2u);
    EXPECT_EQ(messages_.size(), 1u) << "declining is its own answer";
}

TEST_F(ContextMenusWindowTest, restoreOffersTheKeptCopiesNewestFirstAndBringsBackTheChosenOne) {
    struct Store {
        UnitRef list;
        QString entry;
        int column;
        std::function<void(const std::string& name)> fill;
        Outcome (*clear)(const DataDirectory&);
    };
    const Store stores[] = {
        {mw::experimentList, QStringLiteral("Restore…"), 3,
         [this](const std::string& name) {
             storeExperiment(data_, "/samples/" + name, "0123456789ABCDEF0123");
         },
         &clearExperiments},
        {mw::confirmedList, QStringLiteral("Restore a cleared library…"), 1,
         [this](const std::string& name) {
             AddConfirmedSignature(data_, name == "first" ? "11111111" : "22222222", name);
         },
         &clearConfirmed},
        {mw::identificationList, QStringLiteral("Restore a cleared list…"), 3,
         [this](const std::string& name) { identifyPaths(data_, {dir_.write(name, "0123456789AB")}); },
         &clearIdentifications},
    };
    for (const Store& store : stores) {
        messages_.clear();
        questions_.clear();
        useMenu(rightClick(store.list), store.entry);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("nothing to bring back"), std::string::npos) << messages_[0];
        for (const char* name : {"first", "second"}) {
            store.fill(name);
            ASSERT_EQ(store.clear(data_).error, "");
        }
        answer_ = 1;  // the older one
        useMenu(rightClick(store.list), store.entry);
        ASSERT_EQ(questions_.size(), 1u);
        EXPECT_EQ(questions_[0].choices.size(), 2u);
        EXPECT_EQ(questions_[0].preselected, 0u) << "the newest is offered first";
        const std::vector<std::string> shown = listed(store.list, store.column);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].ends_with("first")) << shown[0];
    }
}

TEST_F(ContextMenusWindowTest, undoTheLastRenameTakesTheFileBackAndTheListFollows) {
    useLanguage(Language::English);
    ASSERT_EQ(AddConfirmedSignature(data_, "30313233", "bin").result, ConfirmOutcome::Result::Added);
    const std::string fragment = dir_.write("FILE0001.CHK", "0123456789AB");
    ASSERT_EQ(identifyPaths(data_, {fragment}).error, "");
    const RenameOutcome renamed = renameFiles(data_, {{fragment, "bin", "30313233343536373839"}});
    ASSERT_EQ(renamed.renamed.size(), 1u);
    useMenu(rightClick(mw::identificationList), QStringLiteral("Undo the last rename"));
    EXPECT_TRUE(std::filesystem::exists(fragment));
    EXPECT_EQ(listed(mw::identificationList, identification_column::kPath),
              std::vector<std::string>{fragment});
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("1 files renamed back"), std::string::npos) << messages_[0];

    // The answer rests on 8 digits of one record: its details name the file and the record.
    messages_.clear();
    unitAt<ReportList>(mw::identificationList).setCheckState(0, check_state::kChecked);
    useMenu(rightClick(mw::identificationList), QStringLiteral("Show match details…"));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find(fragment + ": bin"), std::string::npos) << messages_[0];
    EXPECT_EQ(messages_[0].find("no match details"), std::string::npos) << messages_[0];
    useLanguage(Language::Chinese);
}

}  // namespace
}  // namespace vex
