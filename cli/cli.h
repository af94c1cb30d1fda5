#pragma once
// vexorin-cli: the desktop program's operations from a terminal. Each command
// group adds its subcommands to the parser; the chosen one runs after parsing.
// Everything is written through the streams of the Context so tests can run
// commands in-process and capture what they print.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "library/data_directory.h"

namespace CLI {
class App;
}

namespace vex::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitStoreError = 2,
    kExitDuplicate = 3,
    kExitRenameFailed = 4,
};

struct Context {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool json = false;
    std::string dataDir;  // empty: the desktop program's data directory
};

// The stores the command works on: --data-dir, or the desktop program's data directory.
DataDirectory dataDirectoryOf(const Context& context);

// Rows of cells; in JSON each row becomes an object whose keys are `jsonKeys` in column order.
using Row = std::vector<std::string>;
void printRows(Context& context, const std::vector<std::string>& jsonKeys, const std::vector<Row>& rows);

// Subcommands and what they do, in the order they were added. When a nested subcommand is parsed its parent
// is parsed too; the one added last wins, so add a parent before its children.
class CommandSet {
public:
    void add(CLI::App* command, std::function<int()> action);
    // The action of the parsed command, or an empty function when none was chosen.
    std::function<int()> chosen() const;

private:
    std::vector<std::pair<CLI::App*, std::function<int()>>> commands_;
};

// Command groups. Each lives in its own file.
void addSignatureCommands(CLI::App& app, Context& context, CommandSet& commands);
void addLibraryCommands(CLI::App& app, Context& context, CommandSet& commands);
void addListCommands(CLI::App& app, Context& context, CommandSet& commands);

// Parses `args` (without the program name) and runs the chosen command; returns the exit code.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
int run(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vex::cli
