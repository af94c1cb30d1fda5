#pragma once
// The window's three lists as views of the stores: each is rebuilt from what
// an operation reports the store now holds, numbered from 1 in store order.
// Rows go into the list's compact row store; the identification list's notes
// (how each answer was found) are worked out only for the rows a view shows.

#include <functional>
#include <string>
#include <vector>

#include "library/data_directory.h"
#include "library/ini_lists.h"
#include "library/signature_store.h"
#include "runtime/report_list.h"
#include "runtime/value.h"

namespace vex {

class WindowModel;

// Columns of the three lists.
namespace experiment_column {
constexpr int kIndex = 0, kClass = 1, kSignature = 2, kPath = 3;
}
namespace identification_column {
constexpr int kIndex = 0, kClass = 1, kSignature = 2, kPath = 3, kType = 4;
}
namespace confirmed_column {
constexpr int kIndex = 0, kType = 1, kSignature = 2;
}

void showEntries(ReportList& list, const std::vector<ExperimentEntry>& entries);
void showEntries(ReportList& list, const std::vector<IdentificationEntry>& entries);
void showEntries(ReportList& list, const std::vector<StoredSignature>& records);
// The identification list with how each answer was found: the type cell's
// tooltip names the digits matched, the record and the alternatives, and a
// weak or ambiguous answer is marked. When the details cannot be worked out
// (the library cannot be read) the rows are shown without them.
void showIdentifications(ReportList& list, const DataDirectory& data,
                         const std::vector<IdentificationEntry>& entries);
// The type cell's tooltip and mark for `answer`.
CellNote answerNote(const Answer& answer);

// Rows of the entries, numbered from 1; unchecked. Safe on any thread. The
// entries are emptied as they are copied, so their memory goes as the rows grow.
ReportRowStore experimentRows(std::vector<ExperimentEntry>&& entries);
ReportRowStore identificationRows(std::vector<IdentificationEntry>&& entries);
// The rows of a list file, read one entry at a time, so its entries are never
// all held beside the rows; `error` gets why the file could not be read.
ReportRowStore experimentRowsOf(const DataDirectory& data, std::string& error);
ReportRowStore identificationRowsOf(const DataDirectory& data, std::string& error);
ReportRowStore confirmedRows(std::vector<StoredSignature>&& records);
// The type cells' notes, from one reading of the library (and the experiment
// library's samples) made now; nothing when the library cannot be read. Safe
// on any thread; the source it gives is used on the user-interface thread.
CellNoteSource answerNotes(const DataDirectory& data);

// Rebuild a list from its store; a missing list file gives an empty list.
// Returns "" or why the store could not be read (the list is then empty).
std::string LoadExperimentList(ReportList& list, const DataDirectory& data);
std::string LoadIdentificationList(ReportList& list, const DataDirectory& data);
std::string LoadConfirmedLibrary(ReportList& list, const DataDirectory& data);

// The texts in `column` of every checked row, in row order.
std::vector<std::string> checkedTexts(const ReportList& list, int column);

// ---- Loading a list while the window stays usable.
// Runs `work` away from the user-interface thread, then runs what it returned
// on that thread. The desktop program installs one; without it (the command
// line, most tests) lists load at once.
using UiContinuation = std::function<void()>;
using BackgroundRunner = std::function<void(std::function<UiContinuation()> work)>;
void setBackgroundRunner(BackgroundRunner runner);

// What loading a list gives: its rows, the notes source, and why the store
// could not be read ("" when it could).
struct LoadedRows {
    ReportRowStore rows;
    CellNoteSource notes;
    std::string error;
};

// Stores smaller than this load at once, so a normal start shows full lists
// with its first paint; larger ones load in the background.
inline constexpr std::uintmax_t kLoadedInBackgroundFrom = 1 << 20;

// Fills `list` with what `load` gives and hands its error to `showError`: at
// once when the store is small (`storeBytes`) or no runner is installed,
// otherwise in the background. Rows loaded in the background are shown only
// when the list was not rebuilt meanwhile (a drop, a delete): what that
// rebuild showed is newer.
void fillList(WindowModel& model, UnitRef list, std::uintmax_t storeBytes, std::function<LoadedRows()> load,
              std::function<void(const std::string&)> showError);
// Lists whose rows are still loading; the window's start is done when it is 0.
int listsLoading();

}  // namespace vex
