#pragma once
// The one way the core asks the user before it acts. Headless (command line,
// tests without an answerer) every question is declined, so nothing that
// needs a yes is ever done unasked. The desktop program installs dialogs;
// tests install an answerer to preset the answer.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vex {

struct Question {
    std::string text;
    std::string caption;
    // Empty: a yes-or-no question. Otherwise the user picks one of these (or cancels).
    std::vector<std::string> choices;
    std::size_t preselected = 0;
};

// The chosen index (0 for yes), or nothing when the user declined or cancelled.
using QuestionAnswerer = std::function<std::optional<std::size_t>(const Question& question)>;

void setQuestionAnswerer(QuestionAnswerer answerer);  // empty: every question is declined

// True only when the user said yes.
bool askYesOrNo(const std::string& text, const std::string& caption = std::string());
// The index of the choice the user took, or nothing when cancelled.
std::optional<std::size_t> askToChoose(const std::string& text, const std::vector<std::string>& choices,
                                       std::size_t preselected = 0,
                                       const std::string& caption = std::string());

}  // namespace vex
