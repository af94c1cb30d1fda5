#pragma once
// Connects the headless core to the desktop: messages and runtime errors as
// message boxes, the open-file dialog, the web browser and the yield to
// pending events. The desktop program calls this once, after QApplication
// exists and before its main window is loaded.

namespace vex {

void installDesktopHooks();

}  // namespace vex
