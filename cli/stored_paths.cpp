// Paths as the commands that change a list record and match them, and the
// signals a long rename stops at.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "cli/cli.h"
#include "runtime/text.h"
#include "runtime/translation.h"

namespace vex::cli {

namespace {

// True when `path` is absolute and has no empty, "." or ".." part and no slash at
// the end: what a `find` or a disk check prints, and what lexical normalising gives back as it is.
bool isPlainAbsolute(std::string_view path) {
    if (path.empty() || path.front() != '/') return false;
    if (path.size() == 1) return true;
    if (path.back() == '/') return false;
    for (std::size_t start = 1; start <= path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string normalisedPath(const std::string& given) {
    std::string path = trimBothEnds(given);
    struct stat info {};
    // Blanks that belong to an existing file's name stay; the operation then says why it cannot keep them.
    if (path != given && ::lstat(given.c_str(), &info) == 0) path = given;
    if (path.empty() || isPlainAbsolute(path)) return path;
    std::filesystem::path full(path);
    if (!full.is_absolute()) {
        std::error_code error;
        const std::filesystem::path here = std::filesystem::current_path(error);
        if (error) return path;
        full = here / full;
    }
    // Lexical only: "." and ".." and doubled slashes go, symbolic links stay as named.
    std::string normal = full.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

std::vector<std::string> normalisedPaths(const std::vector<std::string>& given) {
    std::vector<std::string> paths;
    paths.reserve(given.size());
    for (const std::string& path : given) paths.push_back(normalisedPath(path));
    return paths;
}

bool isMissingPath(Context& context, const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) return false;
    context.err << "vexorin-cli: " << message("'%1' not recorded: %2", {path, std::strerror(errno)}) << "\n";
    return true;
}

bool keepExistingPaths(Context& context, std::vector<std::string>& paths) {
    std::size_t kept = 0;
    for (std::string& path : paths) {
        if (isMissingPath(context, path)) continue;
        if (&paths[kept] != &path) paths[kept] = std::move(path);
        ++kept;
    }
    const bool allExist = kept == paths.size();
    paths.resize(kept);
    return allExist;
}

namespace {

std::atomic<int> g_stopSignal{0};

extern "C" void rememberStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

StopSignals::StopSignals() {
    g_stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = &rememberStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInterrupt_);
    sigaction(SIGTERM, &action, &previousTerminate_);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
}

int StopSignals::received() const { return g_stopSignal; }

int StopSignals::exitCode() const {
    const int signal = g_stopSignal;
    return signal == 0 ? 0 : 128 + signal;
}

}  // namespace vex::cli
