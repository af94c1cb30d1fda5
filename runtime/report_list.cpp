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

int clampedCheckState(int state) { return std::clamp(state, check_state::kNoBox, check_state::kChecked); }

// Replaced texts stay in the buffer until they outweigh the live ones.
constexpr std::size_t kWasteTolerated = 1 << 16;

}  // namespace

void ReportRowStore::reserve(std::size_t rows, std::size_t cellsPerRow, std::size_t textBytes) {
    widen(cellsPerRow);
    heads_.reserve(rows);
    spans_.reserve(rows * cellsPerRow_);
    text_.reserve(textBytes);
}

ReportRowStore::Span ReportRowStore::store(std::string_view text) {
    if (text.empty()) return {0, 0};
    if (text.size() >= kLongText) {
        longTexts_.emplace_back(text);
        return {longTexts_.size() - 1, kLongText};
    }
    const Span span{text_.size(), text.size()};
    text_.append(text);
    return span;
}

void ReportRowStore::forget(Span span) {
    if (span.length == kLongText)
        std::string().swap(longTexts_[span.offset]);
    else
        wastedBytes_ += span.length;
}

std::string_view ReportRowStore::text(std::size_t row, std::size_t column) const {
    if (column >= heads_[row].cellCount) return {};
    const Span span = spans_[row * cellsPerRow_ + column];
    if (span.length == kLongText) return longTexts_[span.offset];
    return std::string_view(text_).substr(span.offset, span.length);
}

// Rows hold cellsPerRow_ spans each, so a row wider than all before moves every row's spans once.
void ReportRowStore::widen(std::size_t cellsPerRow) {
    if (cellsPerRow <= cellsPerRow_) return;
    std::vector<Span> wider(heads_.size() * cellsPerRow, Span{0, 0});
    for (std::size_t row = 0; row < heads_.size(); ++row)
        std::copy_n(spans_.begin() + static_cast<std::ptrdiff_t>(row * cellsPerRow_), heads_[row].cellCount,
                    wider.begin() + static_cast<std::ptrdiff_t>(row * cellsPerRow));
    spans_ = std::move(wider);
    cellsPerRow_ = cellsPerRow;
}

template <class Cells>
void ReportRowStore::appendCells(const Cells& cells, int checkState) {
    const std::size_t count = std::min<std::size_t>(cells.size(), UINT16_MAX);
    widen(count);
    Head head;
    head.cellCount = static_cast<std::uint16_t>(count);
    head.checkState = static_cast<std::int8_t>(clampedCheckState(checkState));
    heads_.push_back(head);
    std::size_t column = 0;
    for (const auto& cell : cells) {
        if (column == count) break;
        spans_.push_back(store(cell));
        ++column;
    }
    spans_.resize(heads_.size() * cellsPerRow_, Span{0, 0});
}

void ReportRowStore::appendRow(std::initializer_list<std::string_view> cells, int checkState) {
    appendCells(cells, checkState);
}

void ReportRowStore::appendRow(const std::vector<std::string_view>& cells, int checkState) {
    appendCells(cells, checkState);
}

void ReportRowStore::appendRow(const ReportRow& row) {
    appendCells(row.cells, row.checkState);
    const std::size_t last = heads_.size() - 1;
    if (row.image != -1) setImage(last, row.image);
    if (row.indent != 0) ownExtras(last).indent = std::max(row.indent, 0);
    if (row.itemValue != 0) setItemValue(last, row.itemValue);
    if (!row.notes.empty()) ownExtras(last).notes = row.notes;
}

void ReportRowStore::insertRow(std::size_t at, const ReportRow& row) {
    appendRow(row);
    if (at >= heads_.size() - 1) return;
    // Rotating the new last row into place keeps every other row's record as it is.
    const auto position = static_cast<std::ptrdiff_t>(at);
    std::rotate(heads_.begin() + position, heads_.end() - 1, heads_.end());
    std::rotate(spans_.begin() + position * static_cast<std::ptrdiff_t>(cellsPerRow_),
                spans_.end() - static_cast<std::ptrdiff_t>(cellsPerRow_), spans_.end());
}

void ReportRowStore::clear() { *this = ReportRowStore(); }

void ReportRowStore::setText(std::size_t row, std::size_t column, std::string_view text) {
    if (column >= heads_[row].cellCount) {
        if (text.empty()) return;  // an absent cell already reads as empty
        widen(column + 1);
        heads_[row].cellCount = static_cast<std::uint16_t>(column + 1);
    }
    Span& span = spans_[row * cellsPerRow_ + column];
    forget(span);
    span = store(text);
    compactIfWasteful();
}

void ReportRowStore::compactIfWasteful() {
    if (wastedBytes_ < kWasteTolerated || wastedBytes_ < text_.size() / 2) return;
    std::string kept;
    kept.reserve(text_.size() - wastedBytes_);
    for (Span& span : spans_) {
        if (span.length == 0 || span.length == kLongText) continue;
        const std::string_view text = std::string_view(text_).substr(span.offset, span.length);
        span.offset = kept.size();
        kept.append(text);
    }
    text_ = std::move(kept);
    wastedBytes_ = 0;
}

void ReportRowStore::setCheckState(std::size_t row, int state) {
    heads_[row].checkState = static_cast<std::int8_t>(clampedCheckState(state));
}

const ReportRowStore::Extras& ReportRowStore::extrasOf(std::size_t row) const {
    static const Extras none;
    const std::uint32_t index = heads_[row].extras;
    return index == 0 ? none : extras_[index - 1];
}

ReportRowStore::Extras& ReportRowStore::ownExtras(std::size_t row) {
    std::uint32_t& index = heads_[row].extras;
    if (index == 0) {
        extras_.emplace_back();
        index = static_cast<std::uint32_t>(extras_.size());
    }
    return extras_[index - 1];
}

void ReportRowStore::setImage(std::size_t row, int image) {
    image = std::max(image, -1);
    if (image != extrasOf(row).image) ownExtras(row).image = image;
}

void ReportRowStore::setItemValue(std::size_t row, std::int32_t value) {
    if (value != extrasOf(row).itemValue) ownExtras(row).itemValue = value;
}

ReportRow ReportRowStore::row(std::size_t row) const {
    ReportRow copy;
    copy.cells.reserve(heads_[row].cellCount);
    for (std::size_t column = 0; column < heads_[row].cellCount; ++column)
        copy.cells.emplace_back(text(row, column));
    const Extras& extras = extrasOf(row);
    copy.notes = extras.notes;
    copy.image = extras.image;
    copy.checkState = heads_[row].checkState;
    copy.itemValue = extras.itemValue;
    copy.indent = extras.indent;
    return copy;
}

void ReportRowStore::permute(const std::vector<int>& newToOld) {
    std::vector<Head> heads(heads_.size());
    std::vector<Span> spans(spans_.size());
    for (std::size_t row = 0; row < newToOld.size(); ++row) {
        const auto old = static_cast<std::size_t>(newToOld[row]);
        heads[row] = heads_[old];
        std::copy_n(spans_.begin() + static_cast<std::ptrdiff_t>(old * cellsPerRow_), cellsPerRow_,
                    spans.begin() + static_cast<std::ptrdiff_t>(row * cellsPerRow_));
    }
    heads_ = std::move(heads);
    spans_ = std::move(spans);
}

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
    return std::string(itemTextView(item, column));
}

std::string_view ReportList::itemTextView(int item, int column) const {
    if (!validCell(item, column)) return {};
    return rows_.text(static_cast<std::size_t>(item), static_cast<std::size_t>(column));
}

int ReportList::itemImage(int item, int column) const {
    // Rows carry one image; sub-item images were never shown (the lists have none).
    if (!validCell(item, column)) return 0;
    return rows_.image(static_cast<std::size_t>(item));
}

int ReportList::checkState(int item) const {
    if (!validItem(item)) return check_state::kNoBox;
    return rows_.checkState(static_cast<std::size_t>(item));
}

bool ReportList::setItemText(int item, int column, std::string text) {
    if (!validCell(item, column)) return false;
    const auto row = static_cast<std::size_t>(item);
    const auto cell = static_cast<std::size_t>(column);
    if (text.empty() && rows_.text(row, cell).empty()) return true;
    rows_.setText(row, cell, text);
    ++revision_;
    notify([&](ReportListObserver& o) { o.cellChanged(item, column); });
    return true;
}

bool ReportList::setItemImage(int item, int column, int image) {
    if (!validCell(item, column)) return false;
    rows_.setImage(static_cast<std::size_t>(item), image);
    notify([&](ReportListObserver& o) { o.cellChanged(item, column); });
    return true;
}

bool ReportList::setCheckState(int item, int state) {
    if (!validItem(item)) return false;
    // The state image is state + 1, and a negative image counts as none.
    const int clamped = clampedCheckState(state);
    const auto row = static_cast<std::size_t>(item);
    if (rows_.checkState(row) == clamped) return true;
    rows_.setCheckState(row, clamped);
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
    rows_.insertRow(static_cast<std::size_t>(at), row);
    ++revision_;
    if (selected_ >= at) ++selected_;
    notify([](ReportListObserver& o) { o.endInsertRows(); });
    return at;
}

void ReportList::deleteAllItems() {
    notify([](ReportListObserver& o) { o.beginReset(); });
    rows_.clear();
    noteSource_ = {};
    ++revision_;
    selected_ = -1;
    notify([](ReportListObserver& o) { o.endReset(); });
}

int ReportList::findInColumnZero(std::string_view text, int start, bool exact) const {
    for (int i = start; i < itemCount(); ++i) {
        const std::string_view caption = rows_.text(static_cast<std::size_t>(i), 0);
        if (exact ? equalIgnoringAsciiCase(caption, text) : startsWithIgnoringAsciiCase(caption, text))
            return i;
    }
    return -1;
}

int ReportList::findInColumn(std::string_view text, int start, bool exact, int column) const {
    for (int i = start; i < itemCount(); ++i) {
        const std::string_view cell =
            rows_.text(static_cast<std::size_t>(i), static_cast<std::size_t>(column));
        if (exact ? cell == text : cell.starts_with(text)) return i;
    }
    return -1;
}

int ReportList::findInOtherColumns(std::string_view text, int start, bool exact) const {
    for (int i = start; i < itemCount(); ++i) {
        for (int c = 1; c < columnCount(); ++c) {
            const std::string_view cell =
                rows_.text(static_cast<std::size_t>(i), static_cast<std::size_t>(c));
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
    return validItem(item) ? rows_.itemValue(static_cast<std::size_t>(item)) : 0;
}

bool ReportList::setItemValue(int item, std::int32_t value) {
    if (!validItem(item)) return false;
    rows_.setItemValue(static_cast<std::size_t>(item), value);
    return true;
}

int ReportList::itemIndent(int item) const {
    return validItem(item) ? rows_.indent(static_cast<std::size_t>(item)) : 0;
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

std::optional<CellNote> ReportList::cellNote(int item, int column) const {
    if (!validCell(item, column)) return std::nullopt;
    for (const CellNote& note : rows_.notes(static_cast<std::size_t>(item)))
        if (note.column == column) return note;
    if (noteSource_) return noteSource_(*this, item, column);
    return std::nullopt;
}

std::vector<ReportRow> ReportList::rows() const {
    std::vector<ReportRow> copies;
    copies.reserve(rows_.size());
    for (std::size_t item = 0; item < rows_.size(); ++item) copies.push_back(rows_.row(item));
    return copies;
}

std::optional<ReportRow> ReportList::row(int item) const {
    if (!validItem(item)) return std::nullopt;
    return rows_.row(static_cast<std::size_t>(item));
}

void ReportList::setRows(std::vector<ReportRow> rows) {
    ReportRowStore store;
    std::size_t bytes = 0, widest = 0;
    for (const ReportRow& row : rows) {
        widest = std::max(widest, row.cells.size());
        for (const std::string& cell : row.cells) bytes += cell.size();
    }
    store.reserve(rows.size(), widest, bytes);
    for (const ReportRow& row : rows) store.appendRow(row);
    setRowStore(std::move(store));
}

void ReportList::setRowStore(ReportRowStore rows, CellNoteSource notes) {
    notify([](ReportListObserver& o) { o.beginReset(); });
    rows_ = std::move(rows);
    noteSource_ = std::move(notes);
    ++revision_;
    selected_ = -1;
    notify([](ReportListObserver& o) { o.endReset(); });
}

void ReportList::appendRows(std::vector<std::vector<std::string>> cellRows) {
    if (cellRows.empty()) return;
    const int first = itemCount();
    const int last = first + static_cast<int>(cellRows.size()) - 1;
    notify([&](ReportListObserver& o) { o.beginInsertRows(first, last); });
    const int checkState = checkBoxes_ ? check_state::kUnchecked : check_state::kNoBox;
    std::vector<std::string_view> cells;
    for (const auto& texts : cellRows) {
        cells.assign(texts.begin(), texts.end());
        rows_.appendRow(cells, checkState);
    }
    ++revision_;
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
    int newSelected = -1;
    for (std::size_t i = 0; i < n && selected_ >= 0; ++i)
        if (newToOld[i] == selected_) newSelected = static_cast<int>(i);
    rows_.permute(newToOld);
    ++revision_;
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
