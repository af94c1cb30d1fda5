// The experiment and identification list commands: sample, experiments,
// identify, results and rename, each the desktop program's operation on the same files.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "cli/cli.h"
#include "flow/drop.h"
#include "flow/lists.h"
#include "flow/rename.h"
#include "library/store.h"
#include "runtime/translation.h"

namespace vex::cli {
namespace {

constexpr std::size_t kProgressThreshold = 1000;

const std::vector<std::string> kExperimentKeys = {"index", "class", "signature", "path"};
const std::vector<std::string> kIdentificationKeys = {"index", "class", "signature", "path", "type"};

// A bar on standard error, redrawn at most once per percent, for long runs on a terminal.
class ProgressBar {
public:
    ProgressBar(Context& context, std::size_t total)
        : err_(context.err),
          shown_(total > kProgressThreshold && &context.err == &std::cerr && ::isatty(STDERR_FILENO)) {}
    ~ProgressBar() {
        if (drawn_) err_ << "\n" << std::flush;
    }
    Progress callback() {
        if (!shown_) return {};
        return [this](std::size_t done, std::size_t total) { draw(done, total); };
    }

private:
    void draw(std::size_t done, std::size_t total) {
        const std::size_t percent = done * 100 / total;
        if (drawn_ && percent == lastPercent_) return;
        lastPercent_ = percent;
        drawn_ = true;
        constexpr std::size_t kWidth = 40;
        const std::size_t filled = percent * kWidth / 100;
        err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << done << "/"
             << total << std::flush;
    }

    std::ostream& err_;
    bool shown_;
    bool drawn_ = false;
    std::size_t lastPercent_ = 0;
};

std::vector<Row> rowsOf(const std::vector<ExperimentEntry>& entries) {
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const ExperimentEntry& e : entries)
        rows.push_back({std::to_string(rows.size() + 1), e.fileClass, e.signature, e.path});
    return rows;
}

std::vector<Row> rowsOf(const std::vector<IdentificationEntry>& entries) {
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const IdentificationEntry& e : entries)
        rows.push_back({std::to_string(rows.size() + 1), e.fileClass, e.signature, e.path, e.type});
    return rows;
}

int reportStoreError(Context& context, const std::string& error) {
    context.err << "vexorin-cli: " << error << "\n";
    return kExitStoreError;
}

int reportRefused(Context& context, const Outcome& outcome) {
    for (const Refusal& refusal : outcome.refused)
        context.err << "vexorin-cli: " << message("not recorded: %1", {refusal.reason}) << "\n";
    return outcome.refused.empty() ? kExitDone : kExitStoreError;
}

// The entries, in list order, whose path is one of `paths`; each path that
// names no entry is told on standard error. Indexed, so batches of thousands stay fast.
template <class Entry>
std::vector<const Entry*> listedEntries(Context& context, const std::vector<Entry>& entries,
                                        const std::vector<std::string>& paths, bool& allListed) {
    std::unordered_set<std::string_view> listedPaths;
    listedPaths.reserve(entries.size());
    for (const Entry& entry : entries) listedPaths.insert(entry.path);
    std::unordered_set<std::string_view> wanted;
    allListed = true;
    for (const std::string& path : paths) {
        if (listedPaths.count(path)) {
            wanted.insert(path);
            continue;
        }
        context.err << "vexorin-cli: " << message("no entry for '%1'", {path}) << "\n";
        allListed = false;
    }
    std::vector<const Entry*> listed;
    for (const Entry& entry : entries)
        if (wanted.count(entry.path)) listed.push_back(&entry);
    return listed;
}

std::vector<std::string> readPathLines(std::istream& in) {
    // Read in blocks: a character at a time is slow on a stream synchronised with C stdio.
    std::string text;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    std::vector<std::string> paths;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) paths.emplace_back(line);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return paths;
}

void addSample(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command =
        app.add_subcommand("sample", "Record files in the experiment library, as if dropped on its list");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Files of known types")->required();
    commands.add(command, [&context, paths]() -> int {
        ProgressBar bar(context, paths->size());
        std::vector<ExperimentEntry> listed;
        const DropOutcome outcome = samplePaths(dataDirectoryOf(context), *paths, bar.callback(), &listed);
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        printRows(context, kExperimentKeys, rowsOf(listed));
        return reportRefused(context, outcome);
    });
}

// `list`, `delete PATH...` and `clear` of one list file.
template <class Entry>
void addListFileCommands(CLI::App& app, Context& context, CommandSet& commands, const char* name,
                         const char* title, const std::vector<std::string>& keys,
                         Listing<Entry> (*list)(const DataDirectory&),
                         Outcome (*remove)(const DataDirectory&, const std::vector<std::string>&,
                                           std::vector<Entry>*),
                         Outcome (*clear)(const DataDirectory&)) {
    auto* listCommand = app.add_subcommand(name, std::string("Print the ") + title);
    commands.add(listCommand, [&context, &keys, list]() -> int {
        const Listing<Entry> listing = list(dataDirectoryOf(context));
        if (!listing.error.empty()) return reportStoreError(context, listing.error);
        printRows(context, keys, rowsOf(listing.entries));
        return kExitDone;
    });

    auto* removeCommand =
        listCommand->add_subcommand("delete", std::string("Delete these entries from the ") + title);
    auto paths = std::make_shared<std::vector<std::string>>();
    removeCommand->add_option("PATH", *paths, "Paths as the list shows them")->required();
    commands.add(removeCommand, [&context, &keys, list, remove, paths]() -> int {
        const DataDirectory data = dataDirectoryOf(context);
        const Listing<Entry> listing = list(data);
        if (!listing.error.empty()) return reportStoreError(context, listing.error);
        bool allListed = true;
        std::vector<std::string> listedPaths;
        for (const Entry* entry : listedEntries(context, listing.entries, *paths, allListed))
            listedPaths.push_back(entry->path);
        std::vector<Entry> listed;
        if (const Outcome outcome = remove(data, listedPaths, &listed); !outcome.error.empty())
            return reportStoreError(context, outcome.error);
        printRows(context, keys, rowsOf(listed));
        return kExitDone;
    });

    auto* clearCommand = listCommand->add_subcommand("clear", std::string("Empty the ") + title);
    commands.add(clearCommand, [&context, clear]() -> int {
        if (const Outcome outcome = clear(dataDirectoryOf(context)); !outcome.error.empty())
            return reportStoreError(context, outcome.error);
        return kExitDone;
    });
}

void addIdentify(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand(
        "identify",
        "Identify files, as if dropped on the identification list ('-': paths from standard input)");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Files to identify, or - to read one path per line")->required();
    commands.add(command, [&context, paths]() -> int {
        std::vector<std::string> files = *paths;
        if (files.size() == 1 && files[0] == "-") files = readPathLines(context.in);
        const DataDirectory data = dataDirectoryOf(context);
        // As at start-up: a missing library is written out empty first. When that
        // fails the lookups simply find nothing, which the results show.
        if (const EnsureStoreResult store = ensureStoreExists(data.libraryPath());
            store.outcome == StoreCreation::Failed)
            context.err << "vexorin-cli: " << store.error << "\n";
        ProgressBar bar(context, files.size());
        DropOutcome outcome = identifyPaths(data, files, bar.callback());
        files = {};
        std::vector<Row> rows;
        rows.reserve(outcome.files.size());
        for (IdentifiedFile& file : outcome.files)
            rows.push_back({std::move(file.type), std::move(file.signature), std::move(file.path)});
        printRows(context, {"type", "signature", "path"}, rows);
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        return reportRefused(context, outcome);
    });
}

void addRename(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand("rename", "Rename these identified files to their probable type");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Paths as the identification list shows them")->required();
    commands.add(command, [&context, paths]() -> int {
        const DataDirectory data = dataDirectoryOf(context);
        const Listing<IdentificationEntry> listing = listIdentifications(data);
        if (!listing.error.empty()) return reportStoreError(context, listing.error);
        bool allListed = true;
        std::vector<RenameRequest> requests;
        for (const IdentificationEntry* entry : listedEntries(context, listing.entries, *paths, allListed))
            requests.push_back({entry->path, entry->type, entry->signature});
        const RenameOutcome outcome = renameFiles(data, requests);
        std::vector<Row> rows;
        for (const auto& [oldPath, newPath] : outcome.renamed) rows.push_back({oldPath, newPath});
        printRows(context, {"old", "new"}, rows);
        for (const Refusal& failure : outcome.refused)
            context.err << "vexorin-cli: "
                        << message("'%1' not renamed: %2", {failure.subject, failure.reason}) << "\n";
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        return outcome.refused.empty() && allListed ? kExitDone : kExitRenameFailed;
    });
}

}  // namespace

void addListCommands(CLI::App& app, Context& context, CommandSet& commands) {
    addSample(app, context, commands);
    addListFileCommands<ExperimentEntry>(app, context, commands, "experiments", "experiment library",
                                         kExperimentKeys, &listExperiments, &deleteExperiments,
                                         &clearExperiments);
    addIdentify(app, context, commands);
    addListFileCommands<IdentificationEntry>(app, context, commands, "results", "identification list",
                                             kIdentificationKeys, &listIdentifications,
                                             &deleteIdentifications, &clearIdentifications);
    addRename(app, context, commands);
}

}  // namespace vex::cli
