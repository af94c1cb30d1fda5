#include "runtime/report_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace vex {
namespace {

ReportList threeColumnList() { return ReportList(1, {{"序列", 50}, {"文件类", 50}, {"特征值", 200}}); }

void addRow(ReportList& list, std::vector<std::string> cells) {
    const int item = list.insertItem(-1, cells[0]);
    for (std::size_t c = 1; c < cells.size(); ++c) list.setItemText(item, static_cast<int>(c), cells[c]);
}

// Records the notifications in order, as a Qt model would receive them.
struct RecordingObserver : ReportListObserver {
    std::vector<std::string> calls;
    std::vector<int> lastPermutation;
    void beginReset() override { calls.push_back("beginReset"); }
    void endReset() override { calls.push_back("endReset"); }
    void beginInsertRows(int first, int last) override {
        calls.push_back("beginInsert " + std::to_string(first) + "-" + std::to_string(last));
    }
    void endInsertRows() override { calls.push_back("endInsert"); }
    void beginPermuteRows() override { calls.push_back("beginPermute"); }
    void endPermuteRows(const std::vector<int>& newToOld) override {
        calls.push_back("endPermute");
        lastPermutation = newToOld;
    }
    void cellChanged(int row, int column) override {
        calls.push_back("cell " + std::to_string(row) + "," + std::to_string(column));
    }
    void checkStateChanged(int row) override { calls.push_back("check " + std::to_string(row)); }
    void selectionChanged(int current) override { calls.push_back("select " + std::to_string(current)); }
};

TEST(ReportListTest, itemTextOfAnyLengthComesBackWhole) {
    ReportList list = threeColumnList();
    const std::string long600(600, 'x');
    const std::string long100k(100000, 'y');
    addRow(list, {long600, "", long100k});
    EXPECT_EQ(list.itemText(0, 0), long600);
    EXPECT_EQ(list.itemText(0, 2), long100k);
}

TEST(ReportListTest, cellsOutsideTheListReadEmptyAndCannotBeSet) {
    ReportList list = threeColumnList();
    addRow(list, {"a"});
    EXPECT_EQ(list.itemText(0, 1), "");  // never set
    EXPECT_EQ(list.itemText(1, 0), "");
    EXPECT_EQ(list.itemText(-1, 0), "");
    EXPECT_EQ(list.itemText(0, 3), "");
    EXPECT_FALSE(list.setItemText(1, 0, "x"));
    EXPECT_FALSE(list.setItemText(0, 3, "x"));
    EXPECT_FALSE(list.setItemText(0, -1, "x"));
    EXPECT_EQ(list.checkState(5), check_state::kNoBox);
    EXPECT_FALSE(list.setCheckState(5, 1));
    EXPECT_EQ(list.itemImage(5), 0);
}

TEST(ReportListTest, checkStateRoundTripsAndClampsToNoBox) {
    ReportList list = threeColumnList();
    addRow(list, {"a"});
    EXPECT_EQ(list.checkState(0), check_state::kUnchecked);  // lists with check boxes start unchecked
    ASSERT_TRUE(list.setCheckState(0, 1));
    EXPECT_EQ(list.checkState(0), 1);
    ASSERT_TRUE(list.setCheckState(0, 0));
    EXPECT_EQ(list.checkState(0), 0);
    ASSERT_TRUE(list.setCheckState(0, -7));
    EXPECT_EQ(list.checkState(0), -1);
}

TEST(ReportListTest, insertPositionsAndDefaults) {
    ReportList list = threeColumnList();
    for (int i = 0; i < 3; ++i) addRow(list, {std::to_string(i)});
    EXPECT_EQ(list.insertItem(-1, "end"), 3);
    EXPECT_EQ(list.insertItem(99, "past end"), 4);
    EXPECT_EQ(list.insertItem(0, "front", -5, -2, 42), 0);
    EXPECT_EQ(list.itemText(0), "front");
    EXPECT_EQ(list.itemText(1), "0");
    EXPECT_EQ(list.itemImage(0), -1);
    EXPECT_EQ(list.itemIndent(0), 0);
    EXPECT_EQ(list.itemValue(0), 42);
    EXPECT_EQ(list.itemCount(), 6);
}

TEST(ReportListTest, deleteAllKeepsColumns) {
    ReportList list = threeColumnList();
    addRow(list, {"a", "b", "c"});
    list.selectItem(0);
    list.deleteAllItems();
    EXPECT_EQ(list.itemCount(), 0);
    EXPECT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.currentItem(), -1);
}

TEST(ReportListTest, currentItemFollowsTheOneSelectedRow) {
    ReportList list = threeColumnList();
    for (int i = 0; i < 3; ++i) addRow(list, {std::to_string(i)});
    EXPECT_EQ(list.currentItem(), -1);
    EXPECT_EQ(list.readOwnProperty(ReportList::kOwnCurrentItem), Value(std::int32_t{-1}));
    list.selectItem(2);
    list.selectItem(1);  // one selected row at a time
    EXPECT_EQ(list.currentItem(), 1);
    EXPECT_FALSE(list.isSelected(2));
    list.insertItem(0, "new");  // the selected row moves down with its item
    EXPECT_EQ(list.currentItem(), 2);
    list.writeOwnProperty(ReportList::kOwnCurrentItem, Value(std::int32_t{-1}));
    EXPECT_EQ(list.currentItem(), -1);
}

TEST(ReportListTest, displayTypeIsReportViewUntilChanged) {
    ReportList list = threeColumnList();
    EXPECT_EQ(list.readOwnProperty(ReportList::kOwnDisplayType), Value(std::int32_t{3}));
    list.writeOwnProperty(ReportList::kOwnDisplayType, Value(std::int32_t{1}));
    EXPECT_EQ(list.displayType(), 1);
}

struct FindCase {
    const char* name;
    const char* text;
    int start;
    bool exact;
    std::optional<int> column;
    int expected;
};

class ReportListFindTest : public ::testing::TestWithParam<FindCase> {};

// Rows: 0 "abc"/"x"/"Abc123", 1 "abd"/"Abc"/"y", 2 "ABC"/"y"/"abc", 3 "zzz"/"q"/"Abc9"
TEST_P(ReportListFindTest, findsAsTheColumnRulesSay) {
    ReportList list = threeColumnList();
    addRow(list, {"abc", "x", "Abc123"});
    addRow(list, {"abd", "Abc", "y"});
    addRow(list, {"ABC", "y", "abc"});
    addRow(list, {"zzz", "q", "Abc9"});
    const FindCase& c = GetParam();
    EXPECT_EQ(list.findItem(c.text, c.start, c.exact, c.column), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportListFindTest,
    ::testing::Values(FindCase{"captionIgnoresCase", "Abc", 0, true, std::nullopt, 0},
                      FindCase{"captionFromStartIndex", "Abc", 1, true, std::nullopt, 2},
                      FindCase{"negativeStartCountsAsZero", "abc", -4, true, 0, 0},
                      FindCase{"noWrapAround", "abc", 3, true, 0, -1},
                      FindCase{"captionPrefix", "AB", 1, false, 0, 1},
                      FindCase{"columnTwoIsCaseSensitive", "Abc", 0, true, 2, -1},
                      FindCase{"columnTwoExact", "abc", 0, true, 2, 2},
                      FindCase{"columnTwoPrefix", "Abc", 0, false, 2, 0},
                      FindCase{"columnTwoPrefixFromStart", "Abc", 1, false, 2, 3},
                      FindCase{"columnMinusOneUsesCaptionsFirst", "abd", 0, true, -1, 1},
                      FindCase{"columnMinusOneCaptionMatchWins", "Abc", 0, true, -1, 0},
                      FindCase{"columnMinusOneOtherColumns", "q", 0, true, -1, 3},
                      FindCase{"columnMinusOneItemByItem", "y", 0, true, -1, 1},
                      FindCase{"columnMinusOneOtherColumnsCaseSensitive", "ABC123", 0, true, -1, -1},
                      FindCase{"columnOutsideListUsesCaptions", "zzz", 0, true, 7, 3},
                      FindCase{"columnOutsideListIgnoresOtherColumns", "q", 0, true, 7, -1},
                      FindCase{"emptyTextPrefixMatchesFirst", "", 2, false, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportListTest, findInOtherColumnsNeedsReportView) {
    ReportList list = threeColumnList();
    addRow(list, {"a", "b", "c"});
    list.setDisplayType(1);
    EXPECT_EQ(list.findItem("b", 0, true, 1), -1);
    EXPECT_EQ(list.findItem("A", 0, true, 1), 0);
}

TEST(ReportListTest, permutationMovesWholeRowsWithCheckAndSelection) {
    ReportList list = threeColumnList();
    for (int i = 0; i < 3; ++i) addRow(list, {"r" + std::to_string(i), "c" + std::to_string(i)});
    list.setCheckState(0, 1);
    list.selectItem(0);
    ASSERT_TRUE(list.permuteRows({2, 0, 1}));
    EXPECT_EQ(list.itemText(0), "r2");
    EXPECT_EQ(list.itemText(1, 1), "c0");
    EXPECT_EQ(list.checkState(1), 1);
    EXPECT_EQ(list.checkState(0), 0);
    EXPECT_EQ(list.currentItem(), 1);
}

TEST(ReportListTest, permutationThatIsNotOneChangesNothing) {
    ReportList list = threeColumnList();
    for (int i = 0; i < 3; ++i) addRow(list, {std::to_string(i)});
    EXPECT_FALSE(list.permuteRows({0, 0, 1}));
    EXPECT_FALSE(list.permuteRows({0, 1}));
    EXPECT_FALSE(list.permuteRows({0, 1, 3}));
    EXPECT_EQ(list.itemText(0), "0");
    EXPECT_EQ(list.itemText(2), "2");
}

TEST(ReportListTest, observersHearEachChangeInQtOrder) {
    ReportList list = threeColumnList();
    RecordingObserver observer;
    list.addObserver(&observer);
    list.insertItem(-1, "a");
    list.setItemText(0, 2, "z");
    list.setCheckState(0, 1);
    list.setCheckState(0, 1);  // unchanged: no notification
    list.selectItem(0);
    list.appendRows({{"b"}, {"c"}});
    list.permuteRows({2, 1, 0});
    list.setRows({});
    list.removeObserver(&observer);
    list.insertItem(-1, "unheard");
    EXPECT_EQ(observer.calls,
              (std::vector<std::string>{"beginInsert 0-0", "endInsert", "cell 0,2", "check 0", "select 0",
                                        "beginInsert 1-2", "endInsert", "beginPermute", "endPermute",
                                        "beginReset", "endReset"}));
    EXPECT_EQ(observer.lastPermutation, (std::vector<int>{2, 1, 0}));
}

TEST(ReportListTest, bulkRebuildOfManyRowsIsOneReset) {
    ReportList list = threeColumnList();
    RecordingObserver observer;
    list.addObserver(&observer);
    std::vector<ReportRow> rows(100000);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].cells = {std::to_string(i + 1), "jpg", "FFD8"};
    rows[5].checkState = 9;  // out of range states are clamped
    list.setRows(std::move(rows));
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"beginReset", "endReset"}));
    EXPECT_EQ(list.itemCount(), 100000);
    EXPECT_EQ(list.itemText(99999, 0), "100000");
    EXPECT_EQ(list.checkState(5), 1);
    list.removeObserver(&observer);
}

TEST(ReportListTest, rowByRowRebuildInABatchIsOneReset) {
    ReportList list = threeColumnList();
    addRow(list, {"old"});
    RecordingObserver observer;
    list.addObserver(&observer);
    {
        ReportList::UpdateBatch outer(list);
        list.deleteAllItems();
        {
            ReportList::UpdateBatch inner(list);
            for (int i = 0; i < 1000; ++i) addRow(list, {std::to_string(i), "x", "y"});
        }
        list.setCheckState(3, 1);
        EXPECT_EQ(observer.calls, std::vector<std::string>{"beginReset"});
    }
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"beginReset", "endReset"}));
    EXPECT_EQ(list.itemCount(), 1000);
    EXPECT_EQ(list.itemText(999, 2), "y");
    list.removeObserver(&observer);
}

// The compact row store against a plain vector of rows: every edit that
// reuses, moves or outgrows the shared text buffer leaves each cell readable
// as the plain model says, with its row's check state, value and notes.
TEST(ReportListTest, compactRowsAgreeWithPlainRowsThroughAnyEdits) {
    ReportList list(1, {{"a", 10}, {"b", 10}, {"c", 10}, {"d", 10}});
    std::vector<ReportRow> plain;
    std::mt19937 random(20261208);
    auto pick = [&](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
    auto text = [&] {
        static const std::string kinds[] = {"", "x", "未知类型", std::string(300, 'p'),
                                            "FFD8FFE000104A464946"};
        return kinds[pick(5)] + std::to_string(pick(1000));
    };
    for (int step = 0; step < 20000; ++step) {
        const int rows = static_cast<int>(plain.size());
        switch (rows == 0 ? 0 : pick(6)) {
            case 0: {  // insert anywhere, with a value
                const int at = rows == 0 ? 0 : pick(rows + 1);
                const std::string caption = text();
                const int value = pick(3);
                ASSERT_EQ(list.insertItem(at, caption, -1, 0, value), at);
                ReportRow row;
                row.cells = {caption};
                row.itemValue = value;
                plain.insert(plain.begin() + at, row);
                break;
            }
            case 1:
            case 2: {  // replace a cell, growing the row or not
                const int item = pick(rows), column = pick(4);
                const std::string cell = text();
                ASSERT_TRUE(list.setItemText(item, column, cell));
                auto& cells = plain[static_cast<std::size_t>(item)].cells;
                if (cells.size() <= static_cast<std::size_t>(column) && !cell.empty())
                    cells.resize(column + 1);
                if (cells.size() > static_cast<std::size_t>(column)) cells[column] = cell;
                break;
            }
            case 3: {  // check
                const int item = pick(rows);
                list.setCheckState(item, 1);
                plain[static_cast<std::size_t>(item)].checkState = 1;
                break;
            }
            case 4: {  // reverse the rows
                std::vector<int> order(static_cast<std::size_t>(rows));
                for (int i = 0; i < rows; ++i) order[static_cast<std::size_t>(i)] = rows - 1 - i;
                ASSERT_TRUE(list.permuteRows(order));
                std::reverse(plain.begin(), plain.end());
                break;
            }
            case 5:
                if (pick(50) == 0) {  // rebuild whole, notes included
                    for (ReportRow& row : plain)
                        if (pick(4) == 0) row.notes = {{1, text(), CellMark::Weak}};
                    list.setRows(plain);
                }
                break;
        }
    }
    ASSERT_EQ(list.itemCount(), static_cast<int>(plain.size()));
    const std::vector<ReportRow> rows = list.rows();
    for (std::size_t i = 0; i < plain.size(); ++i) {
        std::vector<std::string> expected = plain[i].cells;
        while (!expected.empty() && expected.back().empty() && expected.size() > rows[i].cells.size())
            expected.pop_back();
        EXPECT_EQ(rows[i].cells, expected) << i;
        EXPECT_EQ(rows[i].checkState, plain[i].checkState) << i;
        EXPECT_EQ(rows[i].itemValue, plain[i].itemValue) << i;
        EXPECT_EQ(rows[i].notes.size(), plain[i].notes.size()) << i;
    }
}

TEST(ReportListTest, aCellBeyondTheCompactLengthComesBackWhole) {
    ReportList list = threeColumnList();
    const std::string huge((1 << 24) + 5, 'h');
    addRow(list, {"a", huge, "c"});
    list.setItemText(0, 1, huge + "!");
    EXPECT_EQ(list.itemText(0, 1), huge + "!");
    EXPECT_EQ(list.itemText(0, 2), "c");
}

}  // namespace
}  // namespace vex
