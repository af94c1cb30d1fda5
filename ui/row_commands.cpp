#include "ui/row_commands.h"

#include <chrono>
#include <utility>
#include <vector>

#include "runtime/basic_units.h"
#include "runtime/process.h"
#include "runtime/report_list.h"
#include "runtime/window_model.h"
#include "ui/sorting.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

RevealHook& revealHook() {
    static RevealHook hook;
    return hook;
}

struct CellToField {
    int column;
    UnitRef field;
};

// Reads the current item again before every cell: a field's update may run
// code that changes the selection.
void copyCurrentRow(UnitRef list, const std::vector<CellToField>& copies) {
    if (unitAt<ReportList>(list).currentItem() == -1) return;
    for (const CellToField& copy : copies) {
        const ReportList& rows = unitAt<ReportList>(list);
        unitAt<EditBox>(copy.field).setText(rows.itemText(rows.currentItem(), copy.column));
    }
}

// Visits every row present when the loop starts. Closing the window while the
// loop yields ends the loop quietly rather than as a fault. Events run after
// the first row, then every few milliseconds: often enough to keep the window
// painting, seldom enough that a million rows take a second, not minutes.
template <class Change>
void forEachRowYielding(UnitRef listRef, Change change) {
    constexpr auto kYieldEvery = std::chrono::milliseconds(10);
    const int count = unitAt<ReportList>(listRef).itemCount();
    auto lastYield = std::chrono::steady_clock::time_point();
    for (int item = 0; item < count; ++item) {
        if (!WindowModel::instance().isLoaded(listRef.window)) return;
        ReportList& list = unitAt<ReportList>(listRef);
        if (item < list.itemCount()) change(list, item);
        if (const auto now = std::chrono::steady_clock::now(); now - lastYield >= kYieldEvery) {
            processPendingEvents();
            lastYield = now;
        }
    }
    processPendingEvents();
}

UnitRef unitArgument(const std::vector<Value>& arguments, std::size_t index) {
    if (index < arguments.size()) {
        if (const auto* ref = arguments[index].get_if<UnitRef>()) return *ref;
    }
    return {};
}

int intArgument(const std::vector<Value>& arguments, std::size_t index) {
    if (index < arguments.size()) {
        if (const auto* number = arguments[index].get_if<std::int32_t>()) return *number;
    }
    return -1;
}

// Both sortable lists share one sort direction, kept as the caption of a
// hidden label so that it lives and dies with the window.
std::string sortDirection() { return unitAt<Label>(mw::sortDirectionLabel).text(); }
void setSortDirection(const std::string& direction) {
    unitAt<Label>(mw::sortDirectionLabel).setText(direction);
}

void sortByClickedColumn(UnitRef list, int column) {
    const std::string before = sortDirection();
    std::string direction = before;
    SortByClickedColumn(unitAt<ReportList>(list), column, direction);
    if (direction != before) setSortDirection(direction);
}

}  // namespace

void ShowExperimentRow() {
    copyCurrentRow(mw::experimentList, {{3, mw::samplePathEdit},
                                        {1, mw::sampleClassEdit},
                                        {2, mw::sampleSignatureEdit},
                                        {1, mw::confirmTypeEdit},
                                        {2, mw::confirmSignatureEdit}});
}

void ShowIdentificationRow() {
    copyCurrentRow(mw::identificationList, {{3, mw::resultPathEdit},
                                            {1, mw::resultClassEdit},
                                            {2, mw::resultSignatureEdit},
                                            {4, mw::resultTypeEdit}});
}

std::string explorerSelectCommandLine(const std::string& path) { return "explorer /select," + path; }

void setRevealHook(RevealHook hook) { revealHook() = std::move(hook); }

void revealFileNamedIn(UnitRef editBox) {
    const std::string path = unitAt<EditBox>(editBox).text();
    if (path.empty()) return;
    if (revealHook()) revealHook()(path, explorerSelectCommandLine(path));
}

void CheckAllRows(UnitRef list) {
    forEachRowYielding(list, [](ReportList& rows, int item) {
        if (rows.checkState(item) != check_state::kChecked) rows.setCheckState(item, check_state::kChecked);
    });
}

void InvertRowChecks(UnitRef list) {
    forEachRowYielding(list, [](ReportList& rows, int item) {
        rows.setCheckState(item, rows.checkState(item) == check_state::kChecked ? check_state::kUnchecked
                                                                                : check_state::kChecked);
    });
}

void registerRowCommandHandlers() {
    registerHandler("ShowExperimentRow", [](const std::vector<Value>&) {
        ShowExperimentRow();
        return Value();
    });
    registerHandler("ShowIdentificationRow", [](const std::vector<Value>&) {
        ShowIdentificationRow();
        return Value();
    });
    registerHandler("RevealInExplorer", [](const std::vector<Value>& arguments) {
        revealFileNamedIn(unitArgument(arguments, 0));
        return Value();
    });
    registerHandler("CheckAllRows", [](const std::vector<Value>& arguments) {
        CheckAllRows(unitArgument(arguments, 0));
        return Value();
    });
    registerHandler("InvertRowChecks", [](const std::vector<Value>& arguments) {
        InvertRowChecks(unitArgument(arguments, 0));
        return Value();
    });
    registerHandler("SortByClickedColumn", [](const std::vector<Value>& arguments) {
        sortByClickedColumn(unitArgument(arguments, 0), intArgument(arguments, 1));
        return Value();
    });
}

}  // namespace vex
