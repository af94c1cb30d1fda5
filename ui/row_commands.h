#pragma once
// Commands on the rows of the report lists: copying the current row into the
// editor fields, showing a path in the file manager, checking all rows and
// inverting the checks. None of them shows a message or returns a value.

#include <functional>
#include <string>

#include "runtime/value.h"

namespace vex {

// Double-click on the experiment list: the current row into the sample and confirm editors.
void ShowExperimentRow();
// Double-click on the identification list: the current row into the result editors.
void ShowIdentificationRow();

// Shows the file named in the edit box in the file manager; an empty field does nothing.
void revealFileNamedIn(UnitRef editBox);
// The selection command line the program has always formed for a path and
// hands to the reveal hook with it: no space after the comma, no quotes, nothing trimmed.
std::string explorerSelectCommandLine(const std::string& path);
// How a path is revealed. The desktop program asks the file manager over D-Bus;
// without a hook (command line, tests) nothing is started.
using RevealHook = std::function<void(const std::string& path, const std::string& commandLine)>;
void setRevealHook(RevealHook hook);

// Check every row / invert every row's check (no box counts as unchecked).
// Both take the row count once and let pending window events run between rows
// (after the first, then every few milliseconds), so a long list keeps the
// window painting; rows removed meanwhile are skipped.
void CheckAllRows(UnitRef list);
void InvertRowChecks(UnitRef list);

// Registers the handlers above, and the header-click sort, by the names the
// main window's layout binds.
void registerRowCommandHandlers();

}  // namespace vex
