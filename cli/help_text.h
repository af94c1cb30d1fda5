#pragma once
// The command line's help texts in the user's language. They are written in
// English here and looked up in the catalogue's "CommandLine" context.

#include <initializer_list>
#include <string>
#include <string_view>

#include "runtime/translation.h"

namespace vex::cli {

inline constexpr const char* kCommandLineTexts = "CommandLine";

inline std::string helpText(std::string_view source) { return translated(kCommandLineTexts, source); }
inline std::string helpText(std::string_view source, std::initializer_list<std::string_view> arguments) {
    return translatedWith(kCommandLineTexts, source, arguments);
}

}  // namespace vex::cli
