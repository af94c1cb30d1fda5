#pragma once
// Report list unit (超级列表框): rows of text cells with a check box, shown in
// report view. The unit owns the rows; a view (the Qt table model of the desktop
// program) observes it. Rebuilds of 100,000 rows go through the bulk operations
// (setRows, permuteRows), which notify an observer once instead of once per row.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/unit.h"

namespace vex {

struct ReportColumn {
    std::string caption;
    int width = 0;
    friend bool operator==(const ReportColumn&, const ReportColumn&) = default;
};

namespace check_state {
constexpr int kNoBox = -1;
constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
}  // namespace check_state

// How a view draws attention to a cell whose text should not be taken at its word.
enum class CellMark { None, Doubtful, Weak };

// A remark on one cell of a row: a tooltip, and a mark the view draws beside the text.
struct CellNote {
    int column = 0;
    std::string toolTip;
    CellMark mark = CellMark::None;
};

struct ReportRow {
    // One text per column; a row may hold fewer cells than the list has columns,
    // the missing ones read as empty.
    std::vector<std::string> cells;
    std::vector<CellNote> notes;  // at most one per column; most rows have none
    int image = -1;
    int checkState = check_state::kUnchecked;
    std::int32_t itemValue = 0;
    int indent = 0;
};

// The rows of a report list, kept compact: every cell text lives in one shared
// buffer and a row is a fixed-size record of where its texts are, so a million
// rows cost about 50 bytes each beside their texts instead of a string object
// per cell. A store can be built on any thread and then handed to a list whole.
class ReportRowStore {
public:
    // Capacity for a bulk build: rows, cells per row, bytes of text in all.
    void reserve(std::size_t rows, std::size_t cellsPerRow, std::size_t textBytes);
    // Appends a row of these texts, with no image, indent, value or notes.
    void appendRow(std::initializer_list<std::string_view> cells, int checkState);
    void appendRow(const std::vector<std::string_view>& cells, int checkState);
    void appendRow(const ReportRow& row);
    void insertRow(std::size_t at, const ReportRow& row);
    void clear();

    std::size_t size() const { return heads_.size(); }
    // "" past the cells the row holds. The view is valid until the store changes.
    std::string_view text(std::size_t row, std::size_t column) const;
    void setText(std::size_t row, std::size_t column, std::string_view text);
    int checkState(std::size_t row) const { return heads_[row].checkState; }
    void setCheckState(std::size_t row, int state);
    int image(std::size_t row) const { return extrasOf(row).image; }
    void setImage(std::size_t row, int image);
    int indent(std::size_t row) const { return extrasOf(row).indent; }
    std::int32_t itemValue(std::size_t row) const { return extrasOf(row).itemValue; }
    void setItemValue(std::size_t row, std::int32_t value);
    const std::vector<CellNote>& notes(std::size_t row) const { return extrasOf(row).notes; }
    // A copy of everything the row holds.
    ReportRow row(std::size_t row) const;
    // New row i is old row newToOld[i], which must be a permutation of the rows.
    void permute(const std::vector<int>& newToOld);

private:
    // A cell's text in the buffer: 40 bits of offset, 24 of length. A text too
    // long for that is kept on its own, and `offset` then numbers it in longTexts_.
    struct Span {
        std::uint64_t offset : 40;
        std::uint64_t length : 24;
    };
    static constexpr std::uint64_t kLongText = (std::uint64_t{1} << 24) - 1;
    // What few rows have (an image, an indent, a value, notes) sits apart; 0: none.
    struct Head {
        std::uint32_t extras = 0;
        std::uint16_t cellCount = 0;
        std::int8_t checkState = check_state::kUnchecked;
    };
    struct Extras {
        int image = -1;
        int indent = 0;
        std::int32_t itemValue = 0;
        std::vector<CellNote> notes;
    };

    Span store(std::string_view text);
    void forget(Span span);
    const Extras& extrasOf(std::size_t row) const;
    Extras& ownExtras(std::size_t row);
    void widen(std::size_t cellsPerRow);
    void compactIfWasteful();
    template <class Cells>
    void appendCells(const Cells& cells, int checkState);

    std::vector<Head> heads_;
    std::vector<Span> spans_;  // cellsPerRow_ per row, in row order
    std::size_t cellsPerRow_ = 0;
    std::string text_;
    std::size_t wastedBytes_ = 0;  // of texts replaced since the buffer was last compacted
    std::vector<std::string> longTexts_;
    std::vector<Extras> extras_;  // extras_[0] is the default every other row reads
};

// Told about every change, in the shape QAbstractItemModel wants: "begin" before
// the rows change, the matching notification after. Default bodies do nothing.
class ReportListObserver {
public:
    virtual ~ReportListObserver() = default;
    // Everything may change (setRows, setRowStore, deleteAllItems, setColumns, display type).
    virtual void beginReset() {}
    virtual void endReset() {}
    virtual void beginInsertRows(int first, int last) {
        (void)first;
        (void)last;
    }
    virtual void endInsertRows() {}
    // Rows move: after the change, new row i holds what old row newToOld[i] held.
    virtual void beginPermuteRows() {}
    virtual void endPermuteRows(const std::vector<int>& newToOld) { (void)newToOld; }
    // One cell's text or image; column -1 means every column of the row.
    virtual void cellChanged(int row, int column) {
        (void)row;
        (void)column;
    }
    virtual void checkStateChanged(int row) { (void)row; }
    // The selected row changed (-1: none). Only the model changes this; views call select*().
    virtual void selectionChanged(int currentItem) { (void)currentItem; }
};

// Notes worked out when a view asks for them, from the row's texts as they
// are then: a million rows need no note kept for each.
class ReportList;
using CellNoteSource = std::function<std::optional<CellNote>(const ReportList& list, int item, int column)>;

class ReportList : public Unit {
public:
    static constexpr int kReportView = 3;  // display type 3: rows and columns

    explicit ReportList(std::uint32_t id, std::vector<ReportColumn> columns = {}, bool checkBoxes = true);

    // ---- Observers (not owned; remove before destroying the observer).
    void addObserver(ReportListObserver* observer);
    void removeObserver(ReportListObserver* observer);

    // ---- Columns.
    const std::vector<ReportColumn>& columns() const { return columns_; }
    void setColumns(std::vector<ReportColumn> columns);
    int columnCount() const { return static_cast<int>(columns_.size()); }
    bool hasCheckBoxes() const { return checkBoxes_; }

    // ---- Commands of the unit. Indexes count from 0; an index outside the list
    // makes a command fail by its result (empty text, false, 0, -1), never crash.
    std::string itemText(int item, int column = 0) const;
    // The same text without a copy, valid until the list changes.
    std::string_view itemTextView(int item, int column = 0) const;
    int itemImage(int item, int column = 0) const;  // 0 on failure
    // The row's own note on the cell, else the note source's; nothing when the cell has none.
    std::optional<CellNote> cellNote(int item, int column) const;
    int checkState(int item) const;  // -1 no box, 0 unchecked, 1 checked
    bool setItemText(int item, int column, std::string text = {});
    bool setItemImage(int item, int column, int image);  // below -1 counts as -1
    bool setCheckState(int item, int state);             // below -1 counts as -1 (no box)
    int itemCount() const { return static_cast<int>(rows_.size()); }
    // Counts every change of the rows (not of check states or the selection), so
    // work that began before a change can tell that its result is stale.
    std::uint64_t revision() const { return revision_; }
    // Position omitted or negative: after the last item. The caption is column 0.
    // Returns the new item's index, -1 on failure. New rows are unchecked when the
    // list shows check boxes. (The command's state-image argument never took effect
    // and the application never passes it, so it is not offered here.)
    int insertItem(int position = -1, std::string caption = {}, int image = -1, int indent = 0,
                   std::int32_t itemValue = 0);
    void deleteAllItems();
    // Column omitted or 0: whole captions (exact) or caption prefixes, ignoring
    // ASCII letter case. Column c >= 1: the texts of column c, case-sensitive.
    // Column -1: column 0 first, then every other column item by item. Any other
    // column outside the list gives the column-0 result. No wrap-around.
    int findItem(std::string_view text, int start = 0, bool exact = true,
                 std::optional<int> column = std::nullopt) const;

    std::int32_t itemValue(int item) const;  // 0 outside the list
    bool setItemValue(int item, std::int32_t value);
    int itemIndent(int item) const;  // 0 outside the list

    // ---- Properties.
    int displayType() const { return displayType_; }
    void setDisplayType(int type);
    // First selected item from the top, -1 when none is selected (property 35).
    int currentItem() const;
    bool isSelected(int item) const;
    // One selected row at a time: selecting a row clears the others; -1 clears all.
    // An index outside the list clears the selection.
    void selectItem(int item);

    // ---- Bulk operations for rebuilds and sorting.
    // Groups any number of changes into one reset for the observers: code that
    // rebuilds a list item by item (delete all, then insert and set texts row by
    // row) opens a batch, and a view sees one reset instead of a storm of row
    // notifications. Batches nest; the reset ends with the outermost one. The
    // rows stay consistent at every step, so a view that repaints meanwhile
    // (pending events processed inside the batch) reads valid data.
    class UpdateBatch {
    public:
        explicit UpdateBatch(ReportList& list) : list_(list) { list_.beginBatch(); }
        ~UpdateBatch() { list_.endBatch(); }
        UpdateBatch(const UpdateBatch&) = delete;
        UpdateBatch& operator=(const UpdateBatch&) = delete;

    private:
        ReportList& list_;
    };

    void reserve(std::size_t rows) { rows_.reserve(rows, static_cast<std::size_t>(columnCount()), 0); }
    // Copies of the rows, for tests and tools: a view reads cell by cell instead.
    std::vector<ReportRow> rows() const;
    std::optional<ReportRow> row(int item) const;
    // Replaces every row at once (one reset for the observers); the note source goes.
    void setRows(std::vector<ReportRow> rows);
    // The same with rows built elsewhere (perhaps on another thread), and where
    // the notes of cells that have none of their own come from.
    void setRowStore(ReportRowStore rows, CellNoteSource notes = {});
    // Appends rows built from cell texts, unchecked; one insert notification.
    void appendRows(std::vector<std::vector<std::string>> cellRows);
    // Reorders rows: new row i is old row newToOld[i]. Each row keeps its texts,
    // check state, value and selection. Returns false (and changes nothing) unless
    // newToOld is a permutation of 0 .. itemCount()-1. The selection moves with its row.
    bool permuteRows(const std::vector<int>& newToOld);

    // Own properties: 5 (number 13) display type, 27 (number 35) current item.
    Value readOwnProperty(int ownNumber) const override;
    void writeOwnProperty(int ownNumber, const Value& value) override;

    static constexpr int kOwnDisplayType = 13 - 8;
    static constexpr int kOwnCurrentItem = 35 - 8;

private:
    bool validItem(int item) const { return item >= 0 && item < itemCount(); }
    // Column 0 is the item's caption and exists even in a list without columns.
    bool validCell(int item, int column) const {
        return validItem(item) && column >= 0 && (column == 0 || column < columnCount());
    }
    int findInColumnZero(std::string_view text, int start, bool exact) const;
    int findInColumn(std::string_view text, int start, bool exact, int column) const;
    int findInOtherColumns(std::string_view text, int start, bool exact) const;
    void beginBatch();
    void endBatch();
    // Observers may remove themselves while being told; a batch holds every notification back.
    template <class F>
    void notify(F&& f) const {
        if (batchDepth_ > 0) return;
        const auto copy = observers_;
        for (ReportListObserver* o : copy) f(*o);
    }

    std::vector<ReportColumn> columns_;
    ReportRowStore rows_;
    CellNoteSource noteSource_;
    std::vector<ReportListObserver*> observers_;
    bool checkBoxes_ = true;
    int displayType_ = kReportView;
    int selected_ = -1;
    int batchDepth_ = 0;
    std::uint64_t revision_ = 0;
};

}  // namespace vex
