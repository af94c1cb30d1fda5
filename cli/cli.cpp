#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "library/data_directory.h"
#include "library/store.h"
#include "runtime/data_dir.h"
#include "runtime/translation.h"
#include "vexorin/version.h"

namespace vex::cli {

void printRows(Context& context, const std::vector<std::string>& jsonKeys, const std::vector<Row>& rows) {
    if (context.json) {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const Row& row : rows) {
            nlohmann::ordered_json object = nlohmann::ordered_json::object();
            for (size_t i = 0; i < row.size() && i < jsonKeys.size(); ++i) object[jsonKeys[i]] = row[i];
            array.push_back(std::move(object));
        }
        // Paths need not be valid UTF-8; replace broken bytes rather than fail on them.
        context.out << array.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
        return;
    }
    // Lines are gathered into blocks: one stream write per row costs more than the rest of a long listing.
    constexpr std::size_t kBlock = 1 << 16;
    std::string block;
    block.reserve(kBlock + 4096);
    for (const Row& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) block += '\t';
            block += row[i];
        }
        block += '\n';
        if (block.size() >= kBlock) {
            context.out << block;
            block.clear();
        }
    }
    context.out << block;
}

void CommandSet::add(CLI::App* command, std::function<int()> action) {
    commands_.emplace_back(command, std::move(action));
}

DataDirectory dataDirectoryOf(const Context& context) {
    return context.dataDir.empty() ? DataDirectory::current() : DataDirectory(context.dataDir);
}

std::function<int()> CommandSet::chosen() const {
    for (auto it = commands_.rbegin(); it != commands_.rend(); ++it) {
        if (it->first->parsed()) return it->second;
    }
    return {};
}

namespace {

// Points the stores at --data-dir (created when missing) and writes the empty
// signature store when it is missing, as the desktop program does at start-up.
// Returns an error text, empty on success.
std::string prepareDataDirectory(const Context& context, bool needsStore) {
    if (!context.dataDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(context.dataDir, error);
        if (error)
            return message("Cannot create the data directory '%1'. Reason: %2",
                           {context.dataDir, error.message()});
    }
    setDataDirectoryOverride(context.dataDir);  // an empty text returns to the default choice
    if (!needsStore) return {};
    const EnsureStoreResult store = ensureStoreExists(DataDirectory::current().libraryPath());
    if (store.outcome == StoreCreation::Failed) return store.error;
    return {};
}

constexpr const char* kDescription =
    "Tells what kind of file a file really is from its first bytes.\n"
    "Works on the same stores as the desktop program: data.mdb, set.ini and setok.ini in the data directory.";

}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Context context{in, out, err};
    CLI::App app{kDescription, "vexorin-cli"};
    app.require_subcommand(1);
    app.add_option("--data-dir", context.dataDir, "Directory of data.mdb, set.ini and setok.ini");
    app.add_flag("--json", context.json, "Print JSON instead of tab-separated lines");
    app.set_version_flag("--version", std::string("vexorin-cli ") + VEXORIN_VERSION,
                         "Print the version and exit");

    CommandSet commands;
    addSignatureCommands(app, context, commands);
    addLibraryCommands(app, context, commands);
    addListCommands(app, context, commands);

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitDone;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitDone;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        err << "vexorin-cli: " << e.what() << "\n\n" << app.help();
        return kExitUsage;
    }
    const std::function<int()> action = commands.chosen();
    if (!action) {
        err << app.help();
        return kExitUsage;
    }
    // Reading signatures touches no store, so it works anywhere, even without a data directory.
    const bool needsStore = !app.got_subcommand("signature");
    if (const std::string error = prepareDataDirectory(context, needsStore); !error.empty()) {
        err << "vexorin-cli: " << error << "\n";
        return kExitStoreError;
    }
    return action();
}

int run(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run(args, in, out, err);
}

}  // namespace vex::cli
