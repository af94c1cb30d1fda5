#pragma once
// vexorin-cli as a separate process on a data directory of the test's own.
// Commands that are not built yet are detected, so the tests that need them skip
// with a note instead of failing.

#include <string>
#include <vector>

#include "tests/robustness/child_process.h"

namespace vex::test {

// The vexorin-cli next to the test programs (VEXORIN_TEST_BIN_DIR), or "" when unknown.
std::string cliPath();

// Runs `vexorin-cli --data-dir dataDir args...`.
ChildResult runCli(const std::string& dataDir, const std::vector<std::string>& args,
                   ChildOptions options = {});

// Whether `command` does its work rather than answering that it is not available yet.
bool cliHasCommand(const std::string& command);

// A readable account of a result for failure messages.
std::string describe(const ChildResult& result);

}  // namespace vex::test

// Skips the current test when vexorin-cli or one of the commands it needs is missing.
#define VEX_REQUIRE_CLI_COMMANDS(...)                                                  \
    do {                                                                               \
        if (::vex::test::cliPath().empty()) GTEST_SKIP() << "vexorin-cli not found";   \
        for (const char* command_ : {__VA_ARGS__})                                     \
            if (!::vex::test::cliHasCommand(command_))                                 \
                GTEST_SKIP() << "vexorin-cli has no '" << command_ << "' command yet"; \
    } while (false)
