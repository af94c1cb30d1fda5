#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/help_text.h"
#include "ident/signature.h"

namespace vex::cli {

void addSignatureCommands(CLI::App& app, Context& context, CommandSet& commands) {
    auto* signature =
        app.add_subcommand("signature", helpText("Print the signature value and file class of each file"));
    auto arguments = std::make_shared<PathArguments>();
    addPathArguments(signature, *arguments, PathOptions::Plain, helpText("Files to read"));
    commands.add(signature, [&context, arguments] {
        const GatheredPaths gathered = gatherPaths(*arguments, context.in, context.err);
        RowWriter writer = rowWriter(context, {"signature", "class", "path"});
        for (std::string path : gathered.paths) {
            std::string value = ReadSignatureValue(path);
            std::string fileClass = FileClassOf(path);
            writer.add({std::move(value), std::move(fileClass), std::move(path)});
        }
        writer.finish();
        return withPathProblems(kExitDone, gathered.someUnreadable);
    });
}

}  // namespace vex::cli
