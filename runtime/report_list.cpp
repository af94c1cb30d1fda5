#include "runtime/report_list.h"

#include <algorithm>

namespace vex {
namespace {

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

const std::string& emptyText() {
    static const std::string empty;
    return empty;
}

const std::string& cellOf(const ReportRow& row, int column) {
    const auto index = static_cast<std::size_t>(column);
    return index < row.cells.size() ? row.cells[index] : emptyText();
}

}  // namespace

ReportList::ReportList(std::uint32_t id, std::vector<ReportColumn> columns, bool checkBoxes)
    : Unit(UnitKind::ReportList, id), columns_(std::move(columns)), checkBoxes_(checkBoxes) {}

void ReportList::addObserver(ReportListObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void ReportList::removeObserver(ReportListObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void ReportList::beginBatch() {
    if (batchDepth_ == 0) notify([](ReportListObserver& o) { o.beginReset(); });
    ++batchDepth_;
}

void ReportList::endBatch() {
    if (--batchDepth_ == 0) notify([](ReportListObserver& o) { o.endReset(); });
}

void ReportList::setColumns(std::vector<ReportColumn> columns) {
    notify([](ReportListObserver& o) { o.beginReset(); });
    columns_ = std::move(columns);
    notify([](ReportListObserver& o) { o.endReset(); });
}

std::string ReportList::itemText(int item, int column) const {
    if (!validCell(item, column)) return {};
    return cellOf(rows_[static_cast<std::size_t>(item)], column);
}

int ReportList::itemImage(int item, int column) const {
    // Rows carry one image; sub-item images were never shown (the lists have none).
    if (!validCell(item, column)) return 0;
    return rows_[static_cast<std::size_t>(item)].image;
}

int ReportList::checkState(int item) const {
    if (!validItem(item)) return check_state::kNoBox;
    return rows_[static_cast<std::size_t>(item)].checkState;
}

bool ReportList::setItemText(int item, int column, std::string text) {
    if (!validCell(item, column)) return false;
    auto& cells = rows_[static_cast<std::size_t>(item)].cells;
    const auto index = static_cast<std::size_t>(column);
    if (index >= cells.size()) {
        if (text.empty()) return true;  // an absent cell already reads as empty
        cells.resize(index + 1);
    }
    cells[index] = std::move(text);
    notify([&](ReportListObserver& o) { o.cellChanged(item, column); });
    return true;
}

bool ReportList::setItemImage(int item, int column, int image) {
    if (!validCell(item, column)) return false;
    rows_[static_cast<std::size_t>(item)].image = std::max(image, -1);
    notify([&](ReportListObserver& o) { o.cellChanged(item, column); });
    return true;
}

bool ReportList::setCheckState(int item, int state) {
    if (!validItem(item)) return false;
    // The state image is state + 1, and a negative image counts as none.
    const int clamped = std::clamp(state, check_state::kNoBox, check_state::kChecked);
    auto& row = rows_[static_cast<std::size_t>(item)];
    if (row.checkState == clamped) return true;
    row.checkState = clamped;
    notify([&](ReportListObserver& o) { o.checkStateChanged(item); });
    return true;
}

int ReportList::insertItem(int position, std::string caption, int image, int indent, std::int32_t itemValue) {
    const int count = itemCount();
    const int at = (position < 0 || position > count) ? count : position;
    ReportRow row;
    row.cells.push_back(std::move(caption));
    row.image = std::max(image, -1);
    row.indent = std::max(indent, 0);
    row.itemValue = itemValue;
    row.checkState = checkBoxes_ ? check_state::kUnchecked : check_state::kNoBox;

    notify([&](ReportListObserver& o) { o.beginInsertRows(at, at); });
    rows_.insert(rows_.begin() + at, std::move(row));
    if (selected_ >= at) ++selected_;
    notify([](ReportListObserver& o) { o.endInsertRows(); });
    return at;
}

void ReportList::deleteAllItems() {
    notify([](ReportListObserver& o) { o.beginReset(); });
    rows_.clear();
    selected_ = -1;
    notify([](ReportListObserver& o) { o.endReset(); });
}

int ReportList::findInColumnZero(std::string_view text, int start, bool exact) const {
    for (int i = start; i < itemCount(); ++i) {
        const std::string& caption = cellOf(rows_[static_cast<std::size_t>(i)], 0);
        if (exact ? equalIgnoringAsciiCase(caption, text) : startsWithIgnoringAsciiCase(caption, text))
            return i;
    }
    return -1;
}

int ReportList::findInColumn(std::string_view text, int start, bool exact, int column) const {
    for (int i = start; i < itemCount(); ++i) {
        const std::string& cell = cellOf(rows_[static_cast<std::size_t>(i)], column);
        if (exact ? cell == text : cell.starts_with(text)) return i;
    }
    return -1;
}

int ReportList::findInOtherColumns(std::string_view text, int start, bool exact) const {
    for (int i = start; i < itemCount(); ++i) {
        const ReportRow& row = rows_[static_cast<std::size_t>(i)];
        for (int c = 1; c < columnCount(); ++c) {
            const std::string& cell = cellOf(row, c);
            if (exact ? cell == text : cell.starts_with(text)) return i;
        }
    }
    return -1;
}

int ReportList::findItem(std::string_view text, int start, bool exact, std::optional<int> column) const {
    start = std::max(start, 0);
    const int c = column.value_or(0);
    const bool inReportView = displayType_ == kReportView;
    if (c >= 1 && c < columnCount() && inReportView) return findInColumn(text, start, exact, c);
    const int inCaptions = findInColumnZero(text, start, exact);
    if (c == -1 && inCaptions < 0 && inReportView) return findInOtherColumns(text, start, exact);
    return inCaptions;
}

std::int32_t ReportList::itemValue(int item) const {
    return validItem(item) ? rows_[static_cast<std::size_t>(item)].itemValue : 0;
}

bool ReportList::setItemValue(int item, std::int32_t value) {
    if (!validItem(item)) return false;
    rows_[static_cast<std::size_t>(item)].itemValue = value;
    return true;
}

int ReportList::itemIndent(int item) const {
    return validItem(item) ? rows_[static_cast<std::size_t>(item)].indent : 0;
}

void ReportList::setDisplayType(int type) {
    if (type == displayType_) return;
    notify([](ReportListObserver& o) { o.beginReset(); });
    displayType_ = type;
    notify([](ReportListObserver& o) { o.endReset(); });
}

int ReportList::currentItem() const { return selected_; }

bool ReportList::isSelected(int item) const { return item >= 0 && item == selected_; }

void ReportList::selectItem(int item) {
    const int next = validItem(item) ? item : -1;
    if (next == selected_) return;
    selected_ = next;
    notify([&](ReportListObserver& o) { o.selectionChanged(selected_); });
}

const CellNote* ReportList::cellNote(int item, int column) const {
    if (!validCell(item, column)) return nullptr;
    for (const CellNote& note : rows_[static_cast<std::size_t>(item)].notes)
        if (note.column == column) return &note;
    return nullptr;
}

const ReportRow* ReportList::row(int item) const {
    return validItem(item) ? &rows_[static_cast<std::size_t>(item)] : nullptr;
}

void ReportList::setRows(std::vector<ReportRow> rows) {
    notify([](ReportListObserver& o) { o.beginReset(); });
    rows_ = std::move(rows);
    for (ReportRow& r : rows_) {
        r.image = std::max(r.image, -1);
        r.checkState = std::clamp(r.checkState, check_state::kNoBox, check_state::kChecked);
    }
    selected_ = -1;
    notify([](ReportListObserver& o) { o.endReset(); });
}

void ReportList::appendRows(std::vector<std::vector<std::string>> cellRows) {
    if (cellRows.empty()) return;
    const int first = itemCount();
    const int last = first + static_cast<int>(cellRows.size()) - 1;
    notify([&](ReportListObserver& o) { o.beginInsertRows(first, last); });
    rows_.reserve(rows_.size() + cellRows.size());
    for (auto& cells : cellRows) {
        ReportRow row;
        row.cells = std::move(cells);
        row.checkState = checkBoxes_ ? check_state::kUnchecked : check_state::kNoBox;
        rows_.push_back(std::move(row));
    }
    notify([](ReportListObserver& o) { o.endInsertRows(); });
}

bool ReportList::permuteRows(const std::vector<int>& newToOld) {
    const std::size_t n = rows_.size();
    if (newToOld.size() != n) return false;
    std::vector<char> seen(n, 0);
    for (int old : newToOld) {
        if (old < 0 || static_cast<std::size_t>(old) >= n || seen[static_cast<std::size_t>(old)])
            return false;
        seen[static_cast<std::size_t>(old)] = 1;
    }
    notify([](ReportListObserver& o) { o.beginPermuteRows(); });
    std::vector<ReportRow> reordered;
    reordered.reserve(n);
    int newSelected = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const int old = newToOld[i];
        if (old == selected_) newSelected = static_cast<int>(i);
        reordered.push_back(std::move(rows_[static_cast<std::size_t>(old)]));
    }
    rows_ = std::move(reordered);
    selected_ = newSelected;
    notify([&](ReportListObserver& o) { o.endPermuteRows(newToOld); });
    return true;
}

Value ReportList::readOwnProperty(int ownNumber) const {
    switch (ownNumber) {
        case kOwnDisplayType:
            return Value(static_cast<std::int32_t>(displayType_));
        case kOwnCurrentItem:
            return Value(static_cast<std::int32_t>(currentItem()));
        default:
            return {};
    }
}

namespace {
std::optional<int> integerOf(const Value& value) {
    if (auto v = value.get_if<std::int32_t>()) return *v;
    if (auto v = value.get_if<std::int16_t>()) return *v;
    if (auto v = value.get_if<std::uint8_t>()) return *v;
    if (auto v = value.get_if<std::int64_t>()) return static_cast<int>(*v);
    return std::nullopt;
}
}  // namespace

void ReportList::writeOwnProperty(int ownNumber, const Value& value) {
    const auto number = integerOf(value);
    if (!number) return;
    switch (ownNumber) {
        case kOwnDisplayType:
            setDisplayType(*number);
            break;
        case kOwnCurrentItem:
            selectItem(*number);
            break;
        default:
            break;
    }
}

}  // namespace vex
