#pragma once
// What may be confirmed into the library. A value that breaks a rule is
// refused whole with its reason, never cut or bent into shape: a signature that
// was cut, or stored in lower case, would never match the files it was meant for.
// The window, the command line and import all check through here, so they
// refuse the same values with the same words.

#include <string>
#include <string_view>

namespace vex {

inline constexpr std::size_t kShortestConfirmedSignature = 4;  // hexadecimal digits
inline constexpr std::size_t kLongestConfirmedSignature = 20;  // the 10 bytes a signature value reads
inline constexpr std::size_t kLongestConfirmedType = 50;       // characters, the type column's size

struct ConfirmCheck {
    std::string signature;  // the value as it is stored: hexadecimal digits in upper case
    std::string reason;     // why the pair is refused; empty when it may be stored
    bool accepted() const { return reason.empty(); }
};

// Why `signature` cannot be confirmed, or "" with `stored` set to its stored form.
std::string signatureRefusal(std::string_view signature, std::string& stored);
// Why `type` cannot be confirmed, or "".
std::string typeRefusal(std::string_view type);
// Both rules; the signature's reason comes first.
ConfirmCheck checkConfirmedPair(std::string_view signature, std::string_view type);

}  // namespace vex
