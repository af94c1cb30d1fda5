#pragma once
// The paths a command works on: given as arguments, read from standard input
// ("-": one per line, or NUL-separated with -0), and with -r the regular files
// under each folder given. Problems with a path are named on standard error;
// the command then ends with exit code 5.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace vex::cli {

struct PathArguments {
    std::vector<std::string> given;
    bool nulSeparated = false;  // -0
    bool recursive = false;     // -r
};

enum class PathOptions { Plain, Recursive };

// Adds PATH... (required unless `required` is false), -0 and, for PathOptions::Recursive, -r.
CLI::Option* addPathArguments(CLI::App* command, PathArguments& arguments, PathOptions options,
                              const std::string& description, bool required = true);

struct GatheredPaths {
    std::vector<std::string> paths;
    bool someUnreadable = false;  // a path or folder could not be used; each was named on `err`
};

// The paths of `arguments` in order: "-" stands for the paths on `in`; with
// `recursive`, a folder stands for the regular files under it (sorted by name,
// links to folders not followed). A path holding a NUL byte names no file: it
// is named on `err` and left out, never stored.
GatheredPaths gatherPaths(const PathArguments& arguments, std::istream& in, std::ostream& err);

// Splits standard input into paths: at line ends ("\n", "\r\n"), or at NUL bytes. Empty parts name nothing.
std::vector<std::string> splitPathInput(std::string_view text, bool nulSeparated);

}  // namespace vex::cli
