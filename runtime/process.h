#pragma once
// Starting other programs, opening web addresses, and yielding to pending events.

#include <functional>
#include <string>
#include <vector>

namespace vex {

// Splits a command line into arguments by the quoting rules the stored command lines
// were written with: blanks separate, double quotes group (a doubled quote inside
// quotes is a quote), and backslashes are literal except before a quote (2n+1 of
// them give n and a quote), so a path's backslashes survive unquoted.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Starts argv[0] (searched in PATH when it holds no "/") with the arguments as
// given, no shell in between. True when the program was started: a missing or
// non-executable program gives false. With `wait` the call returns when the
// program has ended; without, it returns as soon as the program runs, and the
// program lives on on its own (never left behind as a zombie). The new process
// inherits the environment, working directory and standard streams, nothing else.
bool startProcess(const std::vector<std::string>& argv, bool wait);

// The run command: `commandLine` split as above and started. The window mode
// (clamped into 1..6) cannot be imposed on another program's windows here and is
// accepted for the callers' sake only.
bool runCommandLine(const std::string& commandLine, bool wait, int windowMode = 2);

// Used when openWebAddress is called without an address: the shipped help page.
inline constexpr const char* kDefaultWebAddress = "file:///usr/share/doc/vexorin/index.html";

// Opens an address in the user's browser. The desktop program installs an opener
// (QDesktopServices); the headless default starts xdg-open without waiting. An
// empty address opens kDefaultWebAddress. False when no program could be
// started for it (no browser or opener on this system), so the caller can say where the page is.
using WebAddressOpener = std::function<bool(const std::string& address)>;
void setWebAddressOpener(WebAddressOpener opener);  // empty: back to xdg-open
bool openWebAddress(const std::string& address = std::string());

// Handles the events waiting in the GUI thread's queue, then returns. Does
// nothing without a Qt application object or off its thread.
void processPendingEvents();

}  // namespace vex
