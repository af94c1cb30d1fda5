#pragma once
// A strip along the bottom of a window that says why the window does not
// answer: it is waiting for another program to finish writing. The wait holds
// the window's one thread, so the strip is painted at once rather than by the
// event loop, and it goes away the first time the event loop runs again,
// which is when the wait is over.

#include <QString>

class QLabel;
class QWidget;

namespace vex {

// Shows `text` on `window`. Nothing without a window, or when called from
// another thread than the window's: a wait there does not hold the window.
void showWaitNotice(QWidget* window, const QString& text);

// The strip of `window` while it is shown, else nullptr.
QLabel* shownWaitNotice(QWidget* window);

}  // namespace vex
