#include "flow/outcome.h"

#include "runtime/translation.h"

namespace vex {

std::string describeRefusals(std::string_view heading, const std::vector<Refusal>& refused,
                             std::size_t listed) {
    if (refused.empty()) return {};
    std::string text = message(heading);
    for (std::size_t i = 0; i < refused.size() && i < listed; ++i)
        text += "\n" + refused[i].subject + ": " + refused[i].reason;
    if (refused.size() > listed)
        text += "\n" + message("… and %1 more", {std::to_string(refused.size() - listed)});
    return text;
}

}  // namespace vex
