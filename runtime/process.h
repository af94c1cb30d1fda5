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

// Opens an address in the user's browser through xdg-open, or through the opener
// a test installs. An empty address opens kDefaultWebAddress. False when no
// program could be started for it (no opener on this system), so the caller can
// say where the page is. xdg-open may start and then find no browser: it exits
// with a failure later, and `lateFailure` is then called, on the application's
// thread when there is a Qt application.
using WebAddressOpener = std::function<bool(const std::string& address)>;
void setWebAddressOpener(WebAddressOpener opener);  // empty: back to xdg-open
bool openWebAddress(const std::string& address = std::string(), std::function<void()> lateFailure = {});

// Starts `argv` without waiting for it; `onExit` gets its exit status (128 + signal
// when it was killed) on a thread of its own once it ends. False when it could not be started.
bool startWatchedProcess(const std::vector<std::string>& argv, std::function<void(int exitStatus)> onExit);

// Handles the events waiting in the GUI thread's queue, then returns. Does
// nothing without a Qt application object or off its thread.
void processPendingEvents();

}  // namespace vex
