#include "cli/not_yet_available.h"

namespace vex::cli {

void addLibraryCommands(CLI::App& app, Context& context, CommandSet& commands) {
    for (const char* name : {"confirm", "library"}) addUnavailableCommand(app, context, commands, name);
}

}  // namespace vex::cli
