#include "cli/cli.h"

#include <iostream>

int main(int argc, char** argv) { return vex::cli::run(argc, argv, std::cin, std::cout, std::cerr); }
