// The confirmed library's page and the store button on the loaded main window.

#include <gtest/gtest.h>

#include <memory>

#include "flow/confirm.h"
#include "runtime/basic_units.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr std::string_view kExeValue = "4D5A9000030000000400";

class ConfirmedPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        registerMainWindowHandlers(model_, [this] { return DataDirectory(dir_.path()); });
        session_ = std::make_unique<MainWindowSession>(model_);
        ASSERT_TRUE(session_->loaded());
    }
    void TearDown() override {
        session_.reset();
        model_.reset();
        setMessagePresenter({});
    }

    ReportList& list() { return model_.resolveAs<ReportList>(mw::confirmedList); }
    void click(UnitRef button) { EXPECT_TRUE(model_.raiseEvent(button, event::kClicked).handled); }
    void store(std::string_view signature, std::string_view type) {
        model_.resolveAs<TextUnit>(mw::confirmSignatureEdit).setText(std::string(signature));
        model_.resolveAs<TextUnit>(mw::confirmTypeEdit).setText(std::string(type));
        click(mw::storeToConfirmedButton);
    }

    test::TempDir dir_;
    WindowModel model_;
    std::unique_ptr<MainWindowSession> session_;
    std::vector<std::string> messages_;
};

TEST_F(ConfirmedPageTest, duplicateOpensTheMessageWindow) {
    store(kExeValue, "exe");
    EXPECT_EQ(list().itemCount(), 1);
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    store(kExeValue, "exe");
    ASSERT_TRUE(model_.isLoaded(message_window::kWindowId));
    EXPECT_EQ(model_.readProperty(message_window::messageLabel, property::kLabelCaption),
              Value(std::string(kDuplicateSignatureMessage)));
    EXPECT_EQ(list().itemCount(), 1);
    EXPECT_TRUE(messages_.empty());
}

// The editors are read-only, so a pair breaking a confirm rule is refused in a
// message, in the words the command line prints; the library is untouched.
TEST_F(ConfirmedPageTest, pairBreakingAConfirmRuleIsRefusedInAMessage) {
    store("4D5A 9000", "exe");
    ASSERT_EQ(messages_.size(), 1u);
    test::TempDir other;
    EXPECT_EQ(messages_[0], AddConfirmedSignature(DataDirectory(other.path()), "4D5A 9000", "exe").reason);
    EXPECT_EQ(list().itemCount(), 0);
    EXPECT_FALSE(model_.isLoaded(message_window::kWindowId));
    store("4d5a", "exe");
    ASSERT_EQ(list().itemCount(), 1);
    EXPECT_EQ(list().itemText(0, confirmed_column::kSignature), "4D5A");
}

TEST_F(ConfirmedPageTest, buttonsDeleteCheckedThenAll) {
    for (const char* value : {"1111", "2222", "3333"}) store(value, "t");
    ASSERT_EQ(list().itemCount(), 3);
    list().setCheckState(1, check_state::kChecked);
    click(mw::confirmedDeleteButton);
    ASSERT_EQ(list().itemCount(), 2);
    EXPECT_EQ(list().itemText(1, confirmed_column::kSignature), "3333");
    EXPECT_EQ(list().itemText(1, confirmed_column::kIndex), "2");
    // The list is rebuilt from the store: no row stays checked.
    EXPECT_TRUE(checkedTexts(list(), confirmed_column::kSignature).empty());
    click(mw::confirmedClearButton);
    EXPECT_EQ(list().itemCount(), 0);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace vex
