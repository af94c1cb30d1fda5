#pragma once
// Connects the headless core to the desktop: messages and runtime errors as
// message boxes, the file dialog unit as a QFileDialog and web addresses
// through QDesktopServices. The desktop program
// calls installDesktopHooks once, after QApplication exists and before its
// main window is loaded.

#include <QStringList>

class QWidget;

#include <optional>
#include <string>

namespace vex {

struct FileDialogSettings;

void installDesktopHooks();

// The window dialogs belong to, so they open above the always-on-top main window.
QWidget* dialogParent();

// "Text (*.txt)|*.txt|All|*.*||" as Qt name filters: "Text (*.txt) (*.txt)", "All (*.*)".
QStringList qtFileFilters(const std::string& filter);

// Shows the open- or save-file dialog; the chosen path, or nothing when cancelled.
std::optional<std::string> showFileDialog(const FileDialogSettings& settings);

}  // namespace vex
