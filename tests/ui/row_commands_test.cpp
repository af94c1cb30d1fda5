#include "ui/row_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/report_list.h"
#include "runtime/window_model.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class RowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowModel::instance().reset();
        registerRowCommandHandlers();
        session_ = std::make_unique<MainWindowSession>();
        ASSERT_TRUE(session_->loaded());
        setRevealHook([this](const std::string& path, const std::string& commandLine) {
            revealed_.push_back({path, commandLine});
        });
    }
    void TearDown() override {
        setRevealHook({});
        session_.reset();
        WindowModel::instance().reset();
    }

    static ReportList& list(UnitRef ref) { return unitAt<ReportList>(ref); }
    static std::string text(UnitRef ref) { return unitAt<EditBox>(ref).text(); }
    static void setText(UnitRef ref, std::string value) { unitAt<EditBox>(ref).setText(std::move(value)); }

    static std::vector<int> checkStates(UnitRef ref) {
        std::vector<int> states;
        for (int i = 0; i < list(ref).itemCount(); ++i) states.push_back(list(ref).checkState(i));
        return states;
    }

    std::unique_ptr<MainWindowSession> session_;
    std::vector<std::pair<std::string, std::string>> revealed_;
};

TEST_F(RowCommandsTest, experimentRowFillsBothEditorPairs) {
    list(mw::experimentList)
        .appendRows({{"1", "png", "89504E470D0A1A0A0000", "/data/a.png"}, {"2", "", "25504446", "/data/b"}});
    list(mw::experimentList).selectItem(0);
    ShowExperimentRow();
    EXPECT_EQ(text(mw::samplePathEdit), "/data/a.png");
    EXPECT_EQ(text(mw::sampleClassEdit), "png");
    EXPECT_EQ(text(mw::sampleSignatureEdit), "89504E470D0A1A0A0000");
    EXPECT_EQ(text(mw::confirmTypeEdit), text(mw::sampleClassEdit));
    EXPECT_EQ(text(mw::confirmSignatureEdit), text(mw::sampleSignatureEdit));

    list(mw::experimentList).selectItem(1);
    ShowExperimentRow();
    EXPECT_EQ(text(mw::sampleClassEdit), "") << "an empty file class empties both class fields";
    EXPECT_EQ(text(mw::confirmTypeEdit), "");
}

TEST_F(RowCommandsTest, identificationRowFillsThePageThreeFields) {
    list(mw::identificationList).appendRows({{"1", "chk", "4D5A90000300000004", "/r/FILE0001.CHK", "exe"}});
    list(mw::identificationList).selectItem(0);
    ShowIdentificationRow();
    EXPECT_EQ(text(mw::resultPathEdit), "/r/FILE0001.CHK");
    EXPECT_EQ(text(mw::resultClassEdit), "chk");
    EXPECT_EQ(text(mw::resultSignatureEdit), "4D5A90000300000004");
    EXPECT_EQ(text(mw::resultTypeEdit), "exe");
}

TEST_F(RowCommandsTest, withoutCurrentRowNoFieldChanges) {
    list(mw::experimentList).appendRows({{"1", "png", "89", "/a"}});
    list(mw::identificationList).appendRows({{"1", "png", "89", "/a", "png"}});
    setText(mw::samplePathEdit, "kept");
    setText(mw::resultPathEdit, "kept too");
    ShowExperimentRow();
    ShowIdentificationRow();
    EXPECT_EQ(text(mw::samplePathEdit), "kept");
    EXPECT_EQ(text(mw::resultPathEdit), "kept too");
}

TEST_F(RowCommandsTest, revealPassesThePathUnquotedAndIgnoresAnEmptyField) {
    revealFileNamedIn(mw::samplePathEdit);
    EXPECT_TRUE(revealed_.empty());
    setText(mw::resultPathEdit, "/home/u/My Files/photo 1.jpg");
    revealFileNamedIn(mw::resultPathEdit);
    ASSERT_EQ(revealed_.size(), 1u);
    EXPECT_EQ(revealed_[0].first, "/home/u/My Files/photo 1.jpg");
    EXPECT_EQ(revealed_[0].second, "explorer /select,/home/u/My Files/photo 1.jpg");
}

TEST_F(RowCommandsTest, checkAllAndInvertFollowTheirRules) {
    ReportList& rows = list(mw::confirmedList);
    CheckAllRows(mw::confirmedList);  // an empty list: nothing to do
    rows.appendRows({{"1"}, {"2"}, {"3"}});
    rows.setCheckState(1, check_state::kChecked);
    rows.setCheckState(2, check_state::kNoBox);

    InvertRowChecks(mw::confirmedList);
    EXPECT_EQ(checkStates(mw::confirmedList), (std::vector<int>{1, 0, 1})) << "no box counts as unchecked";
    InvertRowChecks(mw::confirmedList);
    EXPECT_EQ(checkStates(mw::confirmedList), (std::vector<int>{0, 1, 0}));
    CheckAllRows(mw::confirmedList);
    EXPECT_EQ(checkStates(mw::confirmedList), (std::vector<int>{1, 1, 1}));
    CheckAllRows(mw::confirmedList);
    EXPECT_EQ(checkStates(mw::confirmedList), (std::vector<int>{1, 1, 1}));
}

TEST_F(RowCommandsTest, headerClickHandlerSortsAndKeepsOneDirectionForBothLists) {
    list(mw::confirmedList).appendRows({{"1", "exe", "4D5A"}, {"2", "TXT", "EFBB"}, {"3", "png", "8950"}});
    list(mw::experimentList).appendRows({{"1", "b", "", "/b"}, {"2", "a", "", "/a"}});
    WindowModel& model = WindowModel::instance();
    model.raiseEvent(mw::confirmedList, event::kColumnClicked, {Value(std::int32_t{1})});
    EXPECT_EQ(list(mw::confirmedList).itemText(0, 1), "TXT") << "the first click sorts descending";
    EXPECT_EQ(unitAt<Label>(mw::sortDirectionLabel).text(), "1");
    model.raiseEvent(mw::experimentList, event::kColumnClicked, {Value(std::int32_t{1})});
    EXPECT_EQ(list(mw::experimentList).itemText(0, 1), "a") << "the next click, on either list, ascends";
    EXPECT_EQ(unitAt<Label>(mw::sortDirectionLabel).text(), "2");
    model.raiseEvent(mw::experimentList, event::kColumnClicked, {Value(std::int32_t{3})});
    EXPECT_EQ(unitAt<Label>(mw::sortDirectionLabel).text(), "2") << "the path column does not sort";
}

}  // namespace
}  // namespace vex
