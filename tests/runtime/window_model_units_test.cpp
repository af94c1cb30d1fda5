#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/drop_target.h"
#include "runtime/file_dialog.h"
#include "runtime/report_list.h"
#include "runtime/runtime_error.h"
#include "runtime/window_model.h"

namespace vex {
namespace {

struct Terminated {
    std::string message;
};

constexpr std::uint32_t kWin = 0x52010099;
constexpr std::uint32_t kOtherWin = 0x520100AA;
constexpr UnitRef kEdit{kWin, 0x16010001};
constexpr UnitRef kButton{kWin, 0x16010002};
constexpr UnitRef kList{kWin, 0x16010003};
constexpr UnitRef kDrop{kWin, 0x16010004};
constexpr UnitRef kRecordSet{kWin, 0x16010005};
constexpr UnitRef kDialog{kWin, 0x16010006};
constexpr UnitRef kOtherLabel{kOtherWin, 0x16010001};

WindowLayout testWindow() {
    WindowLayout w;
    w.id = kWin;
    w.title = "test";
    w.bindings.push_back({0, "Created", {}});
    UnitLayout edit{.kind = UnitKind::EditBox, .id = kEdit.unit, .name = "编辑框1", .caption = "start"};
    edit.geometry = {4, 5, 60, 24};
    edit.bindings.push_back({-3, "Reveal", {Value(kEdit)}});
    UnitLayout button{.kind = UnitKind::Button, .id = kButton.unit, .name = "按钮1", .caption = "go"};
    button.bindings.push_back({0, "Click", {Value(kList)}});
    button.bindings.push_back({1, "NotRegistered", {}});
    UnitLayout list{.kind = UnitKind::ReportList, .id = kList.unit, .name = "超级列表框1"};
    list.columns = {{"a", 10}, {"b", 20}};
    UnitLayout drop{.kind = UnitKind::DropTarget, .id = kDrop.unit, .name = "拖放对象1"};
    drop.accepts.files = true;
    drop.bindings.push_back({0, "", {}});
    drop.bindings.push_back({3, "Dropped", {}});
    UnitLayout recordSet{.kind = UnitKind::RecordSet, .id = kRecordSet.unit, .name = "记录集1"};
    UnitLayout dialog{.kind = UnitKind::FileDialog, .id = kDialog.unit, .name = "通用对话框1"};
    w.units = {edit, button, list, drop, recordSet, dialog};
    return w;
}

WindowLayout otherWindow() {
    WindowLayout w;
    w.id = kOtherWin;
    w.units.push_back({.kind = UnitKind::Label, .id = kOtherLabel.unit, .name = "标签1"});
    return w;
}

struct CountingObserver : WindowModelObserver {
    int loaded = 0, activated = 0, closing = 0;
    void windowLoaded(Window&) override { ++loaded; }
    void windowActivated(Window&) override { ++activated; }
    void windowClosing(Window&) override { ++closing; }
};

class WindowModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        observeRuntimeErrors();
        model.registerLayout(testWindow());
        model.registerLayout(otherWindow());
    }
    void TearDown() override {
        FileDialog::setPresenter({});
        resetRuntimeErrorState();
    }

    void observeRuntimeErrors() {
        resetRuntimeErrorState();
        setRuntimeErrorHook([this](int, const std::string& message) {
            lastError = message;
            return true;  // no message box
        });
        setRuntimeErrorTerminator([this] { throw Terminated{lastError}; });
    }

    // The runtime error message raised by f, or "" when none was raised. The
    // error state is cleared afterwards, so the program "runs on" for the next check.
    template <class F>
    std::string errorOf(F&& f) {
        try {
            f();
        } catch (const Terminated& t) {
            observeRuntimeErrors();
            return t.message;
        }
        return {};
    }

    WindowModel model;
    std::string lastError;
};

TEST_F(WindowModelTest, editBoxContentIsPropertyEight) {
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(model.readProperty(kEdit, 8), Value("start"));
    model.writeProperty(kEdit, 8, Value("new text"));
    EXPECT_EQ(model.resolveAs<EditBox>(kEdit).text(), "new text");
    model.writeProperty(kEdit, 8, Value());  // no text equals empty text
    EXPECT_EQ(model.readProperty(kEdit, 8), Value(""));
}

TEST_F(WindowModelTest, commonPropertiesComeFromTheLayoutAndCanBeWritten) {
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(model.readProperty(kEdit, common_property::kLeft), Value(std::int32_t{4}));
    EXPECT_EQ(model.readProperty(kEdit, common_property::kWidth), Value(std::int32_t{60}));
    model.writeProperty(kEdit, common_property::kWidth, Value(std::int32_t{99}));
    model.writeProperty(kEdit, common_property::kTag, Value("note"));
    model.writeProperty(kEdit, common_property::kVisible, Value(false));
    EXPECT_EQ(model.readProperty(kEdit, common_property::kWidth), Value(std::int32_t{99}));
    EXPECT_EQ(model.readProperty(kEdit, common_property::kTag), Value("note"));
    EXPECT_EQ(model.readProperty(kEdit, common_property::kVisible), Value(false));
}

TEST_F(WindowModelTest, reportListPropertiesByNumber) {
    ASSERT_TRUE(model.loadWindow(kWin));
    auto& list = model.resolveAs<ReportList>(kList);
    EXPECT_EQ(list.columnCount(), 2);
    list.insertItem(-1, "x");
    EXPECT_EQ(model.readProperty(kList, 35), Value(std::int32_t{-1}));
    EXPECT_EQ(model.readProperty(kList, 13), Value(std::int32_t{3}));
    model.writeProperty(kList, 35, Value(std::int32_t{0}));
    EXPECT_EQ(list.currentItem(), 0);
}

TEST_F(WindowModelTest, unitsOfAWindowNotLoadedAreRuntimeErrors) {
    EXPECT_EQ(errorOf([&] { model.readProperty(kOtherLabel, 8); }), "未载入欲访问窗口组件所在的窗口");
    EXPECT_EQ(errorOf([&] { model.writeProperty(kOtherLabel, 8, Value("x")); }),
              "未载入欲访问窗口组件所在的窗口");
    EXPECT_EQ(errorOf([&] { model.resolve(kOtherLabel); }), "指定窗口或窗口组件不存在或尚未载入");
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(errorOf([&] {
                  model.readProperty(UnitRef{kWin, 0x1601FFFF}, 8);
              }),
              "指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EQ(errorOf([&] { model.resolveAs<Label>(kEdit); }), "指定窗口或窗口组件不存在或尚未载入");
    EXPECT_EQ(errorOf([&] { model.windowHandle(kOtherLabel); }), "指定窗口或窗口组件不存在或尚未载入");
}

TEST_F(WindowModelTest, aClosedWindowsUnitsAreGone) {
    ASSERT_TRUE(model.loadWindow(kWin));
    ASSERT_TRUE(model.closeWindow(kWin));
    EXPECT_FALSE(model.closeWindow(kWin));
    EXPECT_EQ(errorOf([&] { model.readProperty(kEdit, 8); }), "未载入欲访问窗口组件所在的窗口");
}

TEST_F(WindowModelTest, secondLoadOnlyActivates) {
    CountingObserver observer;
    model.addObserver(&observer);
    model.handlers().add("Created", [&](const std::vector<Value>&) { return Value(); });
    ASSERT_TRUE(model.loadWindow(kWin));
    model.writeProperty(kEdit, 8, Value("kept"));
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(observer.loaded, 1);
    EXPECT_EQ(observer.activated, 1);
    EXPECT_EQ(model.findWindow(kWin)->activationCount(), 1);
    EXPECT_EQ(model.readProperty(kEdit, 8), Value("kept"));  // the same units, not new ones
    model.removeObserver(&observer);
}

TEST_F(WindowModelTest, loadFailsForMissingLayoutOrDeadParent) {
    EXPECT_FALSE(model.loadWindow(0x52019999));
    EXPECT_FALSE(model.loadWindow(kOtherWin, kEdit));  // parent's window not loaded
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_FALSE(model.loadWindow(kOtherWin, UnitRef{kWin, 0x1601FFFF}));
    ASSERT_TRUE(model.loadWindow(kOtherWin, kEdit));
    EXPECT_EQ(model.findWindow(kOtherWin)->owner(), kWin);
}

TEST_F(WindowModelTest, dialogModeDisablesOtherWindowsUntilItCloses) {
    ASSERT_TRUE(model.loadWindow(kWin));
    ASSERT_TRUE(model.loadWindow(kOtherWin, kEdit, true));
    EXPECT_FALSE(model.findWindow(kWin)->enabled());
    EXPECT_EQ(model.findWindow(kOtherWin)->owner(), 0u);  // a dialog ignores its parent
    model.closeWindow(kOtherWin);
    EXPECT_TRUE(model.findWindow(kWin)->enabled());
}

TEST_F(WindowModelTest, startWindowThatCannotLoadIsARuntimeError) {
    EXPECT_EQ(errorOf([&] { model.loadStartWindow(0x52019999); }), "载入启动窗口失败");
}

TEST_F(WindowModelTest, creatingTheWindowRaisesItsCreatedEvent) {
    int created = 0;
    UnitRef source;
    model.handlers().add("Created", [&](const std::vector<Value>& args) {
        ++created;
        source = model.currentEventSource();
        EXPECT_TRUE(args.empty());
        // Units exist while the created handler runs.
        model.writeProperty(kEdit, 8, Value("from created"));
        return Value();
    });
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(source, (UnitRef{kWin, kWin}));
    EXPECT_EQ(model.readProperty(kEdit, 8), Value("from created"));
    EXPECT_EQ(model.currentEventSource(), UnitRef{});
}

TEST_F(WindowModelTest, handlersGetLeadingArgumentsThenEventArguments) {
    ASSERT_TRUE(model.loadWindow(kWin));
    std::vector<Value> received;
    model.handlers().add("Reveal", [&](const std::vector<Value>& args) {
        received = args;
        return Value(std::int32_t{7});
    });
    const EventResult result =
        model.raiseEvent(kEdit, -3, {Value(std::int32_t{1}), Value(std::int32_t{2}), Value(std::int32_t{0})});
    EXPECT_TRUE(result.handled);
    EXPECT_EQ(result.value, Value(std::int32_t{7}));
    EXPECT_EQ(received, (std::vector<Value>{Value(kEdit), Value(std::int32_t{1}), Value(std::int32_t{2}),
                                            Value(std::int32_t{0})}));
}

TEST_F(WindowModelTest, unboundOrUnregisteredEventsDoNothing) {
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_FALSE(model.raiseEvent(kButton, 5).handled);                // no binding
    EXPECT_FALSE(model.raiseEvent(kButton, 1).handled);                // bound to a handler nobody registered
    EXPECT_TRUE(model.raiseEvent(kDrop, 0, {Value("text")}).handled);  // bound to the empty handler
}

TEST_F(WindowModelTest, eventsFromUnknownSourcesAreRuntimeErrors) {
    EXPECT_EQ(errorOf([&] { model.raiseEvent(kButton, 0); }), "未找到引发事件的窗口");
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(errorOf([&] { model.raiseEvent(UnitRef{kWin, 0x1601FFFF}, 0); }), "未找到引发事件的窗口组件");
    EXPECT_EQ(errorOf([&] { model.raiseEvent(kRecordSet, 0); }), "引发事件的窗口组件无效");
}

TEST_F(WindowModelTest, eventsAreDroppedOnceARuntimeErrorWasRaised) {
    ASSERT_TRUE(model.loadWindow(kWin));
    int clicks = 0;
    model.handlers().add("Click", [&](const std::vector<Value>&) {
        ++clicks;
        return Value();
    });
    EXPECT_THROW(model.resolve(kOtherLabel), Terminated);
    EXPECT_FALSE(model.raiseEvent(kButton, 0).handled);
    EXPECT_EQ(clicks, 0);
}

TEST_F(WindowModelTest, nestedEventsRestoreTheOuterSource) {
    ASSERT_TRUE(model.loadWindow(kWin));
    std::vector<UnitRef> sources;
    model.handlers().add("Reveal", [&](const std::vector<Value>&) {
        sources.push_back(model.currentEventSource());
        return Value();
    });
    model.handlers().add("Click", [&](const std::vector<Value>& args) {
        EXPECT_EQ(args.at(0), Value(kList));
        model.raiseEvent(kEdit, -3);
        sources.push_back(model.currentEventSource());
        return Value();
    });
    model.raiseEvent(kButton, 0);
    EXPECT_EQ(sources, (std::vector<UnitRef>{kEdit, kButton}));
}

TEST_F(WindowModelTest, aWindowClosedByItsOwnHandlerKeepsItsUnitsUntilTheHandlerReturns) {
    ASSERT_TRUE(model.loadWindow(kWin));
    bool unitStillUsable = false;
    model.handlers().add("Reveal", [&](const std::vector<Value>&) {
        model.closeWindow(kWin);  // as the window manager's close can during a long drop
        return Value();
    });
    model.handlers().add("Click", [&](const std::vector<Value>&) {
        EditBox& edit = model.resolveAs<EditBox>(kEdit);
        model.raiseEvent(kEdit, -3);  // a nested event closes the window
        EXPECT_FALSE(model.isLoaded(kWin)) << "closed at once: nothing resolves into it";
        edit.setText("written after the close");
        unitStillUsable = edit.text() == "written after the close";
        return Value();
    });
    model.raiseEvent(kButton, 0);
    EXPECT_TRUE(unitStillUsable);
    EXPECT_FALSE(model.isLoaded(kWin));
    EXPECT_TRUE(model.loadWindow(kWin)) << "and it loads again afresh";
    EXPECT_EQ(model.resolveAs<EditBox>(kEdit).text(), "start");
}

TEST_F(WindowModelTest, unitKindsOfOtherLibrariesComeFromTheirFactory) {
    struct FakeRecordSet : Unit {
        explicit FakeRecordSet(std::uint32_t id) : Unit(UnitKind::RecordSet, id) {}
        Value readOwnProperty(int own) const override { return own == 2 ? Value(std::int32_t{12}) : Value(); }
    };
    model.registerUnitFactory(UnitKind::RecordSet, [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<FakeRecordSet>(l.id);
    });
    ASSERT_TRUE(model.loadWindow(kWin));
    EXPECT_EQ(model.readProperty(kRecordSet, 10), Value(std::int32_t{12}));
}

TEST_F(WindowModelTest, unitHandlesAreDistinctAndLeadBack) {
    ASSERT_TRUE(model.loadWindow(kWin));
    const std::int64_t list = model.windowHandle(kList);
    const std::int64_t edit = model.windowHandle(kEdit);
    EXPECT_NE(list, edit);
    EXPECT_EQ(model.unitForHandle(list), kList);
    EXPECT_EQ(model.unitForHandle(-1), std::nullopt);
}

TEST_F(WindowModelTest, droppedFilesReachTheBoundHandlerAsOneText) {
    ASSERT_TRUE(model.loadWindow(kWin));
    std::vector<std::string> texts;
    model.handlers().add("Dropped", [&](const std::vector<Value>& args) {
        texts.push_back(args.at(0).as<std::string>());
        return Value();
    });
    auto& drop = model.resolveAs<DropTarget>(kDrop);
    EXPECT_TRUE(drop.registerWindow(model.windowHandle(kList)));
    drop.deliverDroppedFiles({"/tmp/a b.jpg"});
    drop.deliverDroppedFiles({"/x/1", "/x/2", "/x/dir"});
    EXPECT_EQ(texts, (std::vector<std::string>{"/tmp/a b.jpg", "/x/1\r\n/x/2\r\n/x/dir\r\n"}));
}

TEST_F(WindowModelTest, fileDialogAnswerBecomesPropertyTen) {
    ASSERT_TRUE(model.loadWindow(kWin));
    auto& dialog = model.resolveAs<FileDialog>(kDialog);
    EXPECT_FALSE(dialog.show());  // headless: cancelled
    std::vector<FileDialogSettings> shown;
    FileDialog::setPresenter([&](const FileDialogSettings& s) -> std::optional<std::string> {
        shown.push_back(s);
        return std::string("/home/u/photo.jpg");
    });
    model.writeProperty(kDialog, 8 + FileDialog::kOwnFilterIndex, Value(std::int32_t{-3}));
    EXPECT_TRUE(dialog.show());
    EXPECT_EQ(model.readProperty(kDialog, 10), Value("/home/u/photo.jpg"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].filter, "||");
    EXPECT_EQ(shown[0].filterIndex, 0);

    FileDialog::setPresenter([](const FileDialogSettings&) { return std::optional<std::string>(); });
    EXPECT_FALSE(dialog.show());
    EXPECT_EQ(model.readProperty(kDialog, 10), Value("/home/u/photo.jpg"));  // cancel changes nothing
}

}  // namespace
}  // namespace vex
