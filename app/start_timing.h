#pragma once
// For benchmarks: with VEXORIN_START_TIMING set, the program prints to
// standard error when its window is first painted and ready for input, and
// when every list has been filled, each as milliseconds since the epoch:
//   vexorin-timing painted 1765224000123
//   vexorin-timing lists-loaded 1765224000456
// and then after every rebuild of the identification list (a drop on it):
//   vexorin-timing identified 1765224009876

class QWidget;

namespace vex {

// Watches `window` when the variable is set; does nothing otherwise.
void reportStartTimingWhenAsked(QWidget* window);

}  // namespace vex
