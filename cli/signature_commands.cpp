#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "ident/signature.h"

namespace vex::cli {

void addSignatureCommands(CLI::App& app, Context& context, CommandSet& commands) {
    auto* signature =
        app.add_subcommand("signature", "Print the signature value and file class of each file");
    auto paths = std::make_shared<std::vector<std::string>>();
    signature->add_option("PATH", *paths, "Files to read")->required();
    commands.add(signature, [&context, paths] {
        std::vector<Row> rows;
        rows.reserve(paths->size());
        for (std::string path : *paths) {
            std::string value = ReadSignatureValue(path);
            std::string fileClass = FileClassOf(path);
            rows.push_back({std::move(value), std::move(fileClass), std::move(path)});
        }
        printRows(context, {"signature", "class", "path"}, rows);
        return kExitDone;
    });
}

}  // namespace vex::cli
