#pragma once
// Start-up and the main window's own commands: making sure the signature store
// exists, opening it, filling the three lists and attaching the drop targets;
// and opening the home page.

#include <string>

#include "ident/flow/identification_flow.h"

namespace vex {

class WindowModel;

// Handler of the main window's created event.
void InitialiseMainWindow();

// Handler of "主页": opens the shipped home page in the web browser.
void OpenHomePage();

// The file URL of docs/index.html: beside the program when installed, else in
// the source tree the program was built from. Empty when neither exists.
std::string homePageAddress();

// Registers every handler the main window's layout binds: start-up, the home
// page, the row commands and sorting, the confirmed library, the flow and the
// two INI lists. `progress` is told how far a long drop is.
void registerApplicationHandlers(WindowModel& model, DropProgress progress = {});

}  // namespace vex
