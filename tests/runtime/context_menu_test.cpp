// A context-menu entry runs its handler as an event binding would, and the
// questions the core asks are declined unless someone answers them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/questions.h"
#include "runtime/window_model.h"

namespace vex {
namespace {

constexpr std::uint32_t kWin = 0x520100C1;
constexpr UnitRef kList{kWin, 0x16010001};
constexpr UnitRef kPlainList{kWin, 0x16010002};

WindowLayout windowWithMenu() {
    WindowLayout w;
    w.id = kWin;
    UnitLayout list{.kind = UnitKind::ReportList, .id = kList.unit, .name = "超级列表框1"};
    list.contextMenu = {{"导入…", "Import", {Value(kList)}}, {}, {"导出…", "NotRegistered", {}}};
    UnitLayout plain{.kind = UnitKind::ReportList, .id = kPlainList.unit, .name = "超级列表框2"};
    w.units = {list, plain};
    return w;
}

TEST(ContextMenu, anEntryRunsItsHandlerWithItsArgumentsAndNothingElseRunsAnything) {
    WindowModel model;
    model.registerLayout(windowWithMenu());
    ASSERT_TRUE(model.loadWindow(kWin));
    std::vector<std::vector<Value>> calls;
    UnitRef source;
    model.handlers().add("Import", [&](const std::vector<Value>& arguments) {
        calls.push_back(arguments);
        source = model.currentEventSource();
        return Value();
    });

    struct Case {
        UnitRef list;
        std::size_t entry;
        bool handled;
    };
    for (const Case& c : {Case{kList, 0, true}, Case{kList, 1, false} /* separator */,
                          Case{kList, 2, false} /* handler not registered */, Case{kList, 3, false},
                          Case{kPlainList, 0, false}}) {
        EXPECT_EQ(model.chooseMenuEntry(c.list, c.entry).handled, c.handled) << "entry " << c.entry;
    }
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].size(), 1u);
    ASSERT_NE(calls[0][0].get_if<UnitRef>(), nullptr);
    EXPECT_EQ(*calls[0][0].get_if<UnitRef>(), kList);
    EXPECT_EQ(source, kList) << "the handler sees the list as the source of its event";
    EXPECT_EQ(model.currentEventSource(), UnitRef{});
}

TEST(Questions, areDeclinedWithoutAnAnswererAndAnAnswerOutsideTheChoicesIsNoChoice) {
    setQuestionAnswerer({});
    EXPECT_FALSE(askYesOrNo("Restore?"));
    EXPECT_EQ(askToChoose("Which?", {"a", "b"}), std::nullopt);

    std::vector<Question> asked;
    std::optional<std::size_t> answer;
    setQuestionAnswerer([&](const Question& question) {
        asked.push_back(question);
        return answer;
    });
    answer = 0;
    EXPECT_TRUE(askYesOrNo("Restore?"));
    EXPECT_TRUE(asked.back().choices.empty());
    answer = 1;
    EXPECT_FALSE(askYesOrNo("Restore?")) << "only the first answer of a yes-or-no question is yes";
    EXPECT_EQ(askToChoose("Which?", {"a", "b"}, 1), std::optional<std::size_t>(1));
    EXPECT_EQ(asked.back().preselected, 1u);
    answer = 2;
    EXPECT_EQ(askToChoose("Which?", {"a", "b"}), std::nullopt);
    const std::size_t before = asked.size();
    EXPECT_EQ(askToChoose("Which?", {}), std::nullopt);
    EXPECT_EQ(asked.size(), before) << "nothing to choose from is not asked";
    setQuestionAnswerer({});
}

}  // namespace
}  // namespace vex
