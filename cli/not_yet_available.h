#pragma once
// Commands whose operations are not built yet: they parse, then say so and exit with a usage error.

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/cli.h"

namespace vex::cli {

inline void addUnavailableCommand(CLI::App& app, Context& context, CommandSet& commands,
                                  const std::string& name) {
    auto* command = app.add_subcommand(name, "(not available yet)");
    command->allow_extras();
    commands.add(command, [&context, name] {
        context.err << "vexorin-cli: the command '" << name << "' is not available yet\n";
        return kExitUsage;
    });
}

}  // namespace vex::cli
