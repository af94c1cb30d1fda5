#pragma once
// The main window's handlers for the identification flow and the two INI
// lists, registered by the names the layout binds: SampleDroppedFiles,
// IdentifyDroppedFiles, PickFileForEditor, StoreEditorToExperiment,
// StoreEditorToConfirmed, DeleteCheckedExperiments, ClearExperimentLibrary,
// DeleteCheckedIdentifications, ClearIdentificationList, RenameCheckedFiles.
//
// Each handler resolves the main window's units when it runs, does its
// operation and shows what went wrong (a list file that cannot be written, a
// path the list file cannot hold, files that could not be renamed) through
// showMessage; a refused duplicate signature opens the message window.

#include <functional>
#include <string>

#include "ident/flow/identification_flow.h"
#include "runtime/window_model.h"

namespace vex {

struct ConfirmedLibraryUnits;

// The flow's units of the loaded main window, working in `dataDir`.
FlowUnits MainWindowFlowUnits(WindowModel& model, const std::string& dataDir);

enum class StoreToConfirmedOutcome { NothingToStore, Added, Duplicate, Refused };

// "存入->确认库": stores the type of 编辑框4 with the signature of 编辑框5 in the
// confirmed library, unchecked; nothing when both are empty.
StoreToConfirmedOutcome StoreEditorToConfirmed(FlowUnits& units, ConfirmedLibraryUnits& confirmed);

// Registers the handlers. `dataDir` is asked on every event, so the data
// directory in force at that moment is used. `progress`, when given, is told
// how far a drop is (the desktop program shows long drops).
void RegisterFlowHandlers(WindowModel& model, std::function<std::string()> dataDir, DropProgress progress = {});

}  // namespace vex
