#pragma once
// The starter set: signature values of common formats, shipped with the
// program as a CSV file and imported only when the user asks for it (the
// library itself ships empty).

#include <string>

namespace vex {

inline constexpr const char* kStarterSetFileName = "starter-signatures.csv";

// The shipped file: beside the program (a portable copy), where the program is
// installed (share/vexorin), or in the source tree it was built from. Empty
// when none of them exists.
std::string starterSetPath();

}  // namespace vex
