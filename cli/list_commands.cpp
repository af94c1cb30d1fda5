// The experiment and identification list commands: sample, experiments,
// identify, results and rename, each the desktop program's operation on the same files.

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "cli/cli.h"
#include "cli/help_text.h"
#include "flow/answers.h"
#include "flow/drop.h"
#include "flow/lists.h"
#include "flow/rename.h"
#include "ident/signature.h"
#include "library/store.h"
#include "runtime/translation.h"

namespace vex::cli {
namespace {

constexpr std::size_t kProgressThreshold = 1000;

const std::vector<std::string> kExperimentKeys = {"index", "class", "signature", "path"};
const std::vector<std::string> kIdentificationKeys = {"index", "class", "signature", "path", "type"};
const std::vector<std::string> kDetailKeys = {"digits", "record", "alternatives"};

std::vector<std::string> withDetailKeys(std::vector<std::string> keys) {
    keys.insert(keys.end(), kDetailKeys.begin(), kDetailKeys.end());
    return keys;
}

void appendDetails(Row& row, const MatchDetails& details) {
    row.emplace_back(details.digits);
    if (details.record)
        row.emplace_back(*details.record);
    else
        row.emplace_back();  // null: no record answered
    row.emplace_back(alternativeTexts(details));
}

// A bar on standard error, redrawn at most once per percent, for long runs on a terminal.
class ProgressBar {
public:
    ProgressBar(Context& context, std::size_t total)
        : err_(context.err), shown_(total > kProgressThreshold && context.talksToTerminal()) {}
    ~ProgressBar() { end(); }
    // Ends the bar's line, so what is printed next starts on a line of its own.
    void end() {
        if (drawn_) err_ << "\n" << std::flush;
        drawn_ = false;
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

Row rowOf(std::size_t index, const ExperimentEntry& e) { return {index, e.fileClass, e.signature, e.path}; }

Row rowOf(std::size_t index, const IdentificationEntry& e) {
    return {index, e.fileClass, e.signature, e.path, e.type};
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

// One line on a terminal after a command long enough to show the progress bar, so a person sees what
// came of it; never in a pipe or with -q.
void summarise(Context& context, std::size_t files, const std::string& text) {
    if (files > kProgressThreshold && context.talksToTerminal())
        context.err << "vexorin-cli: " << text << "\n";
}

// Picks the entries that paths typed on the command line name. Each path is
// looked for in its absolute, normal form, or as typed when only that is listed
// (an entry recorded before paths were made absolute).
class ListedPicker {
public:
    explicit ListedPicker(const std::vector<std::string>& paths) : paths_(paths) {
        normals_.reserve(paths.size());  // never moved: candidates_ views them
        for (const std::string& path : paths) {
            normals_.push_back(normalisedPath(path));
            candidates_.insert(normals_.back());
            candidates_.insert(path);
        }
    }
    // Whether an entry of `path` may be asked for: only these need to be told to resolve().
    bool isCandidate(std::string_view path) const { return candidates_.count(path) > 0; }

    // Settles which form of each path is meant, given which of them the list holds; a path
    // not listed in either form is named on standard error. False when one was not listed.
    bool resolve(Context& context, const std::function<bool(std::string_view)>& listed) {
        bool allListed = true;
        for (std::size_t i = 0; i < paths_.size(); ++i) {
            const std::string& form = listed(normals_[i]) || !listed(paths_[i]) ? normals_[i] : paths_[i];
            if (listed(form)) {
                wanted_.insert(form);
                continue;
            }
            context.err << "vexorin-cli: " << message("no entry for '%1'", {form}) << "\n";
            allListed = false;
        }
        return allListed;
    }
    // After resolve(): whether the entry of `path` is one asked for.
    bool wanted(std::string_view path) const { return wanted_.count(path) > 0; }
    // After resolve(): the entries asked for, each once, in no order.
    const std::unordered_set<std::string_view>& wanted() const { return wanted_; }

private:
    const std::vector<std::string>& paths_;
    std::vector<std::string> normals_;
    std::unordered_set<std::string_view> candidates_;  // views of paths_ and normals_
    std::unordered_set<std::string_view> wanted_;
};

// A file that exists but could not be read is recorded with the too-short text;
// the reason goes to standard error. Only those files are opened again.
void reportUnreadable(Context& context, const DropOutcome& outcome) {
    for (const IdentifiedFile& file : outcome.files) {
        if (file.signature != kTooShortText) continue;
        const int fd = ::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            ::close(fd);
            continue;
        }
        context.err << "vexorin-cli: " << message("cannot read '%1': %2", {file.path, std::strerror(errno)})
                    << "\n";
    }
}

void addSample(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand(
        "sample", helpText("Record files in the experiment library, as if dropped on its list"));
    auto arguments = std::make_shared<PathArguments>();
    addPathArguments(command, *arguments, PathOptions::Recursive, helpText("Files of known types"));
    commands.add(command, [&context, arguments]() -> int {
        GatheredPaths gathered = gatherPaths(*arguments, context.in, context.err);
        gathered.paths = normalisedPaths(gathered.paths);
        if (!keepExistingPaths(context, gathered.paths)) gathered.someUnreadable = true;
        ProgressBar bar(context, gathered.paths.size());
        const DropOutcome outcome = samplePaths(dataDirectoryOf(context), gathered.paths, bar.callback());
        bar.end();
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        reportUnreadable(context, outcome);
        std::unordered_set<std::string_view> refused;
        for (const Refusal& refusal : outcome.refused) refused.insert(refusal.subject);
        // Only what this command recorded: the rest of the list did not change.
        RowWriter writer = rowWriter(context, {"class", "signature", "path"});
        std::size_t recorded = 0;
        for (const IdentifiedFile& file : outcome.files) {
            if (refused.count(file.path)) continue;
            writer.add({file.type, file.signature, file.path});
            ++recorded;
        }
        writer.finish();
        summarise(context, gathered.paths.size(),
                  message("%1 files recorded in the experiment library", {std::to_string(recorded)}));
        return withPathProblems(reportRefused(context, outcome), gathered.someUnreadable);
    });
}

// Prints a list as it is read, numbered from 1, so a long list is never held
// whole. Nothing is printed when the list cannot be read.
template <class Entry>
int streamListing(Context& context, const std::vector<std::string>& keys,
                  std::string (*visit)(const DataDirectory&, const std::function<void(const Entry&)>&)) {
    std::optional<RowWriter> writer;
    std::size_t index = 0;
    const std::string error = visit(dataDirectoryOf(context), [&](const Entry& entry) {
        if (!writer) writer.emplace(context.out, context.style(), keys);
        writer->add(rowOf(++index, entry));
    });
    if (!error.empty()) return reportStoreError(context, error);
    if (!writer) writer.emplace(context.out, context.style(), keys);
    return kExitDone;
}

int printExperiments(Context& context, const std::vector<std::string>& keys) {
    return streamListing<ExperimentEntry>(context, keys, &visitExperiments);
}

// Formats with named fields carry each answer's details too; TSV keeps its five columns.
int printIdentifications(Context& context, const std::vector<std::string>& keys) {
    if (context.style().format == Format::Tsv)
        return streamListing<IdentificationEntry>(context, keys, &visitIdentifications);
    const DataDirectory data = dataDirectoryOf(context);
    const Listing<IdentificationEntry> listing = listIdentifications(data);
    if (!listing.error.empty()) return reportStoreError(context, listing.error);
    const std::vector<IdentificationEntry>& entries = listing.entries;
    const ExplainedListing explained = explainIdentifications(data, entries);
    if (!explained.error.empty())
        context.err << "vexorin-cli: " << message("no match details: %1", {explained.error}) << "\n";
    RowWriter writer = rowWriter(context, withDetailKeys(keys));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Row row = rowOf(i + 1, entries[i]);
        if (i < explained.details.size())
            appendDetails(row, explained.details[i]);
        else
            row.insert(row.end(), {Cell(), Cell(), Cell(std::vector<std::string>())});
        writer.add(row);
    }
    return kExitDone;
}

// `list`, `delete PATH...` and `clear` of one list file.
template <class Entry>
void addListFileCommands(CLI::App& app, Context& context, CommandSet& commands, const char* name,
                         const char* title, const std::vector<std::string>& keys,
                         std::string (*visit)(const DataDirectory&, const std::function<void(const Entry&)>&),
                         Outcome (*remove)(const DataDirectory&, const std::vector<std::string>&,
                                           std::vector<Entry>*),
                         Outcome (*clear)(const DataDirectory&),
                         int (*print)(Context&, const std::vector<std::string>&)) {
    auto* listCommand = app.add_subcommand(name, helpText("Print the %1", {helpText(title)}));
    commands.add(listCommand, [&context, &keys, print]() -> int { return print(context, keys); });

    auto* removeCommand = listCommand->add_subcommand(
        "delete", helpText("Delete these entries from the %1", {helpText(title)}));
    auto arguments = std::make_shared<PathArguments>();
    addPathArguments(removeCommand, *arguments, PathOptions::Plain, helpText("Paths as the list shows them"));
    commands.add(removeCommand, [&context, &keys, visit, remove, arguments]() -> int {
        const GatheredPaths gathered = gatherPaths(*arguments, context.in, context.err);
        const DataDirectory data = dataDirectoryOf(context);
        // One pass over a list that is never held whole: only the entries asked for are kept.
        ListedPicker picker(gathered.paths);
        std::vector<std::pair<std::size_t, Entry>> found;  // place in the list, entry
        std::unordered_set<std::string> listed;
        std::size_t index = 0;
        const std::string error = visit(data, [&](const Entry& entry) {
            ++index;
            if (!picker.isCandidate(entry.path)) return;
            listed.insert(entry.path);
            found.emplace_back(index, entry);
        });
        if (!error.empty()) return reportStoreError(context, error);
        picker.resolve(context,
                       [&listed](std::string_view path) { return listed.count(std::string(path)) > 0; });
        std::vector<std::string> removed;
        std::vector<Row> rows;
        for (const auto& [place, entry] : found) {
            if (!picker.wanted(entry.path)) continue;
            removed.push_back(entry.path);
            rows.push_back(rowOf(place, entry));
        }
        if (const Outcome outcome = remove(data, removed, nullptr); !outcome.error.empty())
            return reportStoreError(context, outcome.error);
        // The deleted rows, numbered as they were listed.
        printRows(context, keys, rows);
        return withPathProblems(kExitDone, gathered.someUnreadable);
    });

    auto* clearCommand = listCommand->add_subcommand("clear", helpText("Empty the %1", {helpText(title)}));
    commands.add(clearCommand, [&context, clear]() -> int {
        if (const Outcome outcome = clear(dataDirectoryOf(context)); !outcome.error.empty())
            return reportStoreError(context, outcome.error);
        return kExitDone;
    });
}

// The rows of identify: without --explain, TSV keeps its three columns and
// the other formats add the details after them; with it, every format puts
// the details after the type. Rows come a part of the files at a time.
class IdentifiedPrinter {
public:
    IdentifiedPrinter(Context& context, bool explain)
        : context_(context), explain_(explain), plain_(!explain && context.style().format == Format::Tsv) {}

    void print(std::vector<IdentifiedFile>& files) {
        if (!writer_) writer_.emplace(context_.out, context_.style(), keys());
        for (IdentifiedFile& file : files) {
            if (explain_) {
                Row row{std::move(file.type)};
                appendDetails(row, file.details);
                row.insert(row.end(), {std::move(file.signature), std::move(file.path)});
                writer_->add(row);
                continue;
            }
            Row row{std::move(file.type), std::move(file.signature), std::move(file.path)};
            if (!plain_) appendDetails(row, file.details);
            writer_->add(row);
        }
    }
    void finish() {
        std::vector<IdentifiedFile> none;
        print(none);
        writer_->finish();
    }

private:
    std::vector<std::string> keys() const {
        if (explain_) return {"type", "digits", "record", "alternatives", "signature", "path"};
        if (plain_) return {"type", "signature", "path"};
        return withDetailKeys({"type", "signature", "path"});
    }

    Context& context_;
    bool explain_;
    bool plain_;
    std::optional<RowWriter> writer_;
};

// --min-digits N: 4 (the shortest stored prefix) to 20.
CLI::Option* addMinDigits(CLI::App* command, int& minDigits, const std::string& description) {
    return command->add_option("--min-digits", minDigits, description)
        ->check(CLI::Range(kShortestPrefix, kLongestPrefix))
        ->default_val(kShortestPrefix);
}

void addIdentify(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand(
        "identify",
        helpText(
            "Identify files, as if dropped on the identification list ('-': paths from standard input)"));
    auto arguments = std::make_shared<PathArguments>();
    auto options = std::make_shared<IdentifyOptions>();
    auto explain = std::make_shared<bool>(false);
    addPathArguments(command, *arguments, PathOptions::Recursive, helpText("Files to identify"));
    command->add_flag("--dry-run", options->dryRun,
                      helpText("Identify only: record nothing in the identification list"));
    command->add_flag(
        "--explain", *explain,
        helpText("Print how each answer was found: TYPE DIGITS RECORD ALTERNATIVES SIGNATURE PATH"));
    addMinDigits(
        command, options->minDigits,
        helpText("Record a match of fewer hex digits than this as unknown (4 to 20; 4: every match counts)"));
    commands.add(command, [&context, arguments, options, explain]() -> int {
        GatheredPaths gathered = gatherPaths(*arguments, context.in, context.err);
        gathered.paths = normalisedPaths(gathered.paths);
        const DataDirectory data = dataDirectoryOf(context);
        ProgressBar bar(context, gathered.paths.size());
        // Printed and let go a part at a time: a million files never sit in memory at once.
        IdentifiedPrinter printer(context, *explain);
        std::size_t identified = 0;
        Outcome refused;
        IdentifyOptions partly = *options;
        // Only a path that could not be read is looked up again: one walk of the path per file.
        partly.leaveOut = [&](const std::string& path) {
            bar.end();
            const bool missing = isMissingPath(context, path);
            gathered.someUnreadable = gathered.someUnreadable || missing;
            return missing;
        };
        partly.takePart = [&](DropOutcome& part) {
            if (part.files.empty()) return;
            bar.end();
            reportUnreadable(context, part);
            identified += part.files.size();
            std::move(part.refused.begin(), part.refused.end(), std::back_inserter(refused.refused));
            printer.print(part.files);
        };
        DropOutcome outcome = identifyPaths(data, gathered.paths, bar.callback(), nullptr, partly);
        bar.end();
        const std::size_t handedIn = gathered.paths.size();
        gathered.paths = {};
        // An unreadable library refuses the whole identification: nothing is printed or recorded.
        if (!outcome.error.empty() && identified == 0) return reportStoreError(context, outcome.error);
        printer.finish();
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        summarise(context, handedIn,
                  message(options->dryRun ? "%1 files identified (nothing recorded)" : "%1 files identified",
                          {std::to_string(identified - refused.refused.size())}));
        return withPathProblems(reportRefused(context, refused), gathered.someUnreadable);
    });
}

// rename --undo: the last rename run taken back, printed as the renames it made (OLD is the name it had).
int undoRename(Context& context) {
    const UndoRenameOutcome outcome = undoLastRename(dataDirectoryOf(context));
    {
        RowWriter writer = rowWriter(context, {"old", "new"});
        for (const auto& [renamedPath, restoredPath] : outcome.renamed)
            writer.add({renamedPath, restoredPath});
    }
    for (const Refusal& failure : outcome.refused)
        context.err << "vexorin-cli: "
                    << message("'%1' not renamed back: %2", {failure.subject, failure.reason}) << "\n";
    if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
    if (outcome.tried == 0) {
        if (!context.quiet) context.err << "vexorin-cli: " << message("no rename to take back") << "\n";
        return kExitDone;
    }
    summarise(context, outcome.tried,
              message("%1 files renamed back", {std::to_string(outcome.renamed.size())}));
    return outcome.refused.empty() ? kExitDone : kExitRenameFailed;
}

struct RenameSettings {
    bool all = false;
    bool dryRun = false;
    RenameCaution caution;
};

// The entries `paths` name (every entry with `all`) in list order, from the
// list the rename loaded; one that is not listed is named on standard error.
std::vector<IdentificationEntry> chooseListed(Context& context, const IdentificationList& list,
                                              const std::vector<std::string>& paths, bool all,
                                              bool& allListed) {
    std::vector<IdentificationEntry> chosen;
    if (all) {
        chosen.reserve(list.size());
        list.forEachEntry([&chosen](const IdentificationEntry& entry) { chosen.push_back(entry); });
        return chosen;
    }
    ListedPicker picker(paths);
    allListed = picker.resolve(context, [&list](std::string_view path) { return list.contains(path); });
    // Put in list order by their ranks, so a long list is not walked for a few entries.
    std::vector<std::pair<std::size_t, std::string_view>> ranked;
    ranked.reserve(picker.wanted().size());
    for (std::string_view path : picker.wanted()) ranked.emplace_back(list.rankOf(path).value_or(0), path);
    std::sort(ranked.begin(), ranked.end());
    chosen.reserve(ranked.size());
    for (const auto& [rank, path] : ranked) chosen.push_back(*list.find(std::string(path)));
    return chosen;
}

// The requests for the chosen entries, less the answers the caution leaves
// alone (named on standard error). False when the details it needs cannot be had.
bool cautiousRequests(Context& context, const DataDirectory& data,
                      const std::vector<IdentificationEntry>& chosen, const RenameCaution& caution,
                      std::vector<RenameRequest>& requests) {
    if (caution.minDigits <= kShortestPrefix && !caution.skipAmbiguous) {
        for (const IdentificationEntry& entry : chosen)
            requests.push_back({entry.path, entry.type, entry.signature});
        return true;
    }
    const ExplainedListing explained = explainIdentifications(data, chosen);
    if (!explained.error.empty()) {
        reportStoreError(context, explained.error);
        return false;
    }
    RenameSelection selection = selectForRename(chosen, explained.details, caution);
    for (const Refusal& doubt : selection.leftAlone)
        context.err << "vexorin-cli: " << message("'%1' left alone: %2", {doubt.subject, doubt.reason})
                    << "\n";
    requests = std::move(selection.requests);
    return true;
}

void addRename(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command =
        app.add_subcommand("rename", helpText("Rename these identified files to their probable type"));
    auto arguments = std::make_shared<PathArguments>();
    auto settings = std::make_shared<RenameSettings>();
    CLI::Option* paths = addPathArguments(command, *arguments, PathOptions::Plain,
                                          helpText("Paths as the identification list shows them"), false);
    CLI::Option* allOption =
        command->add_flag("--all", settings->all, helpText("Rename every file of the identification list"));
    paths->excludes(allOption);
    addMinDigits(command, settings->caution.minDigits,
                 helpText("Leave a match of fewer hex digits than this alone, as unknown (4 to 20; 4: every "
                          "match counts)"));
    command->add_flag(
        "--skip-ambiguous", settings->caution.skipAmbiguous,
        helpText("Leave weak (under 8 digits) and ambiguous answers alone; name them on standard error"));
    command->add_flag("--dry-run", settings->dryRun,
                      helpText("Print what would be renamed (OLD NEW); change nothing"));
    auto undo = std::make_shared<bool>(false);
    CLI::Option* undoOption = command->add_flag(
        "--undo", *undo,
        helpText("Take back the last rename run: each file still unchanged goes back to its old name"));
    undoOption->excludes(paths)->excludes(allOption);
    command->callback([paths, allOption, undoOption] {
        if (paths->count() == 0 && allOption->count() == 0 && undoOption->count() == 0)
            throw CLI::RequiredError("PATH, --all or --undo");
    });
    commands.add(command, [&context, arguments, settings, undo]() -> int {
        if (*undo) return undoRename(context);
        const GatheredPaths gathered = gatherPaths(*arguments, context.in, context.err);
        const DataDirectory data = dataDirectoryOf(context);
        bool allListed = true, chosen = false, choiceFailed = false;
        std::size_t requested = 0;
        // Chosen from the list the rename itself loads under the lock, so it never acts on an older reading.
        const RenameChooser choose =
            [&](const IdentificationList& list) -> std::optional<std::vector<RenameRequest>> {
            chosen = true;
            const std::vector<IdentificationEntry> entries =
                chooseListed(context, list, gathered.paths, settings->all, allListed);
            std::vector<RenameRequest> requests;
            if (!cautiousRequests(context, data, entries, settings->caution, requests)) {
                choiceFailed = true;
                return std::nullopt;
            }
            requested = requests.size();
            return requests;
        };
        // Ctrl-C or SIGTERM: the file at hand is finished and what is done is saved.
        StopSignals signals;
        const RenameOutcome outcome =
            settings->dryRun ? previewChosen(data, choose)
                             : renameChosen(data, choose, [&signals] { return signals.received() != 0; });
        if (choiceFailed) return kExitStoreError;
        // The list could not be read: nothing was chosen, so there is nothing to show.
        if (!chosen && !outcome.error.empty()) return reportStoreError(context, outcome.error);
        {
            RowWriter writer = rowWriter(context, {"old", "new"});
            for (const auto& [oldPath, newPath] : outcome.renamed) writer.add({oldPath, newPath});
        }
        for (const Refusal& failure : outcome.refused)
            context.err << "vexorin-cli: "
                        << message("'%1' not renamed: %2", {failure.subject, failure.reason}) << "\n";
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        summarise(
            context, requested,
            message(settings->dryRun ? "%1 files would be renamed (nothing changed)" : "%1 files renamed",
                    {std::to_string(outcome.renamed.size())}));
        if (outcome.interrupted) return signals.exitCode();
        const int code = outcome.refused.empty() && allListed ? kExitDone : kExitRenameFailed;
        return withPathProblems(code, gathered.someUnreadable);
    });
}

}  // namespace

void addListCommands(CLI::App& app, Context& context, CommandSet& commands) {
    addSample(app, context, commands);
    addListFileCommands<ExperimentEntry>(app, context, commands, "experiments", "experiment library",
                                         kExperimentKeys, &visitExperiments, &deleteExperiments,
                                         &clearExperiments, &printExperiments);
    addIdentify(app, context, commands);
    addListFileCommands<IdentificationEntry>(
        app, context, commands, "results", "identification list", kIdentificationKeys, &visitIdentifications,
        &deleteIdentifications, &clearIdentifications, &printIdentifications);
    addRename(app, context, commands);
}

}  // namespace vex::cli
