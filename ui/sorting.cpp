#include "ui/sorting.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "runtime/convert.h"
#include "runtime/report_list.h"

namespace vex {
namespace {

constexpr double kNumberTolerance = 1e-7;
constexpr double kEarliestDate = -657434.0;  // 100-01-01
constexpr double kLatestDate = 2958465.0;    // 9999-12-31

bool isKnownKind(int kind) {
    return kind == sort_kind::kText || kind == sort_kind::kNumber || kind == sort_kind::kNumberAlias ||
           kind == sort_kind::kDateTime;
}

// Days before 1899-12-30 are stored as a negative whole day with a positive
// time fraction; mirroring the fraction makes the value grow steadily with time.
double monotonicDateValue(double days) {
    if (std::isnan(days)) days = kEarliestDate;
    days = std::clamp(days, kEarliestDate, kLatestDate);
    if (days < 0) {
        const double whole = std::trunc(days);
        days = 2 * whole - days;
    }
    return days;
}

// Equal keys come out last-row-first in both directions, so among equal keys
// the higher source index goes first.
template <class Key>
std::vector<std::size_t> orderByExactKeys(const std::vector<Key>& keys, bool ascending) {
    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (keys[a] < keys[b]) return ascending;
        if (keys[b] < keys[a]) return !ascending;
        return a > b;
    });
    return order;
}

// Numbers tie within a tolerance, which is not transitive, so in general no
// comparison sort reproduces the selection. But when every two different keys
// lie further apart than the tolerance (checked with the selection's own
// subtraction), the tolerance never decides anything: a key then replaces the
// best exactly when it is not worse, as with exact keys, ties last-row-first.
// Only keys that crowd within the tolerance need the quadratic selection.
bool toleranceNeverDecides(const std::vector<double>& keys) {
    if (!std::all_of(keys.begin(), keys.end(), [](double key) { return std::isfinite(key); })) return false;
    std::vector<double> sorted(keys);
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        // Subtraction is monotonic, so adjacent keys far enough apart make every pair so.
        if (sorted[i] != sorted[i - 1] && !(sorted[i - 1] - sorted[i] < -kNumberTolerance)) return false;
    }
    return true;
}

std::vector<std::size_t> orderBySelectionWithTolerance(const std::vector<double>& keys, bool ascending) {
    std::vector<std::size_t> remaining(keys.size());
    std::iota(remaining.begin(), remaining.end(), std::size_t{0});
    std::vector<std::size_t> order;
    order.reserve(keys.size());
    while (remaining.size() > 1) {
        std::size_t bestPosition = 0;
        for (std::size_t position = 1; position < remaining.size(); ++position) {
            const double best = keys[remaining[bestPosition]];
            const double candidate = keys[remaining[position]];
            const bool bestKeepsPlace =
                ascending ? best - candidate < -kNumberTolerance : best - candidate > kNumberTolerance;
            if (!bestKeepsPlace) bestPosition = position;
        }
        order.push_back(remaining[bestPosition]);
        remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(bestPosition));
    }
    if (!remaining.empty()) order.push_back(remaining.front());
    return order;
}

bool hasLowerAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The keys of a column as the selection compares them, mostly the list's own
// texts in place: only a key with lower-case letters gets an upper-cased copy,
// in `folded`, sized first so the views into it stay valid.
std::vector<std::string_view> textKeys(const ReportList& list, int column, bool caseSensitive,
                                       std::string& folded) {
    std::vector<std::string_view> keys(static_cast<std::size_t>(list.itemCount()));
    std::size_t foldedBytes = 0;
    for (std::size_t row = 0; row < keys.size(); ++row) {
        keys[row] = list.itemTextView(static_cast<int>(row), column);
        if (!caseSensitive && hasLowerAscii(keys[row])) foldedBytes += keys[row].size();
    }
    folded.reserve(foldedBytes);
    for (std::string_view& key : keys) {
        if (caseSensitive || !hasLowerAscii(key)) continue;
        const std::size_t at = folded.size();
        folded += upperCaseAsciiKey(key);
        key = std::string_view(folded).substr(at, key.size());
    }
    return keys;
}

class ReportListSortable : public SortableList {
public:
    explicit ReportListSortable(ReportList& list) : list_(list) {}
    bool isReportView() const override { return list_.displayType() == ReportList::kReportView; }
    std::size_t rowCount() const override { return static_cast<std::size_t>(list_.itemCount()); }
    std::size_t columnCount() const override { return static_cast<std::size_t>(list_.columnCount()); }
    std::string cellText(std::size_t row, std::size_t column) const override {
        return list_.itemText(static_cast<int>(row), static_cast<int>(column));
    }
    void reorderRows(const std::vector<std::size_t>& order) override {
        list_.permuteRows(std::vector<int>(order.begin(), order.end()));
    }

private:
    ReportList& list_;
};

}  // namespace

const SortKeyConversions& defaultSortKeyConversions() {
    static const SortKeyConversions conversions{
        [](const std::string& text) { return toNumber(Value(text)); },
        [](const std::string& text) { return toDateTime(Value(text)).days; }};
    return conversions;
}

std::string upperCaseAsciiKey(std::string_view key) {
    std::string upper(key);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::vector<std::size_t> selectionSortOrder(const std::vector<std::string>& keys, bool ascending,
                                            bool caseSensitive, int kind,
                                            const SortKeyConversions& conversions) {
    if (kind == sort_kind::kNumber || kind == sort_kind::kNumberAlias) {
        std::vector<double> numbers;
        numbers.reserve(keys.size());
        for (const std::string& key : keys) numbers.push_back(conversions.toNumber(key));
        if (toleranceNeverDecides(numbers)) return orderByExactKeys(numbers, ascending);
        return orderBySelectionWithTolerance(numbers, ascending);
    }
    if (kind == sort_kind::kDateTime) {
        std::vector<double> dates;
        dates.reserve(keys.size());
        for (const std::string& key : keys) dates.push_back(monotonicDateValue(conversions.toDateTime(key)));
        return orderByExactKeys(dates, ascending);
    }
    if (caseSensitive) return orderByExactKeys(keys, ascending);
    std::vector<std::string> upper;
    upper.reserve(keys.size());
    for (const std::string& key : keys) upper.push_back(upperCaseAsciiKey(key));
    return orderByExactKeys(upper, ascending);
}

std::string SortReportList(SortableList& list, int column, bool ascending, bool caseSensitive, int kind,
                           const SortKeyConversions& conversions) {
    if (!list.isReportView()) return std::string(sort_status::kNotReportView);
    const std::size_t rows = list.rowCount();
    const std::size_t columns = list.columnCount();
    if (column < 0 || static_cast<std::size_t>(column) >= columns)
        return std::string(sort_status::kBadColumn);
    if (!isKnownKind(kind)) return std::string(sort_status::kBadKind);

    std::vector<std::string> keys;
    keys.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row)
        keys.push_back(list.cellText(row, static_cast<std::size_t>(column)));
    list.reorderRows(selectionSortOrder(keys, ascending, caseSensitive, kind, conversions));
    return std::string(sort_status::kDone);
}

namespace {

template <class List>
void sortByClickedColumn(List& list, std::size_t rows, int column, std::string& directionCell) {
    if (rows == 0) return;
    if (column < 0 || column > 2) return;
    const bool caseSensitive = column == 0;
    if (directionCell == "1") {
        SortReportList(list, column, true, caseSensitive);
        directionCell = "2";
    } else {
        SortReportList(list, column, false, caseSensitive);
        directionCell = "1";
    }
}

}  // namespace

void SortByClickedColumn(SortableList& list, int column, std::string& directionCell) {
    sortByClickedColumn(list, list.rowCount(), column, directionCell);
}

std::string SortReportList(ReportList& list, int column, bool ascending, bool caseSensitive, int kind,
                           const SortKeyConversions& conversions) {
    ReportListSortable sortable(list);
    const bool byText =
        kind == sort_kind::kText && sortable.isReportView() && column >= 0 && column < list.columnCount();
    if (!byText) return SortReportList(sortable, column, ascending, caseSensitive, kind, conversions);
    // A million rows need no copy of every key: see textKeys.
    std::string folded;
    const std::vector<std::string_view> keys = textKeys(list, column, caseSensitive, folded);
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int compared = keys[static_cast<std::size_t>(a)].compare(keys[static_cast<std::size_t>(b)]);
        if (compared != 0) return (compared < 0) == ascending;
        return a > b;
    });
    list.permuteRows(order);
    return std::string(sort_status::kDone);
}

void SortByClickedColumn(ReportList& list, int column, std::string& directionCell) {
    sortByClickedColumn(list, static_cast<std::size_t>(list.itemCount()), column, directionCell);
}

std::string PlainSortableList::cellText(std::size_t row, std::size_t column) const {
    if (row >= rows.size() || column >= rows[row].cells.size()) return {};
    return rows[row].cells[column];
}

void PlainSortableList::reorderRows(const std::vector<std::size_t>& order) {
    std::vector<PlainSortableRow> reordered;
    reordered.reserve(order.size());
    int newCurrent = -1;
    for (std::size_t position = 0; position < order.size(); ++position) {
        if (static_cast<int>(order[position]) == currentRow) newCurrent = static_cast<int>(position);
        reordered.push_back(std::move(rows[order[position]]));
    }
    rows = std::move(reordered);
    currentRow = newCurrent;
}

}  // namespace vex
