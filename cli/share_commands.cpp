// library export, library import: moving the confirmed library between machines and people.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "cli/cli.h"
#include "cli/help_text.h"
#include "flow/library_exchange.h"
#include "flow/restore.h"
#include "flow/starter_set.h"
#include "runtime/translation.h"

namespace vex::cli {
namespace {

struct ExportArgs {
    std::string file;
};

struct ImportArgs {
    std::string file;
    bool starter = false;
    bool skipBad = false;
};

int exportLibrary(Context& context, const ExportArgs& args) {
    // Given a file, its ending chooses the format unless --format says otherwise.
    // The global --format chooses; without it, the file's ending, else CSV.
    std::string name = context.json ? std::string("json") : context.formatName;
    if (name == "tsv") name = args.file.ends_with(".json") || args.file.ends_with(".JSON") ? "json" : "csv";
    const std::optional<ExchangeFormat> format = exchangeFormatNamed(name);
    if (!format) {
        context.err << "vexorin-cli: " << message("library export writes csv or json, not %1", {name})
                    << "\n";
        return kExitUsage;
    }
    const ExportOutcome outcome = exportConfirmed(dataDirectoryOf(context), *format, args.file);
    if (!outcome.error.empty()) {
        context.err << "vexorin-cli: " << outcome.error << "\n";
        return kExitStoreError;
    }
    context.out << outcome.text;
    return kExitDone;
}

int importLibrary(Context& context, const ImportArgs& args) {
    std::string file = args.file;
    if (args.starter) {
        if (!file.empty()) {
            context.err << "vexorin-cli: " << message("library import takes a FILE or --starter, not both")
                        << "\n";
            return kExitUsage;
        }
        file = starterSetPath();
        if (file.empty()) {
            context.err << "vexorin-cli: "
                        << message("the starter set '%1' is not installed beside the program",
                                   {std::string(kStarterSetFileName)})
                        << "\n";
            return kExitStoreError;
        }
    } else if (file.empty()) {
        context.err << "vexorin-cli: " << message("library import needs a FILE (or --starter)") << "\n";
        return kExitUsage;
    }
    const ImportOutcome outcome =
        importConfirmedFile(dataDirectoryOf(context), file, std::nullopt, args.skipBad);
    if (!outcome.error.empty()) {
        context.err << "vexorin-cli: " << outcome.error << "\n";
        return kExitStoreError;
    }
    for (const Refusal& bad : outcome.bad)
        context.err << file << ": " << bad.subject << ": " << bad.reason << "\n";
    for (const Refusal& conflict : outcome.conflicts)
        context.err << file << ": " << conflict.subject << ": " << message("conflict: %1", {conflict.reason})
                    << "\n";
    for (const Refusal& warning : outcome.warnings)
        context.err << file << ": " << warning.subject << ": " << message("warning: %1", {warning.reason})
                    << "\n";
    if (outcome.stoppedByBadRows) {
        context.err << "vexorin-cli: "
                    << message("nothing imported: %1 bad rows (--skip-bad imports the other rows)",
                               {std::to_string(outcome.bad.size())})
                    << "\n";
        return kExitUsage;
    }
    std::vector<Row> rows;
    rows.reserve(outcome.added.size());
    for (const StoredSignature& record : outcome.added) rows.push_back({record.signature, record.type});
    printRows(context, {"signature", "type"}, rows);
    if (!context.quiet) context.err << "vexorin-cli: " << describeImport(outcome) << "\n";
    return kExitDone;
}

struct RestoreArgs {
    bool list = false;
    std::string generation;
};

int restore(Context& context, StoreKind store, const RestoreArgs& args) {
    const DataDirectory data = dataDirectoryOf(context);
    if (args.list) {
        if (!args.generation.empty()) {
            context.err << "vexorin-cli: " << message("restore takes --list or a GENERATION, not both")
                        << "\n";
            return kExitUsage;
        }
        std::vector<Row> rows;
        for (const StoreGeneration& generation : listGenerations(data, store))
            rows.push_back({generation.name, std::to_string(generation.bytes), generation.path});
        printRows(context, {"generation", "bytes", "path"}, rows);
        return kExitDone;
    }
    const RestoreOutcome outcome = restoreStore(data, store, args.generation);
    if (!outcome.error.empty()) {
        context.err << "vexorin-cli: " << outcome.error << "\n";
        return kExitStoreError;
    }
    if (!context.quiet)
        context.err << "vexorin-cli: " << message("restored the generation %1", {outcome.restored}) << "\n";
    return kExitDone;
}

}  // namespace

void addShareCommands(CLI::App& app, Context& context, CommandSet& commands) {
    CLI::App* library = app.get_subcommand("library");

    auto exportArgs = std::make_shared<ExportArgs>();
    auto* exportCommand =
        library->add_subcommand("export", helpText("Write the confirmed library as CSV (RFC 4180, header "
                                                   "signature,type) or, with --format json, JSON"));
    exportCommand->add_option("FILE", exportArgs->file,
                              helpText("File to write (replaced whole); standard output without"));
    commands.add(exportCommand, [&context, exportArgs] { return exportLibrary(context, *exportArgs); });

    auto importArgs = std::make_shared<ImportArgs>();
    auto* importCommand = library->add_subcommand(
        "import", helpText("Add the values of a CSV or JSON file to the confirmed library"));
    importCommand->add_option("FILE", importArgs->file,
                              helpText("CSV (header signature,type) or JSON array"));
    importCommand->add_flag("--starter", importArgs->starter,
                            helpText("Import the starter set shipped with the program"));
    importCommand->add_flag(
        "--skip-bad", importArgs->skipBad,
        helpText("Import the good rows of a file that has bad ones (default: a bad row stops all)"));
    commands.add(importCommand, [&context, importArgs] { return importLibrary(context, *importArgs); });

    for (const auto& [name, kind] :
         {std::pair{"experiments", StoreKind::Experiments}, std::pair{"library", StoreKind::Library},
          std::pair{"results", StoreKind::Results}}) {
        const StoreKind store = kind;
        auto restoreArgs = std::make_shared<RestoreArgs>();
        auto* command = app.get_subcommand(name)->add_subcommand(
            "restore",
            helpText("Bring back a generation kept before a clear or delete (default: the newest)"));
        command->add_flag("--list", restoreArgs->list, helpText("List the kept generations, newest first"));
        command->add_option("GENERATION", restoreArgs->generation,
                            helpText("The generation to bring back, as listed"));
        commands.add(command,
                     [&context, store, restoreArgs] { return restore(context, store, *restoreArgs); });
    }
}

}  // namespace vex::cli
