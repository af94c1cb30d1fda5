// confirm, library, library delete, library clear: the confirmed library's operations.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <set>

#include "cli/cli.h"
#include "cli/help_text.h"
#include "flow/confirm.h"
#include "flow/conflicts.h"
#include "flow/lists.h"
#include "ident/prefix_index.h"
#include "runtime/translation.h"

namespace vex::cli {
namespace {

const std::vector<std::string> kLibraryKeys = {"index", "type", "signature"};

void printLibrary(Context& context, const std::vector<StoredSignature>& records) {
    RowWriter writer = rowWriter(context, kLibraryKeys);
    std::size_t index = 0;
    for (const StoredSignature& record : records) writer.add({++index, record.type, record.signature});
}

int reportError(Context& context, const std::string& error) {
    context.err << "vexorin-cli: " << error << "\n";
    return kExitStoreError;
}

// Every library command reads the library first, so one that cannot be used
// stops it before anything changes. It is named in the lines this command has
// always printed, which scripts may match: the store's reason, then (unless
// the library could not even be written) which library could not be read.
// `limit`: a command that does not need the records reads only so many, to prove the table readable.
void reportUnusableLibrary(Context& context, const DataDirectory& data, const LibraryFailure& failure) {
    reportError(context, describeLibraryFailure(data, failure));
    if (failure.step != LibraryFailure::Step::Write)
        reportError(context, message("cannot read the confirmed library '%1'", {data.libraryPath()}));
}

bool readLibrary(Context& context, const DataDirectory& data, Listing<StoredSignature>& listing,
                 std::optional<std::size_t> limit = std::nullopt) {
    LibraryFailure failure;
    listing = listConfirmed(data, &failure, limit);
    if (listing.error.empty()) return true;
    reportUnusableLibrary(context, data, failure);
    return false;
}

// Prints the library as it now is; a store that cannot be read is an error.
int printListing(Context& context, const DataDirectory& data) {
    Listing<StoredSignature> listing;
    if (!readLibrary(context, data, listing)) return kExitStoreError;
    printLibrary(context, listing.entries);
    return kExitDone;
}

int confirm(Context& context, const std::string& signature, const std::string& type) {
    const DataDirectory data = dataDirectoryOf(context);
    // The library is proven readable first, on the connection the confirm then uses.
    const ConfirmOutcome outcome = AddConfirmedSignature(data, signature, type, true);
    if (outcome.unreadable) {
        reportUnusableLibrary(context, data, *outcome.unreadable);
        return kExitStoreError;
    }
    switch (outcome.result) {
        case ConfirmOutcome::Result::Duplicate:
            // The message window's two lines, in the user's language.
            context.err << translated(text_context::kWindow, "特征值存在！") << "\n"
                        << translated(text_context::kWindow, "请重输入其他特征值！") << "\n";
            return kExitDuplicate;
        case ConfirmOutcome::Result::Refused:
            return reportError(context, outcome.reason);
        case ConfirmOutcome::Result::Invalid:
            context.err << "vexorin-cli: " << outcome.reason << "\n";
            return kExitUsage;
        case ConfirmOutcome::Result::Added:
            break;
    }
    RowWriter writer = rowWriter(context, kLibraryKeys);
    writer.add({outcome.index > 0 ? Cell(outcome.index) : Cell(), std::string(type), outcome.signature});
    // Stored all the same: the warnings are advice, so the exit code stays 0.
    for (const std::string& warning : outcome.warnings)
        context.err << "vexorin-cli: "
                    << message("warning: %1", {outcome.signature + " (" + std::string(type) + ") " + warning})
                    << "\n";
    return kExitDone;
}

int deleteSignatures(Context& context, const std::vector<std::string>& signatures) {
    const DataDirectory data = dataDirectoryOf(context);
    Listing<StoredSignature> listing;
    if (!readLibrary(context, data, listing)) return kExitStoreError;
    // Only values the library lists are deleted, as the checked rows of its list would be.
    const std::set<std::string> wanted(signatures.begin(), signatures.end());
    std::set<std::string> listed;
    std::vector<Row> deleted;
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
        const StoredSignature& record = listing.entries[i];
        if (!wanted.count(record.signature)) continue;
        listed.insert(record.signature);
        deleted.push_back({i + 1, record.type, record.signature});
    }
    for (const std::string& signature : wanted)
        if (!listed.count(signature))
            context.err << "vexorin-cli: " << message("no record of '%1'", {signature}) << "\n";
    const Outcome outcome = deleteConfirmed(data, {listed.begin(), listed.end()});
    if (!outcome.error.empty()) return reportError(context, outcome.error);
    printRows(context, kLibraryKeys, deleted);
    return kExitDone;
}

// One row per conflict: the later record of each pair, and each record whose samples disagree.
int checkConfirmed(Context& context) {
    const DataDirectory data = dataDirectoryOf(context);
    Listing<StoredSignature> probe;
    if (!readLibrary(context, data, probe, 1)) return kExitStoreError;
    const LibraryCheckOutcome outcome = checkLibrary(data);
    if (!outcome.error.empty()) return reportError(context, outcome.error);
    RowWriter writer =
        rowWriter(context, {"record", "type", "signature", "digits", "alternatives", "conflict"});
    std::size_t found = 0;
    for (const LibraryConflict& conflict : outcome.conflicts) {
        const KeyedSignature& record = conflict.record;
        const ValueConflicts& details = conflict.conflicts;
        // Every pair is listed: no line is cut short here, unlike a warning.
        const std::vector<std::string> lines =
            describeConflicts(details, record.signature, record.type, details.records.size());
        for (std::size_t i = 0; i < details.records.size(); ++i)
            writer.add({record.key, record.type, record.signature, details.records[i].digits,
                        std::vector<std::string>{details.records[i].record.type}, lines[i]});
        if (!details.samples.empty()) {
            std::vector<std::string> classes;
            for (const SampleClass& sample : details.samples)
                classes.push_back(sample.fileClass + " ×" + std::to_string(sample.count));
            writer.add({record.key, record.type, record.signature, details.sampleDigits, std::move(classes),
                        lines.back()});
        }
        found += details.records.size() + (details.samples.empty() ? 0 : 1);
    }
    writer.finish();
    if (!context.quiet)
        context.err << "vexorin-cli: "
                    << message("%1 conflicts among %2 records",
                               {std::to_string(found), std::to_string(outcome.records)})
                    << "\n";
    return found == 0 ? kExitDone : kExitConflicts;
}

}  // namespace

void addLibraryCommands(CLI::App& app, Context& context, CommandSet& commands) {
    auto* confirmCommand = app.add_subcommand(
        "confirm", helpText("Store a signature value with its file type in the confirmed library"));
    auto confirmArgs = std::make_shared<std::pair<std::string, std::string>>();
    confirmCommand->add_option("SIGNATURE", confirmArgs->first, helpText("Signature value"))->required();
    confirmCommand->add_option("TYPE", confirmArgs->second, helpText("File type"))->required();
    commands.add(confirmCommand, [&context, confirmArgs] {
        return confirm(context, confirmArgs->first, confirmArgs->second);
    });

    auto* library = app.add_subcommand("library", helpText("List the confirmed library"));
    commands.add(library, [&context] { return printListing(context, dataDirectoryOf(context)); });

    auto* remove =
        library->add_subcommand("delete", helpText("Delete the entries with these signature values"));
    auto signatures = std::make_shared<std::vector<std::string>>();
    remove->add_option("SIGNATURE", *signatures, helpText("Signature values to delete"))->required();
    commands.add(remove, [&context, signatures] { return deleteSignatures(context, *signatures); });

    auto* check = library->add_subcommand(
        "check",
        helpText("List the records whose values share a beginning with records or samples of other types"));
    commands.add(check, [&context] { return checkConfirmed(context); });

    auto* clear = library->add_subcommand("clear", helpText("Delete every entry of the confirmed library"));
    commands.add(clear, [&context] {
        const DataDirectory data = dataDirectoryOf(context);
        Listing<StoredSignature> listing;
        if (!readLibrary(context, data, listing, 1)) return static_cast<int>(kExitStoreError);
        const Outcome outcome = clearConfirmed(data);
        return outcome.error.empty() ? static_cast<int>(kExitDone) : reportError(context, outcome.error);
    });
}

}  // namespace vex::cli
