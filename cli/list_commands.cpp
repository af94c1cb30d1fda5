#include "cli/not_yet_available.h"

namespace vex::cli {

void addListCommands(CLI::App& app, Context& context, CommandSet& commands) {
    for (const char* name : {"sample", "experiments", "identify", "results", "rename"})
        addUnavailableCommand(app, context, commands, name);
}

}  // namespace vex::cli
