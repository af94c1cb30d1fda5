#pragma once
// The window's three lists as views of the stores: each is rebuilt from what
// an operation reports the store now holds, numbered from 1 in store order.

#include <string>
#include <vector>

#include "library/data_directory.h"
#include "library/ini_lists.h"
#include "library/signature_store.h"
#include "runtime/report_list.h"

namespace vex {

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

// Rebuild a list from its store; a missing list file gives an empty list.
// Returns "" or why the store could not be read (the list is then empty).
std::string LoadExperimentList(ReportList& list, const DataDirectory& data);
std::string LoadIdentificationList(ReportList& list, const DataDirectory& data);
std::string LoadConfirmedLibrary(ReportList& list, const DataDirectory& data);

// The texts in `column` of every checked row, in row order.
std::vector<std::string> checkedTexts(const ReportList& list, int column);

}  // namespace vex
