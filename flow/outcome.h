#pragma once
// What an operation tells its caller: what it changed, and each thing it
// refused with the reason. The window shows an outcome in message boxes, the
// command line prints it; both use these texts, so both give the same reasons.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

struct Refusal {
    std::string subject;  // the path or value refused
    std::string reason;
};

struct Outcome {
    // A store could not be read or written: nothing of the operation was kept.
    std::string error;
    // Items left out, each with its reason; the rest was done.
    std::vector<Refusal> refused;
};

// Called after each file of a long operation with the number done and the total.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

inline constexpr std::string_view kNotRecordedHeading = "These files were not recorded:";
inline constexpr std::string_view kNotRenamedHeading = "These files were not renamed:";

// `heading` followed by one line per refusal ("subject: reason"); past `listed`
// lines the rest is counted rather than listed. Empty when nothing was refused.
std::string describeRefusals(std::string_view heading, const std::vector<Refusal>& refused,
                             std::size_t listed = 20);

}  // namespace vex
