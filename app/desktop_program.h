#pragma once
// The desktop program: its command line, one window per data directory, the Qt
// application, desktop hooks, the main window and the message loop.

namespace vex {

// Runs until the main window is closed; returns the exit code: 0, or 1 for a
// command line it refuses or a data directory it cannot create.
int runDesktopProgram(int argc, char** argv);

}  // namespace vex
