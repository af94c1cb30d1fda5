#include "cli/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string_view>

#include "cli/help_text.h"
#include "runtime/translation.h"

namespace vex::cli {
namespace {

std::string readAll(std::istream& in) {
    // Read in blocks: a character at a time is slow on a stream synchronised with C stdio.
    std::string text;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    return text;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool isFolder(const std::string& path, bool followLink) {
    struct stat status {};
    const int result = followLink ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status);
    return result == 0 && S_ISDIR(status.st_mode);
}

// Appends the regular files under `root` (and links to regular files) in name order, depth first.
// Links to folders are not followed, so a link cycle cannot trap the walk.
void walkFolder(const std::string& root, std::vector<std::string>& files, std::ostream& err,
                bool& unreadable) {
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
        if (!dir) {
            err << "vexorin-cli: "
                << message("cannot read the folder '%1'. Reason: %2", {folder, std::strerror(errno)}) << "\n";
            unreadable = true;
            continue;
        }
        std::vector<std::string> subfolders;
        std::vector<std::string> found;
        const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
        errno = 0;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string path = prefix + std::string(name);
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN || type == DT_LNK) {
                struct stat status {};
                // A link counts as what it points to, except that a folder behind a link is not entered.
                if (::lstat(path.c_str(), &status) != 0) continue;
                if (S_ISLNK(status.st_mode)) {
                    type = ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? DT_REG : DT_LNK;
                } else {
                    type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
                }
            }
            if (type == DT_DIR)
                subfolders.push_back(std::move(path));
            else if (type == DT_REG)
                found.push_back(std::move(path));
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), std::make_move_iterator(found.begin()),
                     std::make_move_iterator(found.end()));
        // Pushed in reverse, so the folders are walked in name order.
        std::sort(subfolders.rbegin(), subfolders.rend());
        for (std::string& subfolder : subfolders) pending.push_back(std::move(subfolder));
    }
}

}  // namespace

CLI::Option* addPathArguments(CLI::App* command, PathArguments& arguments, PathOptions options,
                              const std::string& description, bool required) {
    CLI::Option* paths = command->add_option(
        "PATH", arguments.given, helpText("%1 ('-': read them from standard input)", {description}));
    if (required) paths->required();
    command->add_flag(
        "-0,--null", arguments.nulSeparated,
        helpText("Paths on standard input are separated by NUL bytes, as find -print0 writes them"));
    if (options == PathOptions::Recursive)
        command->add_flag(
            "-r,--recursive", arguments.recursive,
            helpText("Walk folders: the regular files under them, links to folders not followed"));
    return paths;
}

std::vector<std::string> splitPathInput(std::string_view text, bool nulSeparated) {
    std::vector<std::string> paths;
    const char separator = nulSeparated ? '\0' : '\n';
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        std::string_view part = text.substr(0, end);
        if (!nulSeparated && !part.empty() && part.back() == '\r') part.remove_suffix(1);
        if (!part.empty()) paths.emplace_back(part);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return paths;
}

GatheredPaths gatherPaths(const PathArguments& arguments, std::istream& in, std::ostream& err) {
    GatheredPaths gathered;
    std::vector<std::string> named;
    for (const std::string& path : arguments.given) {
        if (path != "-") {
            named.push_back(path);
            continue;
        }
        std::vector<std::string> read = splitPathInput(readAll(in), arguments.nulSeparated);
        if (named.empty())
            named = std::move(read);
        else
            named.insert(named.end(), std::make_move_iterator(read.begin()),
                         std::make_move_iterator(read.end()));
    }
    gathered.paths.reserve(named.size());
    for (std::string& path : named) {
        if (path.find('\0') != std::string::npos) {
            std::string shown = path;
            std::replace(shown.begin(), shown.end(), '\0', '?');
            err << "vexorin-cli: "
                << message(
                       "'%1' holds a NUL byte, which no file name can hold (paths separated by NUL need -0)",
                       {shown})
                << "\n";
            gathered.someUnreadable = true;
            continue;
        }
        // A folder named on the command line is entered even through a link: the user chose it.
        if (arguments.recursive && isFolder(path, true)) {
            walkFolder(path, gathered.paths, err, gathered.someUnreadable);
            continue;
        }
        gathered.paths.push_back(std::move(path));
    }
    return gathered;
}

}  // namespace vex::cli
