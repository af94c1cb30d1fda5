#include "tests/robustness/cli_runner.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "tests/support/temp_dir.h"

namespace vex::test {

std::string cliPath() {
    // ctest names the folder; run by hand, the test program sits beside vexorin-cli.
    const char* dir = std::getenv("VEXORIN_TEST_BIN_DIR");
    const std::string folder = dir && *dir
                                   ? std::string(dir)
                                   : std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::string path = folder + "/vexorin-cli";
    return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

ChildResult runCli(const std::string& dataDir, const std::vector<std::string>& args, ChildOptions options) {
    std::vector<std::string> argv{cliPath(), "--data-dir", dataDir};
    argv.insert(argv.end(), args.begin(), args.end());
    return runChild(argv, options);
}

bool cliHasCommand(const std::string& command) {
    static std::mutex mutex;
    static std::map<std::string, bool> known;
    const std::lock_guard lock(mutex);
    if (const auto it = known.find(command); it != known.end()) return it->second;
    TempDir scratch;
    // Without arguments a built command lists, prints its usage or does nothing harmful.
    const ChildResult result = runCli(scratch.path(), {command}, {.timeout = std::chrono::seconds(60)});
    const bool available = !cliPath().empty() && result.signal == 0 && !result.timedOut &&
                           result.err.find("not available yet") == std::string::npos;
    known[command] = available;
    return available;
}

std::string describe(const ChildResult& result) {
    std::string text = "exit code " + std::to_string(result.exitCode);
    if (result.signal) text += ", killed by signal " + std::to_string(result.signal);
    if (result.timedOut) text += ", timed out";
    text += "\nstdout: " + result.out.substr(0, 2000) + "\nstderr: " + result.err.substr(0, 2000);
    return text;
}

}  // namespace vex::test
