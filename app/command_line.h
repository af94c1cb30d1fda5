#pragma once
// The desktop program's own command line: --data-dir, --help and --version.
// It is read twice: once before the Qt application exists, so --help and
// --version work without a display, and once more after Qt has taken its own
// options (-platform, -style, ...) out of argv, to refuse anything left over.

#include <string>

namespace vex {

struct DesktopCommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    // The folder --data-dir named, made absolute; empty when none was given.
    std::string dataDirectory;
    // What to print for ShowHelp, ShowVersion and Refuse (the reason).
    std::string text;
};

enum class CommandLineCheck {
    // Before Qt has seen argv: options this program does not know may be Qt's own.
    BeforeQt,
    // What remains after Qt took its options: everything must be known.
    Complete,
};

// Reads argv (argv[0] is the program). Arguments are taken byte for byte, so a
// folder name that is not valid UTF-8 is kept as it is.
DesktopCommandLine parseDesktopCommandLine(int argc, char** argv, CommandLineCheck check);

// Prints the text of a command line that opens no window (help and version on
// stdout, a refusal on stderr) and returns the exit code: 0, or 1 for a refusal.
int finishWithoutWindow(const DesktopCommandLine& commandLine);

}  // namespace vex
