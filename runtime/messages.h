#pragma once
// The one way the core shows a message to the user. Headless (CLI, tests) the
// text goes to stderr; the desktop program installs a presenter that shows a
// message box. Tests may install their own presenter to capture messages.

#include <functional>
#include <string>

namespace vex {

enum class MessageKind { Information, Warning, Error };

using MessagePresenter =
    std::function<void(MessageKind kind, const std::string& text, const std::string& caption)>;

void setMessagePresenter(MessagePresenter presenter);  // empty: back to stderr
void showMessage(MessageKind kind, const std::string& text, const std::string& caption = std::string());

}  // namespace vex
