// Files dropped on a list travel as one text with "\r\n" between the paths; a file
// whose name holds that pair must not turn into two other paths.

#include <gtest/gtest.h>

#include "runtime/drop_target.h"
#include "runtime/messages.h"

namespace vex {
namespace {

struct Captured {
    std::vector<std::string> events;
    std::vector<std::string> messages;
};

class DropOfHostileNames : public ::testing::Test {
protected:
    void SetUp() override {
        setMessagePresenter([this](MessageKind, const std::string& text, const std::string&) {
            captured_.messages.push_back(text);
        });
    }
    void TearDown() override { setMessagePresenter({}); }

    std::vector<std::string> drop(const std::vector<std::string>& paths) {
        DropAcceptance filesOnly;
        filesOnly.files = true;
        DropTarget target(1, filesOnly, [this](int event, std::vector<Value> arguments) {
            if (event == DropTarget::kEventFiles)
                captured_.events.push_back(*arguments.at(0).get_if<std::string>());
        });
        target.deliverDroppedFiles(paths);
        return captured_.events;
    }

    Captured captured_;
};

TEST_F(DropOfHostileNames, aNameHoldingTheSeparatorIsLeftOutAndNamed) {
    const std::string crafted = "/downloads/x.bin\r\n/home/user/thesis.odt";
    EXPECT_EQ(drop({crafted, "/downloads/y.bin"}), std::vector<std::string>{"/downloads/y.bin"});
    ASSERT_EQ(captured_.messages.size(), 1u);
    EXPECT_NE(captured_.messages[0].find(crafted), std::string::npos);
}

TEST_F(DropOfHostileNames, aDropOfOnlySuchNamesRaisesNothing) {
    EXPECT_TRUE(drop({"a\r\nb"}).empty());
    EXPECT_EQ(captured_.messages.size(), 1u);
}

TEST_F(DropOfHostileNames, loneCarriageReturnsAndLineFeedsStillTravelIntact) {
    // They cannot be mistaken for a separator; the lists decide about them.
    EXPECT_EQ(drop({"/a\r", "\n/b"}), std::vector<std::string>{"/a\r\r\n\n/b\r\n"});
    EXPECT_TRUE(captured_.messages.empty());
}

}  // namespace
}  // namespace vex
