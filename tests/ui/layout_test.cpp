#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/database_connection.h"
#include "runtime/drop_target.h"
#include "runtime/external_database.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "runtime/runtime_error.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

struct Terminated {
    std::string message;
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

const EventBinding* bindingOf(const WindowLayout& w, UnitRef ref, int event) {
    const UnitLayout* u = w.findUnit(ref.unit);
    if (!u) return nullptr;
    for (const EventBinding& b : u->bindings)
        if (b.event == event) return &b;
    return nullptr;
}

TEST(LayoutTest, unitReferencesMatchTheLayoutByName) {
    const WindowLayout w = mainWindowLayout();
    const std::vector<std::pair<const char*, UnitRef>> named = {{"选择夹1", mw::pages},
                                                                {"超级列表框1", mw::experimentList},
                                                                {"超级列表框2", mw::confirmedList},
                                                                {"超级列表框3", mw::identificationList},
                                                                {"编辑框1", mw::samplePathEdit},
                                                                {"编辑框5", mw::confirmSignatureEdit},
                                                                {"编辑框10", mw::helpEdit},
                                                                {"标签1", mw::sortDirectionLabel},
                                                                {"拖放对象1", mw::experimentDropTarget},
                                                                {"拖放对象2", mw::identificationDropTarget},
                                                                {"通用对话框1", mw::fileDialog},
                                                                {"外部数据库1", mw::lookupDatabase},
                                                                {"数据库连接1", mw::storeConnection},
                                                                {"记录集1", mw::storeRecordSet},
                                                                {"按钮15", mw::renameButton},
                                                                {"按钮11", mw::homePageButton},
                                                                {"标签3", mw::sloganLabel}};
    for (const auto& [name, ref] : named) {
        const UnitLayout* u = w.findUnit(std::string(name));
        ASSERT_NE(u, nullptr) << name;
        EXPECT_EQ(u->id, ref.unit) << name;
        EXPECT_EQ(ref.window, mw::kWindowId) << name;
    }
    EXPECT_EQ(messageWindowLayout().findUnit(std::string("标签1"))->id, message_window::messageLabel.unit);
}

TEST(LayoutTest, idsAreUniqueAndParentsComeFirst) {
    const WindowLayout w = mainWindowLayout();
    EXPECT_EQ(w.units.size(), 50u);
    std::set<std::uint32_t> seen;
    for (const UnitLayout& u : w.units) {
        EXPECT_EQ(u.id & 0xFFFF0000u, 0x16010000u) << u.name;
        EXPECT_TRUE(seen.insert(u.id).second) << u.name;
        if (u.parent != 0) {
            EXPECT_TRUE(seen.count(u.parent)) << u.name << " before its parent";
        }
    }
}

TEST(LayoutTest, windowsHaveTheirTitleSizeAndFrame) {
    const WindowLayout main = mainWindowLayout();
    EXPECT_EQ(main.id, 0x52010001u);
    EXPECT_EQ(main.title, "Vexorin[Vexorin]V1.0");
    EXPECT_EQ(main.geometry.width, 755);
    EXPECT_EQ(main.geometry.height, 505);
    EXPECT_TRUE(main.fixedBorder && main.closeBox && main.centred && main.alwaysOnTop);
    EXPECT_FALSE(main.minimiseBox || main.maximiseBox);

    const WindowLayout message = messageWindowLayout();
    EXPECT_EQ(message.id, 0x520101cbu);
    EXPECT_EQ(message.title, "");
    EXPECT_EQ(message.geometry, (Geometry{0, 0, 281, 126}));
    EXPECT_TRUE(message.bindings.empty());
    ASSERT_EQ(message.units.size(), 1u);
    EXPECT_EQ(message.units[0].geometry, (Geometry{16, 16, 240, 48}));
}

TEST(LayoutTest, sampleOfCaptionsGeometryAndParents) {
    const WindowLayout w = mainWindowLayout();
    const UnitLayout* tabs = w.findUnit(mw::pages.unit);
    EXPECT_EQ(tabs->geometry, (Geometry{0, 8, 800, 428}));
    EXPECT_EQ(tabs->pages, (std::vector<std::string>{"第一步->文件特征值实验库", "第二步->文件特征值确认库",
                                                     "第三步->判断未知文件类型", "帮助及使用技巧"}));
    EXPECT_EQ(tabs->currentPage, 0);

    const UnitLayout* pick = w.findUnit(mw::pickFileButton.unit);
    EXPECT_EQ(pick->caption, "打开文件->取特征值");
    EXPECT_EQ(pick->geometry, (Geometry{600, 19, 128, 24}));
    EXPECT_EQ(pick->parent, mw::sampleGroup.unit);
    EXPECT_EQ(pick->page, 0);

    const UnitLayout* clearLibrary = w.findUnit(mw::confirmedClearButton.unit);
    EXPECT_EQ(clearLibrary->caption, "清空文件特征值确认库");
    EXPECT_EQ(clearLibrary->geometry, (Geometry{545, 383, 136, 32}));
    EXPECT_EQ(clearLibrary->page, 1);

    const UnitLayout* rename = w.findUnit(mw::renameButton.unit);
    EXPECT_EQ(rename->caption, "选定文件改名");
    EXPECT_EQ(rename->geometry, (Geometry{608, 400, 136, 24}));

    EXPECT_EQ(w.findUnit(mw::sloganLabel.unit)->parent, 0u);
    EXPECT_EQ(w.findUnit(mw::identificationDropTarget.unit)->parent, 0u);
    EXPECT_EQ(w.findUnit(mw::experimentDropTarget.unit)->parent, mw::pages.unit);
    EXPECT_FALSE(w.findUnit(mw::sortDirectionLabel.unit)->visible);
    EXPECT_EQ(w.findUnit(mw::homePageButton.unit)->page, 3);
}

TEST(LayoutTest, reportListColumnsAndWidths) {
    const WindowLayout w = mainWindowLayout();
    EXPECT_EQ(w.findUnit(mw::experimentList.unit)->columns,
              (std::vector<ReportColumn>{{"序列", 50}, {"文件类", 50}, {"特征值", 200}, {"文件路径", 280}}));
    EXPECT_EQ(w.findUnit(mw::confirmedList.unit)->columns,
              (std::vector<ReportColumn>{{"序列", 100}, {"文件类", 100}, {"特征值", 300}}));
    EXPECT_EQ(w.findUnit(mw::identificationList.unit)->columns,
              (std::vector<ReportColumn>{
                  {"序列", 50}, {"文件类", 50}, {"特征值", 200}, {"文件路径", 300}, {"文件可能类型", 90}}));
}

TEST(LayoutTest, editBoxesAreReadOnlyAndTabStopsFollowTheKind) {
    for (const UnitLayout& u : mainWindowLayout().units) {
        const bool stops =
            u.kind == UnitKind::Button || u.kind == UnitKind::EditBox || u.kind == UnitKind::ReportList;
        EXPECT_EQ(u.tabStop, stops) << u.name;
        if (u.kind == UnitKind::EditBox) {
            EXPECT_TRUE(u.readOnly) << u.name;
        }
    }
}

TEST(LayoutTest, helpTextLineByLine) {
    const std::string text = helpText();
    ASSERT_TRUE(text.ends_with("\r\n\r\n"));
    std::vector<std::string> lines = splitLines(text);
    EXPECT_EQ(lines[0], std::string(45, ' ') + "VexorinV1.0");
    const std::string closing = lines[lines.size() - 3];
    EXPECT_TRUE(closing.starts_with(std::string(15, ' ') + "Vexorin")) << closing;
    EXPECT_NE(closing.find("2026-12-07"), std::string::npos);
    // Nothing of the old Windows help survives, nor its doubled character.
    for (const char* gone : {"记事本", "EXE", "dll", "恢复复"})
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    EXPECT_EQ(mainWindowLayout().findUnit(mw::helpEdit.unit)->caption, text);
}

struct BindingCase {
    UnitRef unit;
    int event;
    const char* handler;
    std::vector<Value> leading;
};

TEST(LayoutTest, everyBindingNamesItsHandler) {
    const WindowLayout w = mainWindowLayout();
    const std::vector<BindingCase> cases = {
        {mw::experimentDropTarget, event::kFilesDropped, "SampleDroppedFiles", {}},
        {mw::identificationDropTarget, event::kFilesDropped, "IdentifyDroppedFiles", {}},
        {mw::identificationDropTarget, event::kTextDropped, "", {}},
        {mw::pickFileButton, event::kClicked, "PickFileForEditor", {}},
        {mw::storeToExperimentButton, event::kClicked, "StoreEditorToExperiment", {}},
        {mw::storeToConfirmedButton, event::kClicked, "StoreEditorToConfirmed", {}},
        {mw::samplePathEdit, event::kDoubleClicked, "RevealInExplorer", {Value(mw::samplePathEdit)}},
        {mw::resultPathEdit, event::kDoubleClicked, "RevealInExplorer", {Value(mw::resultPathEdit)}},
        {mw::experimentList, event::kDoubleClicked, "ShowExperimentRow", {}},
        {mw::identificationList, event::kDoubleClicked, "ShowIdentificationRow", {}},
        {mw::experimentList, event::kColumnClicked, "SortByClickedColumn", {Value(mw::experimentList)}},
        {mw::confirmedList, event::kColumnClicked, "SortByClickedColumn", {Value(mw::confirmedList)}},
        {mw::experimentCheckAllButton, event::kClicked, "CheckAllRows", {Value(mw::experimentList)}},
        {mw::confirmedCheckAllButton, event::kClicked, "CheckAllRows", {Value(mw::confirmedList)}},
        {mw::identificationCheckAllButton, event::kClicked, "CheckAllRows", {Value(mw::identificationList)}},
        {mw::experimentInvertButton, event::kClicked, "InvertRowChecks", {Value(mw::experimentList)}},
        {mw::confirmedInvertButton, event::kClicked, "InvertRowChecks", {Value(mw::confirmedList)}},
        {mw::identificationInvertButton, event::kClicked, "InvertRowChecks", {Value(mw::identificationList)}},
        {mw::experimentDeleteButton, event::kClicked, "DeleteCheckedExperiments", {}},
        {mw::experimentClearButton, event::kClicked, "ClearExperimentLibrary", {}},
        {mw::confirmedDeleteButton, event::kClicked, "DeleteCheckedConfirmed", {}},
        {mw::confirmedClearButton, event::kClicked, "DeleteAllConfirmed", {}},
        {mw::identificationDeleteButton, event::kClicked, "DeleteCheckedIdentifications", {}},
        {mw::identificationClearButton, event::kClicked, "ClearIdentificationList", {}},
        {mw::renameButton, event::kClicked, "RenameCheckedFiles", {}},
        {mw::homePageButton, event::kClicked, "OpenHomePage", {}},
    };
    for (const BindingCase& c : cases) {
        const EventBinding* b = bindingOf(w, c.unit, c.event);
        ASSERT_NE(b, nullptr) << c.handler;
        EXPECT_EQ(b->handler, c.handler);
        EXPECT_EQ(b->leadingArguments, c.leading) << c.handler;
    }
    ASSERT_EQ(w.bindings.size(), 1u);
    EXPECT_EQ(w.bindings[0].handler, "InitialiseMainWindow");
    // The identification list cannot be sorted by its headers.
    EXPECT_EQ(bindingOf(w, mw::identificationList, event::kColumnClicked), nullptr);
    EXPECT_TRUE(w.findUnit(mw::sampleSignatureEdit.unit)->bindings.empty());
}

class MainWindowSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRuntimeErrorState();
        setRuntimeErrorHook([this](int, const std::string& message) {
            lastError = message;
            return true;
        });
        setRuntimeErrorTerminator([this] { throw Terminated{lastError}; });
    }
    void TearDown() override { resetRuntimeErrorState(); }

    WindowModel model;
    std::string lastError;
};

TEST_F(MainWindowSessionTest, loadsTheMainWindowHeadlessAndRunsItsCreatedHandler) {
    int initialised = 0;
    model.handlers().add("InitialiseMainWindow", [&](const std::vector<Value>&) {
        ++initialised;
        model.resolveAs<ReportList>(mw::experimentList).insertItem(-1, "1");
        return Value();
    });
    {
        MainWindowSession session(model);
        ASSERT_TRUE(session.loaded());
        EXPECT_EQ(initialised, 1);
        EXPECT_EQ(model.resolveAs<ReportList>(mw::experimentList).itemCount(), 1);
        EXPECT_EQ(model.resolveAs<ReportList>(mw::identificationList).columnCount(), 5);
        EXPECT_EQ(model.resolveAs<TabControl>(mw::pages).currentPage(), 0);
        EXPECT_EQ(model.readProperty(mw::identificationHintLabel, property::kLabelCaption),
                  Value("文件拖放到下面列表框，即可判断文件类型！"));
        EXPECT_EQ(model.readProperty(mw::confirmTypeEdit, property::kEditBoxContent), Value(""));
        EXPECT_TRUE(model.resolveAs<DropTarget>(mw::experimentDropTarget).accepts().files);
        EXPECT_FALSE(model.resolveAs<DropTarget>(mw::experimentDropTarget).accepts().text);
        EXPECT_FALSE(model.resolveAs<ExternalDatabase>(mw::lookupDatabase).hasDatabase());
        model.resolveAs<DatabaseConnection>(mw::storeConnection);
        model.resolveAs<RecordSet>(mw::storeRecordSet);
        // Clicking a header of the identification list does nothing, even with a sort handler registered.
        model.handlers().add("SortByClickedColumn", [](const std::vector<Value>&) { return Value(); });
        EXPECT_FALSE(model.raiseEvent(mw::identificationList, event::kColumnClicked, {Value(std::int32_t{1})})
                         .handled);
        EXPECT_TRUE(
            model.raiseEvent(mw::confirmedList, event::kColumnClicked, {Value(std::int32_t{1})}).handled);
    }
    EXPECT_FALSE(model.isLoaded(mw::kWindowId));
}

TEST_F(MainWindowSessionTest, messageWindowOpensOnceAndTakesTheCaptionAgain) {
    MainWindowSession session(model);
    try {
        model.readProperty(message_window::messageLabel, property::kLabelCaption);
        FAIL() << "reading a unit of a window not loaded must be a runtime error";
    } catch (const Terminated& t) {
        EXPECT_EQ(t.message, "未载入欲访问窗口组件所在的窗口");
    }
    resetRuntimeErrorState();
    SetUp();

    ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model));
    model.writeProperty(message_window::messageLabel, property::kLabelCaption, Value("changed"));
    ASSERT_TRUE(showMessageWindow("特征值存在！\r\n请重输入其他特征值！", model));
    EXPECT_EQ(model.windows().size(), 2u);
    EXPECT_EQ(model.findWindow(message_window::kWindowId)->activationCount(), 1);
    EXPECT_EQ(model.findWindow(message_window::kWindowId)->owner(), 0u);
    EXPECT_EQ(model.readProperty(message_window::messageLabel, property::kLabelCaption),
              Value("特征值存在！\r\n请重输入其他特征值！"));
    // The main window's 标签1 is a different unit.
    EXPECT_EQ(model.readProperty(mw::sortDirectionLabel, property::kLabelCaption), Value(""));
}

}  // namespace
}  // namespace vex
