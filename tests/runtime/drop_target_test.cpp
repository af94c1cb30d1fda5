#include "runtime/drop_target.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vex {
namespace {

using namespace drop_effect;

struct EffectCase {
    const char* name;
    bool offered;
    DropKeys keys;
    unsigned allowed;
    unsigned expected;
};

class DropEffectTest : public ::testing::TestWithParam<EffectCase> {};

TEST_P(DropEffectTest, followsKeysAndAllowedEffects) {
    const EffectCase& c = GetParam();
    EXPECT_EQ(chooseDropEffect(c.offered, c.keys, c.allowed), c.expected);
}

constexpr DropKeys kNoKey{};
constexpr DropKeys kCtrl{true, false};
constexpr DropKeys kShift{false, true};
constexpr DropKeys kCtrlShift{true, true};

INSTANTIATE_TEST_SUITE_P(
    Cases, DropEffectTest,
    ::testing::Values(EffectCase{"nothingAcceptedOffered", false, kNoKey, kCopy | kMove | kLink, kNone},
                      EffectCase{"ctrlShiftRefusesLinks", true, kCtrlShift, kCopy | kMove | kLink, kNone},
                      EffectCase{"ctrlCopies", true, kCtrl, kCopy | kMove, kCopy},
                      EffectCase{"ctrlWithoutCopyAllowed", true, kCtrl, kMove | kLink, kNone},
                      EffectCase{"shiftMoves", true, kShift, kCopy | kMove, kMove},
                      EffectCase{"shiftWithoutMoveAllowed", true, kShift, kCopy, kNone},
                      EffectCase{"noKeyPrefersCopy", true, kNoKey, kCopy | kMove | kLink, kCopy},
                      EffectCase{"noKeyThenMove", true, kNoKey, kMove | kLink, kMove},
                      EffectCase{"noKeyThenLink", true, kNoKey, kLink, kLink},
                      EffectCase{"noKeyNothingAllowed", true, kNoKey, kNone, kNone}),
    [](const auto& info) { return std::string(info.param.name); });

class DropTargetTest : public ::testing::Test {
protected:
    DropTarget makeTarget(DropAcceptance accepts) {
        return DropTarget(1, accepts, [this](int event, std::vector<Value> args) {
            events.emplace_back(event, args.at(0).as<std::string>());
        });
    }
    void TearDown() override { DropTarget::setPlatformRegistrar({}); }

    std::vector<std::pair<int, std::string>> events;
};

TEST_F(DropTargetTest, oneFileIsDeliveredAloneSeveralEachWithLineBreak) {
    DropTarget target = makeTarget({.files = true});
    target.deliverDroppedFiles({"/a/one.png"});
    target.deliverDroppedFiles({"/a/1", "/a/2", "/a/3"});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(3, std::string("/a/one.png")));
    EXPECT_EQ(events[1], std::make_pair(3, std::string("/a/1\r\n/a/2\r\n/a/3\r\n")));
}

TEST_F(DropTargetTest, namesHoldingTheSeparatorAreLeftOutAndKeptForTheWindowToName) {
    DropTarget target = makeTarget({.files = true});
    std::vector<std::string> refusedWhenRaised;
    target.setEventSink([&](int event, std::vector<Value> args) {
        events.emplace_back(event, args.at(0).as<std::string>());
        refusedWhenRaised = target.refusedPaths();
    });
    const std::string crafted = "/in/x.bin\r\n/home/user/thesis.odt";
    target.deliverDroppedFiles({"/in/a", crafted, "/in/b"});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].second, "/in/a\r\n/in/b\r\n");
    EXPECT_EQ(refusedWhenRaised, std::vector<std::string>{crafted}) << "the handler must see them";

    target.deliverDroppedFiles({"/in/c"});
    EXPECT_TRUE(target.refusedPaths().empty()) << "each drop starts afresh";

    // Nothing left to carry: no event, and the caller of the drop finds the names here.
    events.clear();
    target.deliverDroppedFiles({crafted, "a\r\nb"});
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(target.refusedPaths(), (std::vector<std::string>{crafted, "a\r\nb"}));
}

TEST_F(DropTargetTest, secondRegisterFailsAndKeepsTheFirstWindow) {
    std::vector<std::int64_t> attached;
    DropTarget::setPlatformRegistrar([&](DropTarget&, std::int64_t handle) {
        attached.push_back(handle);
        return true;
    });
    DropTarget target = makeTarget({.files = true});
    EXPECT_TRUE(target.registerWindow(11));
    EXPECT_FALSE(target.registerWindow(22));
    EXPECT_EQ(target.registeredWindow(), 11);
    EXPECT_EQ(attached, std::vector<std::int64_t>{11});
}

TEST_F(DropTargetTest, ctrlShiftDropDeliversNothing) {
    DropTarget target = makeTarget({.files = true});
    DroppedData data;
    data.files = {"/a"};
    EXPECT_EQ(target.dragEnter(data, kCtrlShift, kCopy | kMove), kNone);
    EXPECT_EQ(target.dragOver(kNoKey, kCopy), kCopy);
    EXPECT_EQ(target.drop(data, kCtrlShift, kCopy | kMove), kNone);
    EXPECT_TRUE(events.empty());
}

TEST_F(DropTargetTest, filesOnlyTargetIgnoresTextAndAddresses) {
    DropTarget target = makeTarget({.files = true});
    DroppedData data;
    data.text = "hello";
    data.webAddress = "https://example.org/";
    EXPECT_EQ(target.dragEnter(data, kNoKey, kCopy), kNone);
    target.dragLeave();
    EXPECT_EQ(target.drop(data, kNoKey, kCopy), kNone);
    EXPECT_TRUE(events.empty());
}

TEST_F(DropTargetTest, everyAcceptedFormatIsItsOwnEventInOrder) {
    DropTarget target = makeTarget({.text = true, .html = true, .webAddress = true, .files = true});
    DroppedData data;
    data.text = "plain";
    data.html =
        "Version:0.9\r\n<b>a\xC2\xA0"
        "b</b>";
    data.webAddress = "https://example.org/";
    data.files = {"/f"};
    EXPECT_EQ(target.drop(data, kNoKey, kCopy), kCopy);
    // A drag that offers HTML gives no text event; no-break spaces become blanks.
    EXPECT_EQ(events, (std::vector<std::pair<int, std::string>>{
                          {1, "Version:0.9\r\n<b>a b</b>"}, {2, "https://example.org/"}, {3, "/f"}}));
    events.clear();
    data.html.reset();
    target.drop(data, kNoKey, kCopy);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), std::make_pair(0, std::string("plain")));
}

TEST_F(DropTargetTest, acceptanceSwitchesAreOwnPropertiesZeroToThree) {
    DropTarget target = makeTarget({.files = true});
    EXPECT_EQ(target.readOwnProperty(DropTarget::kOwnAcceptFiles), Value(true));
    EXPECT_EQ(target.readOwnProperty(DropTarget::kOwnAcceptText), Value(false));
    target.writeOwnProperty(DropTarget::kOwnAcceptFiles, Value(false));
    target.deliverDroppedFiles({"/a"});
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace vex
