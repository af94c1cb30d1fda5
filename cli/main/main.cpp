#include <iostream>

#include "cli/cli.h"
#include "runtime/translation.h"

int main(int argc, char** argv) {
    // Messages follow the user's language; without one (the C locale, as scripts
    // often run) they stay as written, so their output never changes under them.
    if (const auto language = vex::requestedLanguage()) vex::useLanguage(*language);
    return vex::cli::run(argc, argv, std::cin, std::cout, std::cerr);
}
