#include "flow/outcome.h"

namespace vex {

std::string describeRefusals(std::string_view heading, const std::vector<Refusal>& refused,
                             std::size_t listed) {
    if (refused.empty()) return {};
    std::string text(heading);
    for (std::size_t i = 0; i < refused.size() && i < listed; ++i)
        text += "\n" + refused[i].subject + ": " + refused[i].reason;
    if (refused.size() > listed) text += "\n… and " + std::to_string(refused.size() - listed) + " more";
    return text;
}

}  // namespace vex
