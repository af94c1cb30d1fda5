#pragma once
// The main window's handlers, registered by the names its layout binds. Each
// reads the units it needs, runs the operation, shows what went wrong and
// rebuilds the list the operation changed.

#include <functional>
#include <string>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "runtime/window_model.h"

namespace vex {

// Start-up: writes the empty library when it is missing, opens it on the
// window's database units, fills the three lists and attaches the drop targets.
// Large lists fill after the window shows, when a background runner is set (see fillList).
void InitialiseMainWindow(WindowModel& model, const DataDirectory& data);

// Thrown by a drop's progress report when the user cancels the drop.
struct DropCancelled {};

// "存入->确认库": stores the type and signature of the confirm editors in the
// confirmed library; nothing when both are empty. A duplicate opens the
// message window, any other refusal a message with its reason.
void StoreEditorToConfirmed(WindowModel& model, const DataDirectory& data);

// "主页": opens the shipped home page in the web browser.
void OpenHomePage();
// The file address of the home page: beside the program, where it is
// installed, or in the source tree it was built from. Empty when none exists.
std::string homePageAddress();

// Registers every handler the main window's layout binds. `dataDirectory` is
// asked on every event, so the data directory in force at that moment is
// used; `progress`, when given, is told how far a long drop is, and may throw
// DropCancelled while the files are read: the drop then records nothing.
void registerMainWindowHandlers(WindowModel& model, std::function<DataDirectory()> dataDirectory,
                                Progress progress = {});

}  // namespace vex
