#include "cli/cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>

#include "cli/help_text.h"
#include "library/data_directory.h"
#include "library/store.h"
#include "library/store_lock.h"
#include "runtime/data_dir.h"
#include "runtime/translation.h"
#include "vexorin/version.h"

namespace vex::cli {

OutputStyle Context::style() const {
    return {json ? Format::Json : formatNamed(formatName).value_or(Format::Tsv), header};
}

bool Context::talksToTerminal() const { return !quiet && &err == &std::cerr && ::isatty(STDERR_FILENO); }

RowWriter rowWriter(Context& context, std::vector<std::string> keys) {
    return RowWriter(context.out, context.style(), std::move(keys));
}

void printRows(Context& context, const std::vector<std::string>& jsonKeys, const std::vector<Row>& rows) {
    RowWriter writer = rowWriter(context, jsonKeys);
    for (const Row& row : rows) writer.add(row);
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

// The distance between two words in single-byte edits: insertions, deletions, substitutions.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The first word that is neither an option nor an option's value: where the command should be.
std::optional<std::string> commandWord(const CLI::App& app, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--") return i + 1 < args.size() ? std::optional(args[i + 1]) : std::nullopt;
        if (word.size() > 1 && word.front() == '-') {
            const bool takesValue = word.find('=') == std::string::npos && [&] {
                const CLI::Option* option = app.get_option_no_throw(word);
                return option && option->get_expected_max() != 0;
            }();
            if (takesValue) ++i;
            continue;
        }
        return word;
    }
    return std::nullopt;
}

// "'identfy' is not a command; did you mean 'identify'?", or "" when `word` is a command.
std::string unknownCommandMessage(const CLI::App& app, const std::string& word) {
    std::string nearest;
    std::size_t nearestDistance = std::string::npos;
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->check_name(word)) return {};
        const std::size_t distance = editDistance(word, command->get_name());
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = command->get_name();
        }
    }
    // A hint only when the word is plausibly a misspelling, not something else entirely.
    if (!nearest.empty() && nearestDistance <= std::max<std::size_t>(2, nearest.size() / 3))
        return helpText("'%1' is not a command; did you mean '%2'? (vexorin-cli --help lists them)",
                        {word, nearest});
    return helpText("'%1' is not a command (vexorin-cli --help lists them)", {word});
}

constexpr const char* kDescription =
    "Tells what kind of file a file really is from its first bytes.\n"
    "Works on the same stores as the desktop program: data.mdb, set.ini and setok.ini in the data directory.";

// CLI11 writes the words around the texts itself: its labels can be set, and
// its group headings are translated as whole lines of the finished help.
void localiseParserWords(CLI::App& app) {
    app.set_help_flag("-h,--help", helpText("Print this help message and exit"));
    const std::shared_ptr<CLI::FormatterBase> formatter = app.get_formatter();
    for (const char* label : {"Usage", "OPTIONS", "SUBCOMMAND", "SUBCOMMANDS", "REQUIRED", "Positionals"})
        formatter->label(label, helpText(label));
}

// CLI11's own error lines, as the catalogue words them; a line of another form stays as CLI11 wrote it.
std::string localisedParseError(const std::string& what) {
    static const std::pair<std::regex, const char*> kForms[] = {
        {std::regex("A subcommand is required"), "A subcommand is required"},
        {std::regex("(.*) is required"), "%1 is required"},
        {std::regex("(.*) excludes (.*)"), "%1 excludes %2"},
        {std::regex("(.*): Value (.*) not in range (.*) to (.*)"), "%1: Value %2 not in range %3 to %4"},
        {std::regex("(.*): (.*) not in \\{(.*)\\}"), "%1: %2 not in {%3}"},
        {std::regex("(.*): ([0-9]+) required (.*) missing"), "%1: %2 required %3 missing"},
        {std::regex("The following argument was not expected: (.*)"),
         "The following argument was not expected: %1"},
        {std::regex("The following arguments were not expected: (.*)"),
         "The following arguments were not expected: %1"},
    };
    std::smatch parts;
    for (const auto& [form, source] : kForms) {
        if (!std::regex_match(what, parts, form)) continue;
        std::vector<std::string> arguments;
        for (std::size_t i = 1; i < parts.size(); ++i) arguments.push_back(parts[i].str());
        auto at = [&arguments](std::size_t i) {
            return i < arguments.size() ? std::string_view(arguments[i]) : "";
        };
        return helpText(source, {at(0), at(1), at(2), at(3)});
    }
    return what;
}

std::string localisedHelp(std::string help) {
    for (const char* heading : {"Options", "Subcommands"}) {
        const std::string english = "\n" + std::string(heading) + ":\n";
        const std::string local = "\n" + helpText(heading) + ":\n";
        for (std::size_t at = help.find(english); at != std::string::npos;
             at = help.find(english, at + local.size()))
            help.replace(at, english.size(), local);
    }
    return help;
}

}  // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Context context{in, out, err};
    CLI::App app{helpText(kDescription), "vexorin-cli"};
    localiseParserWords(app);
    app.require_subcommand(1);
    // Global options may also follow the command: a subcommand hands what it does not know to its parent.
    app.fallthrough();
    app.add_option("--data-dir", context.dataDir, helpText("Directory of data.mdb, set.ini and setok.ini"));
    app.add_option("--format", context.formatName,
                   helpText("How rows are printed: tsv (default), csv, json or jsonl"))
        ->check(CLI::IsMember({"tsv", "csv", "json", "jsonl"}));
    app.add_flag("--json", context.json, helpText("Short for --format json"));
    app.add_flag("--header", context.header, helpText("Print a header row before tab-separated rows"));
    app.add_flag("-q,--quiet", context.quiet,
                 helpText("No progress bar and no summary line on standard error"));
    app.set_version_flag("--version", std::string("vexorin-cli ") + VEXORIN_VERSION,
                         helpText("Print the version and exit"));

    CommandSet commands;
    addSignatureCommands(app, context, commands);
    addLibraryCommands(app, context, commands);
    addListCommands(app, context, commands);
    addShareCommands(app, context, commands);

    if (const std::optional<std::string> word = commandWord(app, args)) {
        const bool asksForHelp = std::any_of(args.begin(), args.end(), [](const std::string& arg) {
            return arg == "-h" || arg == "--help" || arg == "--version";
        });
        if (const std::string unknown = unknownCommandMessage(app, *word); !unknown.empty() && !asksForHelp) {
            err << "vexorin-cli: " << unknown << "\n"
                << helpText("Usage") << ": vexorin-cli [" << helpText("OPTIONS") << "] COMMAND [ARGS...]\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << localisedHelp(app.help());
        return kExitDone;
    } catch (const CLI::CallForAllHelp&) {
        out << localisedHelp(app.help("", CLI::AppFormatMode::All));
        return kExitDone;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        err << "vexorin-cli: " << localisedParseError(e.what()) << "\n\n" << localisedHelp(app.help());
        return kExitUsage;
    }
    const std::function<int()> action = commands.chosen();
    if (!action) {
        err << localisedHelp(app.help());
        return kExitUsage;
    }
    // Reading signatures touches no store, so it works anywhere, even without a data directory.
    const bool needsStore = !app.got_subcommand("signature");
    if (const std::string error = prepareDataDirectory(context, needsStore); !error.empty()) {
        err << "vexorin-cli: " << error << "\n";
        return kExitStoreError;
    }
    // A run that waits for another's lock says so after a second, and on standard error.
    setLockWaitNotice([&err](const std::string& message) {
        err << "vexorin-cli: " << message << "\n" << std::flush;
    });
    const int code = action();
    setLockWaitNotice({});
    return code;
}

int run(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run(args, in, out, err);
}

}  // namespace vex::cli
