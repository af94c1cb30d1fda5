#pragma once
// While a change of the main window waits for another program's lock on the
// data directory (or on the library file), the window says that another run
// is writing; the word goes when the wait is over.

#include <functional>

namespace vex {

class DesktopWindows;

// `shown`, when given, is called each time the word has been put up (tests
// use it to look at the window while the wait still holds it).
void installLockWaitNotice(DesktopWindows& windows, std::function<void()> shown = {});
void removeLockWaitNotice();

}  // namespace vex
