#pragma once
// The lists' context menus (right click, the Menu key or Shift+F10) and the
// handlers they bind: importing into and exporting the confirmed library,
// importing the starter set, and bringing back a store as it was before a
// clear or delete. They add nothing to the window until they are opened.
//
// Handler names: ImportIntoConfirmedLibrary, ExportConfirmedLibrary,
// ImportStarterSet, RestoreConfirmedLibrary, RestoreIdentificationList,
// RestoreExperimentLibrary.

#include <functional>

#include "library/data_directory.h"
#include "runtime/window_layout.h"
#include "runtime/window_model.h"

namespace vex {

// Gives the three lists of the main window's layout their menus.
void addContextMenus(WindowLayout& mainWindow);

// Registers the handlers the menus bind; `dataDirectory` is asked on every use.
void registerContextMenuHandlers(WindowModel& model, std::function<DataDirectory()> dataDirectory);

// "2025-03-01_14-02-09.311", a kept generation's name, as the user reads a time: "2025-03-01 14:02:09".
std::string shownGenerationTime(const std::string& generation);

}  // namespace vex
