#include "runtime/data_dir.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

namespace vex {
namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string executablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            // A program file replaced while running (an update) still names its folder.
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() && path.ends_with(deleted))
                path.resize(path.size() - deleted.size());
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string computeRunDirectory() {
    const std::string exe = executablePath();
    const auto slash = exe.rfind('/');
    if (slash != std::string::npos) return exe.substr(0, slash);  // "" for a program in "/"
    // Without /proc the working directory is the best remaining guess.
    std::vector<char> cwd(4096);
    return ::getcwd(cwd.data(), cwd.size()) ? withoutTrailingSlashes(cwd.data()) : std::string(".");
}

bool isWritableDirectory(const std::string& path) {
    struct stat info {};
    const std::string probe = path.empty() ? "/" : path;
    return ::stat(probe.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::faccessat(AT_FDCWD, probe.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// `make install` and the package put the program in <prefix>/bin beside <prefix>/share/doc/vexorin.
// Such a folder holds programs, not a user's data, even where the user may write to it (~/.local/bin),
// and uninstalling must never take the stores with it.
bool isInstalledProgramFolder(const std::string& path) {
    struct stat info {};
    const std::string documentation = path + "/../share/doc/vexorin";
    return ::stat(documentation.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Like mkdir -p; folders we create are private to the user, as XDG asks.
void createDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = slash == std::string::npos ? path : path.substr(0, slash);
        if (!prefix.empty()) ::mkdir(prefix.c_str(), 0700);
        if (slash == std::string::npos) return;
    }
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}

// XDG asks to ignore a relative XDG_DATA_HOME.
std::string userDataHome() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return withoutTrailingSlashes(xdg);
    return withoutTrailingSlashes(homeDirectory()) + "/.local/share";
}

struct DataDirectoryState {
    std::mutex mutex;
    std::optional<std::string> chosen;
};

DataDirectoryState& state() {
    static DataDirectoryState instance;
    return instance;
}

}  // namespace

std::string runDirectory() {
    static const std::string directory = computeRunDirectory();
    return directory;
}

std::string defaultDataDirectory(const std::string& programDirectory) {
    if (isWritableDirectory(programDirectory) && !isInstalledProgramFolder(programDirectory)) {
        return programDirectory;
    }
    const std::string fallback = userDataHome() + "/vexorin";
    createDirectories(fallback);
    return fallback;
}

std::string dataDirectory() {
    DataDirectoryState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.chosen) s.chosen = defaultDataDirectory(runDirectory());
    return *s.chosen;
}

void setDataDirectoryOverride(const std::string& directory) {
    DataDirectoryState& s = state();
    std::lock_guard lock(s.mutex);
    if (directory.empty()) {
        s.chosen.reset();
        return;
    }
    const std::string chosen = withoutTrailingSlashes(directory);
    createDirectories(chosen);
    s.chosen = chosen;
}

}  // namespace vex
