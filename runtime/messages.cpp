#include "runtime/messages.h"

#include <cstdio>

namespace vex {
namespace {
MessagePresenter& presenter() {
    static MessagePresenter instance;
    return instance;
}
}  // namespace

void setMessagePresenter(MessagePresenter p) { presenter() = std::move(p); }

void showMessage(MessageKind kind, const std::string& text, const std::string& caption) {
    if (presenter()) {
        presenter()(kind, text, caption);
        return;
    }
    if (!caption.empty()) std::fprintf(stderr, "%s: ", caption.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace vex
