#pragma once
// vexorin-cli: the desktop program's operations from a terminal. Each command
// group adds its subcommands to the parser; the chosen one runs after parsing.
// Everything is written through the streams of the Context so tests can run
// commands in-process and capture what they print.

#include <signal.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/output.h"
#include "cli/paths.h"
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
    kExitUnreadablePaths = 5,  // some paths do not exist or could not be read; the rest was done
    kExitConflicts = 6,        // library check found conflicts
    kExitInterrupted = 130,    // SIGINT; SIGTERM gives 143 (128 + the signal's number)
};

// The code of a command that did its work, then found that some of its paths could not be used.
inline int withPathProblems(int code, bool someUnreadable) {
    return code == kExitDone && someUnreadable ? kExitUnreadablePaths : code;
}

struct Context {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool json = false;  // --json, short for --format json
    std::string formatName = "tsv";
    bool header = false;
    bool quiet = false;   // no progress bar, no summary line
    std::string dataDir;  // empty: the desktop program's data directory

    OutputStyle style() const;
    // Whether progress and summaries go to standard error: it is a terminal and -q was not given.
    bool talksToTerminal() const;
};

// A writer of rows with `keys` to the command's output, in the format chosen.
RowWriter rowWriter(Context& context, std::vector<std::string> keys);

// The stores the command works on: --data-dir, or the desktop program's data directory.
DataDirectory dataDirectoryOf(const Context& context);

// Rows of cells; in JSON each row becomes an object whose keys are `jsonKeys` in column order.
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
// Export, import and restore; added after the library commands, whose subcommands they are.
void addShareCommands(CLI::App& app, Context& context, CommandSet& commands);

// A path as commands record and match it: blanks at either end trimmed (unless
// they belong to an existing file's name), then absolute and lexically normal
// ("./x", "x", "dir//x" are one entry); symbolic links are not resolved.
std::string normalisedPath(const std::string& given);
std::vector<std::string> normalisedPaths(const std::vector<std::string>& given);
// Leaves out the paths that name nothing, each named on standard error with its
// reason; true when every path exists.
bool keepExistingPaths(Context& context, std::vector<std::string>& paths);
// True, after naming it on standard error, when nothing exists at `path`.
bool isMissingPath(Context& context, const std::string& path);

// While it lives, SIGINT and SIGTERM only ask the running operation to stop
// after the file it is on; the command then exits 128 + the signal's number.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int received() const;  // the signal's number, 0 when none came
    int exitCode() const;  // 130 for SIGINT, 143 for SIGTERM, 0 when none came

private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

// Parses `args` (without the program name) and runs the chosen command; returns the exit code.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
int run(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace vex::cli
