#pragma once
// Runtime errors: a fatal fault that is shown to the user and ends the program
// with exit code -1. How the message is shown and how the process ends are hooks,
// so the desktop program can use a message box and tests can observe the error.

#include <functional>
#include <string>
#include <string_view>

namespace vex {

namespace runtime_error_code {
constexpr int kIndexOutOfRange = 1;
constexpr int kNotNumeric = 2;
constexpr int kWrongDimensions = 3;
constexpr int kIndexBelowOne = 4;
constexpr int kTypeMismatch = 5;
constexpr int kStackError = 6;
constexpr int kNoSubResult = 7;
constexpr int kCompareEqualityOnly = 8;
constexpr int kChoiceIndex = 9;
constexpr int kRedimension = 10;
constexpr int kArgumentType = 11;
}  // namespace runtime_error_code

// "运行时出错!\r\n\r\n" followed by the code and message lines.
std::string formatRuntimeErrorMessage(int code, std::string_view message);

// The message text of a code 1..11, empty for any other code.
std::string_view runtimeErrorCodeMessage(int code);

// Raises runtime error `code` with its standard message.
[[noreturn]] void raiseRuntimeError(int code);
// Raises a runtime error with an explicit message (code 0 for the runtime's own errors).
[[noreturn]] void raiseRuntimeError(int code, std::string_view message);

// Number of runtime errors raised so far; events are no longer dispatched once it is non-zero.
int runtimeErrorCount();

// The application-level error hook: when it returns true the message box is skipped.
using RuntimeErrorHook = std::function<bool(int code, const std::string& message)>;
void setRuntimeErrorHook(RuntimeErrorHook hook);

// How the formatted text is shown (caption "错误"): stderr by default, a message box in the desktop program.
using RuntimeErrorPresenter = std::function<void(const std::string& text, const std::string& caption)>;
void setRuntimeErrorPresenter(RuntimeErrorPresenter presenter);

// How the process ends after the message: std::_Exit(-1) by default. Tests install one that throws.
using RuntimeErrorTerminator = std::function<void()>;
void setRuntimeErrorTerminator(RuntimeErrorTerminator terminator);

// Resets the error count and every hook to its default (for tests).
void resetRuntimeErrorState();

}  // namespace vex
