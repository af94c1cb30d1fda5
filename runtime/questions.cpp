#include "runtime/questions.h"

namespace vex {
namespace {

QuestionAnswerer& answerer() {
    static QuestionAnswerer instance;
    return instance;
}

std::optional<std::size_t> ask(const Question& question) {
    if (!answerer()) return std::nullopt;
    return answerer()(question);
}

}  // namespace

void setQuestionAnswerer(QuestionAnswerer a) { answerer() = std::move(a); }

bool askYesOrNo(const std::string& text, const std::string& caption) {
    return ask({text, caption, {}, 0}) == std::optional<std::size_t>(0);
}

std::optional<std::size_t> askToChoose(const std::string& text, const std::vector<std::string>& choices,
                                       std::size_t preselected, const std::string& caption) {
    if (choices.empty()) return std::nullopt;
    std::optional<std::size_t> chosen = ask({text, caption, choices, preselected});
    // An answerer that names no offered choice has not chosen one.
    if (chosen && *chosen >= choices.size()) return std::nullopt;
    return chosen;
}

}  // namespace vex
