#pragma once
// The desktop program: Qt application, desktop hooks, the main window and the
// message loop. Takes no command line of its own.

namespace vex {

// Runs until the main window is closed; returns the exit code (0).
int runDesktopProgram(int argc, char** argv);

}  // namespace vex
