#pragma once
// Shows a file in the desktop's file manager with its entry selected.

#include <string>

namespace vex {

// Asks the file manager over D-Bus (org.freedesktop.FileManager1.ShowItems);
// when no file manager answers, opens the folder that holds the path instead.
// Returns false only when neither could be started.
bool revealInFileManager(const std::string& path);

}  // namespace vex
