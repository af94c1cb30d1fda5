#include "ui/sorting.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/report_list.h"

namespace vex {
namespace {

// The selection procedure exactly as the sort is meant to behave: scan the
// remaining keys, let any key that beats or ties the current best replace it,
// place the best, repeat. Keys are prepared afresh at every comparison.
std::vector<std::size_t> referenceSelectionOrder(const std::vector<std::string>& keys, bool ascending,
                                                 bool caseSensitive, int kind,
                                                 const SortKeyConversions& conversions) {
    auto prepareText = [&](const std::string& key) { return caseSensitive ? key : upperCaseAsciiKey(key); };
    auto prepareDate = [&](const std::string& key) {
        double v = conversions.toDateTime(key);
        v = std::min(std::max(v, -657434.0), 2958465.0);
        if (v < 0) v = 2 * std::trunc(v) - v;
        return v;
    };
    auto bestKeepsPlace = [&](const std::string& best, const std::string& other) {
        if (kind == sort_kind::kText) {
            return ascending ? prepareText(best) < prepareText(other)
                             : prepareText(best) > prepareText(other);
        }
        if (kind == sort_kind::kDateTime) {
            return ascending ? prepareDate(best) < prepareDate(other)
                             : prepareDate(best) > prepareDate(other);
        }
        const double difference = conversions.toNumber(best) - conversions.toNumber(other);
        return ascending ? difference < -1e-7 : difference > 1e-7;
    };
    std::vector<std::size_t> remaining;
    for (std::size_t i = 0; i < keys.size(); ++i) remaining.push_back(i);
    std::vector<std::size_t> order;
    while (remaining.size() > 1) {
        std::size_t best = 0;
        for (std::size_t x = 1; x < remaining.size(); ++x) {
            if (!bestKeepsPlace(keys[remaining[best]], keys[remaining[x]])) best = x;
        }
        order.push_back(remaining[best]);
        remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(best));
    }
    if (!remaining.empty()) order.push_back(remaining[0]);
    return order;
}

// Dates as plain numbers keep the test independent of the date parser, while
// still covering the clamp and the mirroring of days before 1899-12-30.
SortKeyConversions numericTestConversions() {
    auto parse = [](const std::string& text) { return std::stod(text); };
    return {parse, parse};
}

std::string randomKey(std::mt19937& random) {
    static const std::vector<std::string> pieces = {"a", "A", "b",  "B",  "z", "Z", "0",   "9",
                                                    "",  "é", "文", "件", "~", " ", "\x7f"};
    std::uniform_int_distribution<int> length(0, 3);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::string key;
    for (int n = length(random); n > 0; --n) key += pieces[piece(random)];
    return key;
}

std::string randomDate(std::mt19937& random) {
    static const std::vector<double> values = {-700000.0, -657434.0, -657433.75, -3.25, -3.5, -2.0,     -0.5,
                                               0.0,       0.25,      1.0,        2.5,   3e6,  2958465.0};
    return std::to_string(values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)]);
}

// Numbers that often lie within the tolerance (1e-7) of each other, and some that cannot be compared at all.
std::string randomCrowdedNumber(std::mt19937& random) {
    static const std::vector<std::string> values = {
        "1", "1.00000005", "1.0000001", "1.00000015", "1.0000003", "0.9999999", "2",     "-0",
        "0", "5e-8",       "inf",       "-inf",       "nan",       "1e308",     "-1e308"};
    return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
}

struct RandomCase {
    int kind;
    bool caseSensitive;
    bool crowdedNumbers = false;
};

class SelectionOrderMatchesProcedure : public ::testing::TestWithParam<RandomCase> {};

TEST_P(SelectionOrderMatchesProcedure, onRandomKeysWithManyTies) {
    const RandomCase param = GetParam();
    const SortKeyConversions conversions = numericTestConversions();
    std::mt19937 random(20261207u + static_cast<unsigned>(param.kind) * 4 + param.caseSensitive * 2 +
                        param.crowdedNumbers);
    for (int round = 0; round < 300; ++round) {
        const std::size_t rows = std::uniform_int_distribution<std::size_t>(0, 40)(random);
        std::vector<std::string> keys;
        for (std::size_t r = 0; r < rows; ++r) {
            keys.push_back(param.kind == sort_kind::kText ? randomKey(random)
                           : param.crowdedNumbers         ? randomCrowdedNumber(random)
                                                          : randomDate(random));
        }
        for (bool ascending : {true, false}) {
            EXPECT_EQ(selectionSortOrder(keys, ascending, param.caseSensitive, param.kind, conversions),
                      referenceSelectionOrder(keys, ascending, param.caseSensitive, param.kind, conversions))
                << "round " << round << " ascending " << ascending;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SelectionOrderMatchesProcedure,
                         ::testing::Values(RandomCase{sort_kind::kText, false},
                                           RandomCase{sort_kind::kText, true},
                                           RandomCase{sort_kind::kDateTime, false},
                                           RandomCase{sort_kind::kNumber, false},
                                           RandomCase{sort_kind::kNumber, false, true}));

PlainSortableList listOf(const std::vector<std::vector<std::string>>& rows) {
    PlainSortableList list;
    list.columns = rows.empty() ? 3 : rows.front().size();
    for (const auto& cells : rows) list.rows.push_back({cells, 0});
    return list;
}

std::vector<std::string> column(const PlainSortableList& list, std::size_t c) {
    std::vector<std::string> texts;
    for (const auto& row : list.rows) texts.push_back(row.cells[c]);
    return texts;
}

TEST(SortReportList, sequenceNumbersSortAsTexts) {
    PlainSortableList list;
    list.columns = 1;
    for (int i = 1; i <= 12; ++i) list.rows.push_back({{std::to_string(i)}, 0});
    EXPECT_EQ(SortReportList(list, 0, true, true), sort_status::kDone);
    EXPECT_EQ(column(list, 0),
              (std::vector<std::string>{"1", "10", "11", "12", "2", "3", "4", "5", "6", "7", "8", "9"}));
}

TEST(SortReportList, caseInsensitiveTiesComeOutInReverse) {
    PlainSortableList list = listOf({{"0", "txt"}, {"1", "Exe"}, {"2", "TXT"}});
    SortReportList(list, 1, true, false);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"1", "2", "0"}));
}

TEST(SortReportList, numbersWithinToleranceTieToTheLaterRow) {
    PlainSortableList list = listOf({{"1.00000001"}, {"1"}});
    SortReportList(list, 0, false, false, sort_kind::kNumber, numericTestConversions());
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"1", "1.00000001"}));
}

TEST(SortReportList, dateKindUsesTheRuntimeConversionAndNonDatesComeFirst) {
    PlainSortableList list = listOf({{"2020-01-01"}, {"not a date"}, {"1999-12-31"}, {"12.5"}});
    SortReportList(list, 0, true, false, sort_kind::kDateTime);
    // Both texts that are no date count as the earliest date and tie, later row first.
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"12.5", "not a date", "1999-12-31", "2020-01-01"}));
    SortReportList(list, 0, true, false, sort_kind::kNumberAlias);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"not a date", "12.5", "1999-12-31", "2020-01-01"}));
}

TEST(SortReportList, refusalsLeaveTheListUnchanged) {
    const PlainSortableList original = listOf({{"b", "x"}, {"a", "y"}});
    struct Case {
        int column;
        int kind;
        bool reportView;
        std::string_view status;
    };
    for (const Case& c :
         {Case{0, 5, true, sort_status::kBadKind}, Case{2, 10, true, sort_status::kBadColumn},
          Case{-1, 10, true, sort_status::kBadColumn}, Case{0, 10, false, sort_status::kNotReportView}}) {
        PlainSortableList list = original;
        list.reportView = c.reportView;
        EXPECT_EQ(SortReportList(list, c.column, true, false, c.kind), c.status);
        EXPECT_EQ(column(list, 0), column(original, 0));
    }
}

TEST(SortReportList, checkStateAndCurrentRowMoveWithTheirTexts) {
    PlainSortableList list = listOf({{"c"}, {"a"}, {"b"}});
    list.rows[1].checkState = 1;
    list.rows[2].checkState = -1;
    list.currentRow = 1;
    SortReportList(list, 0);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.rows[0].checkState, 1);
    EXPECT_EQ(list.rows[1].checkState, -1);
    EXPECT_EQ(list.rows[2].checkState, 0);
    EXPECT_EQ(list.currentRow, 0);
}

TEST(SortReportList, reportListRowsMoveWithCheckStateAndSelection) {
    ReportList list(1, {{"序列", 50}, {"文件类", 50}});
    list.appendRows({{"1", "png"}, {"2", "EXE"}, {"3", "txt"}});
    list.setCheckState(0, check_state::kChecked);
    list.selectItem(2);
    std::string direction;
    SortByClickedColumn(list, 1, direction);
    EXPECT_EQ(list.itemText(0, 1), "txt");
    EXPECT_EQ(list.itemText(1, 1), "png");
    EXPECT_EQ(list.checkState(1), check_state::kChecked);
    EXPECT_EQ(list.checkState(0), check_state::kUnchecked);
    EXPECT_EQ(list.currentItem(), 0);
}

// A report list compares its keys where it keeps them, folding case only in
// the keys that need it; the order must be the one the copied keys give, ties
// and bytes above ASCII included.
TEST(SortReportList, reportListKeptKeysOrderAsCopiedKeys) {
    std::mt19937 random(11);
    const char* pieces[] = {"a", "A", "z", "Z", "é", "É", "_", "`", "{", "0", "", "\xff"};
    ReportList kept(1, {{"a", 10}, {"b", 10}});
    PlainSortableList copied;
    copied.columns = 2;
    for (int row = 0; row < 3000; ++row) {
        std::string key;
        for (int length = static_cast<int>(random() % 4); length > 0; --length) key += pieces[random() % 12];
        kept.appendRows({{key, std::to_string(row)}});
        copied.rows.push_back({{key, std::to_string(row)}, 0});
    }
    for (const bool ascending : {true, false})
        for (const bool caseSensitive : {true, false}) {
            SortReportList(kept, 0, ascending, caseSensitive);
            SortReportList(static_cast<SortableList&>(copied), 0, ascending, caseSensitive);
            std::vector<std::string> keptOrder;
            for (int row = 0; row < kept.itemCount(); ++row) keptOrder.push_back(kept.itemText(row, 1));
            EXPECT_EQ(keptOrder, column(copied, 1)) << ascending << caseSensitive;
        }
}

TEST(SortByClickedColumn, firstClickDescendsAndLaterClicksAlternate) {
    PlainSortableList list = listOf({{"1", "exe", "X"}, {"2", "TXT", "Y"}, {"3", "png", "Z"}});
    std::string direction;
    SortByClickedColumn(list, 1, direction);
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"TXT", "png", "exe"}));
    EXPECT_EQ(direction, "1");
    SortByClickedColumn(list, 1, direction);
    EXPECT_EQ(column(list, 1), (std::vector<std::string>{"exe", "png", "TXT"}));
    EXPECT_EQ(direction, "2");
}

TEST(SortByClickedColumn, columnZeroIsCaseSensitive) {
    PlainSortableList list = listOf({{"a", ""}, {"B", ""}});
    std::string direction = "1";
    SortByClickedColumn(list, 0, direction);
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"B", "a"}));
}

TEST(SortByClickedColumn, ignoredClicksKeepListAndDirection) {
    PlainSortableList list = listOf({{"1", "b", "c", "/p"}, {"2", "a", "d", "/q"}});
    std::string direction = "2";
    SortByClickedColumn(list, 3, direction);
    EXPECT_EQ(direction, "2");
    EXPECT_EQ(column(list, 0), (std::vector<std::string>{"1", "2"}));

    PlainSortableList empty = listOf({});
    SortByClickedColumn(empty, 1, direction);
    EXPECT_EQ(direction, "2");
}

TEST(SortByClickedColumn, oneRowListStillFlipsDirection) {
    PlainSortableList list = listOf({{"1", "a", "b"}});
    std::string direction;
    SortByClickedColumn(list, 2, direction);
    EXPECT_EQ(direction, "1");
    EXPECT_EQ(list.rows[0].cells, (std::vector<std::string>{"1", "a", "b"}));
}

}  // namespace
}  // namespace vex
