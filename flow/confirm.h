#pragma once
// Confirming a signature value with its file type into the confirmed library.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flow/lists.h"
#include "library/data_directory.h"

namespace vex {

// What the user is told when the value is in the library already.
inline constexpr std::string_view kDuplicateSignatureMessage = "特征值存在！\r\n请重输入其他特征值！";

struct ConfirmOutcome {
    // Invalid: the pair breaks a confirm rule (flow/confirm_rules.h); the store was not touched.
    enum class Result { Added, Duplicate, Refused, Invalid };
    Result result = Result::Refused;
    std::string reason;      // why a refused value was not stored
    std::int64_t index = 0;  // an added record's place in the library's list, counted from 1 (0: unknown)
    std::string signature;   // the value as stored (upper-cased), once it passed the confirm rules
    // For an added value: the records and samples it conflicts with (flow/conflicts.h), one line each.
    std::vector<std::string> warnings;
    // Set when the library was to be proven readable first and was not; nothing was checked or stored.
    std::optional<LibraryFailure> unreadable;
};

// Stores `signature` with `type` when both pass the confirm rules (the
// signature upper-cased) and the value is not there already. A value that
// conflicts with records or samples of other types is stored all the same,
// with the warnings.
// `readableFirst`: the library is opened and proven readable before anything
// else, and that one connection serves the whole confirm (a command line that
// must name an unusable library before it looks at the pair).
ConfirmOutcome AddConfirmedSignature(const DataDirectory& data, std::string_view signature,
                                     std::string_view type, bool readableFirst = false);

}  // namespace vex
