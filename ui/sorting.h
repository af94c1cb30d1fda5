#pragma once
// Header-click sorting of report lists.
//
// The order is that of a selection procedure which repeatedly takes the
// smallest (ascending) or largest (descending) remaining key, a tie going to
// the row that stands later. We compute that same order with one comparison
// sort instead of the quadratic scan, and move whole rows - texts, check state
// and the current-row mark - so a check box never ends up beside another
// row's texts.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class ReportList;

namespace sort_status {
inline constexpr std::string_view kNotReportView = "该超级列表框不是报表类型";
inline constexpr std::string_view kBadColumn = "错误的列索引";
inline constexpr std::string_view kBadKind = "排序类型不对";
inline constexpr std::string_view kDone = "排序完成";
}  // namespace sort_status

namespace sort_kind {
inline constexpr int kText = 10;
inline constexpr int kNumber = 6;
inline constexpr int kNumberAlias = 3;  // treated exactly as kNumber
inline constexpr int kDateTime = 8;
}  // namespace sort_kind

// How key texts become numbers and date-times (days since 1899-12-30).
struct SortKeyConversions {
    std::function<double(const std::string&)> toNumber;
    std::function<double(const std::string&)> toDateTime;
};

// The runtime's to-number and to-date-time conversions.
const SortKeyConversions& defaultSortKeyConversions();

// Upper-cases the ASCII letters only; every other byte (all of a multi-byte
// character) stays as it is.
std::string upperCaseAsciiKey(std::string_view key);

// The source index placed at each position by the selection procedure.
// `kind` must be one of the sort_kind codes.
std::vector<std::size_t> selectionSortOrder(
    const std::vector<std::string>& keys, bool ascending, bool caseSensitive, int kind,
    const SortKeyConversions& conversions = defaultSortKeyConversions());

// What the sort needs from a list: its shape, its texts, and a way to put its
// rows into a new order (row i takes everything of row order[i]).
class SortableList {
public:
    virtual ~SortableList() = default;
    virtual bool isReportView() const = 0;
    virtual std::size_t rowCount() const = 0;
    virtual std::size_t columnCount() const = 0;
    virtual std::string cellText(std::size_t row, std::size_t column) const = 0;
    virtual void reorderRows(const std::vector<std::size_t>& order) = 0;
};

// Sorts `list` by `column`; returns one of the sort_status texts.
std::string SortReportList(SortableList& list, int column, bool ascending = true, bool caseSensitive = false,
                           int kind = sort_kind::kText,
                           const SortKeyConversions& conversions = defaultSortKeyConversions());

// Header-click handler: columns 0-2 only, column 0 case-sensitive, the
// direction alternating through `directionCell` ("" or "2": descending next,
// "1": ascending next), which one cell shared by both sortable lists holds.
void SortByClickedColumn(SortableList& list, int column, std::string& directionCell);

// The same on a report list unit: row i takes the texts, check state, item
// value and selection of row order[i] in one permutation.
std::string SortReportList(ReportList& list, int column, bool ascending = true, bool caseSensitive = false,
                           int kind = sort_kind::kText,
                           const SortKeyConversions& conversions = defaultSortKeyConversions());
void SortByClickedColumn(ReportList& list, int column, std::string& directionCell);

// A plain in-memory list, for tools and tests that have no report list unit.
struct PlainSortableRow {
    std::vector<std::string> cells;
    int checkState = 0;
};

class PlainSortableList : public SortableList {
public:
    std::vector<PlainSortableRow> rows;
    std::size_t columns = 0;
    int currentRow = -1;
    bool reportView = true;

    bool isReportView() const override { return reportView; }
    std::size_t rowCount() const override { return rows.size(); }
    std::size_t columnCount() const override { return columns; }
    std::string cellText(std::size_t row, std::size_t column) const override;
    void reorderRows(const std::vector<std::size_t>& order) override;
};

}  // namespace vex
