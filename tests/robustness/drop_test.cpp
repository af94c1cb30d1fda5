// Files dropped on a list travel as one text with "\r\n" between the paths; a file
// whose name holds that pair must not turn into two other paths.

#include <gtest/gtest.h>

#include "runtime/drop_target.h"
#include "runtime/messages.h"

namespace vex {
namespace {

struct Outcome {
    std::vector<std::string> events;
    std::vector<std::string> refused;
};

class DropOfHostileNames : public ::testing::Test {
protected:
    void SetUp() override {
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
    }
    void TearDown() override {
        setMessagePresenter({});
        EXPECT_TRUE(messages_.empty()) << "the drop target leaves showing the refused names to the window";
    }

    static Outcome drop(const std::vector<std::string>& paths) {
        Outcome outcome;
        DropAcceptance filesOnly;
        filesOnly.files = true;
        DropTarget target(1, filesOnly, [&outcome](int event, std::vector<Value> arguments) {
            if (event == DropTarget::kEventFiles)
                outcome.events.push_back(*arguments.at(0).get_if<std::string>());
        });
        target.deliverDroppedFiles(paths);
        outcome.refused = target.refusedPaths();
        return outcome;
    }

    std::vector<std::string> messages_;
};

TEST_F(DropOfHostileNames, aNameHoldingTheSeparatorIsLeftOutAndNamed) {
    const std::string crafted = "/downloads/x.bin\r\n/home/user/thesis.odt";
    const Outcome outcome = drop({crafted, "/downloads/y.bin"});
    EXPECT_EQ(outcome.events, std::vector<std::string>{"/downloads/y.bin"});
    EXPECT_EQ(outcome.refused, std::vector<std::string>{crafted});
}

TEST_F(DropOfHostileNames, aDropOfOnlySuchNamesRaisesNothing) {
    const Outcome outcome = drop({"a\r\nb"});
    EXPECT_TRUE(outcome.events.empty());
    EXPECT_EQ(outcome.refused, std::vector<std::string>{"a\r\nb"});
}

TEST_F(DropOfHostileNames, loneCarriageReturnsAndLineFeedsStillTravelIntact) {
    // They cannot be mistaken for a separator; the lists decide about them.
    const Outcome outcome = drop({"/a\r", "\n/b"});
    EXPECT_EQ(outcome.events, std::vector<std::string>{"/a\r\r\n\n/b\r\n"});
    EXPECT_TRUE(outcome.refused.empty());
}

}  // namespace
}  // namespace vex
