#include "flow/drop.h"

#include <future>
#include <optional>

#include "ident/read_ahead.h"
#include "ident/signature.h"
#include "library/signature_store.h"

namespace vex {
namespace {

constexpr std::string_view kPathSeparator = "\r\n";

// Saves what the operation recorded and fills `listAfter` with the list as the
// file now holds it: from memory when the save succeeded, else read again, so
// a list never shows what did not reach the disk.
template <class List, class Entry>
void finish(List& list, bool loaded, Outcome& outcome, std::vector<Entry>* listAfter) {
    if (loaded && list.modified()) {
        // Writing the file (and waiting for the disk) and building the entries only
        // read the list, so they run side by side. Without a spare thread the save runs first.
        std::future<std::string> saved =
            std::async(std::launch::async | std::launch::deferred, [&list] { return list.save(); });
        std::vector<Entry> entries;
        if (listAfter) entries = list.entries();
        outcome.error = saved.get();
        if (outcome.error.empty()) {
            if (listAfter) *listAfter = std::move(entries);
            return;
        }
    }
    if (!listAfter) return;
    List again(list.file());
    again.load();
    *listAfter = again.entries();
}

}  // namespace

std::vector<std::string> splitDroppedPaths(std::string_view droppedText) {
    std::vector<std::string> paths;
    while (!droppedText.empty()) {
        const std::size_t end = droppedText.find(kPathSeparator);
        const std::string_view part = droppedText.substr(0, end);
        if (!part.empty()) paths.emplace_back(part);
        if (end == std::string_view::npos) break;
        droppedText.remove_prefix(end + kPathSeparator.size());
    }
    return paths;
}

DropOutcome identifyPaths(const DataDirectory& data, const std::vector<std::string>& paths,
                          const Progress& progress, std::vector<IdentificationEntry>* listAfter,
                          const IdentifyOptions& options) {
    DropOutcome outcome;
    IdentificationList list(data.identificationListPath());
    if (!options.dryRun) outcome.error = list.load();
    const bool loaded = outcome.error.empty();
    // One reading of the library serves the whole drop; it is built at the first
    // file, so a drop of folders only never opens the library.
    std::optional<LookupSession> lookup;
    outcome.files.reserve(paths.size());
    list.reserve(paths.size());
    ReadAhead reads(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (ExaminedPath examined = reads.take(i); !examined.isDirectory) {
            std::string signature = std::move(examined.signature);
            if (!lookup) lookup.emplace(data.libraryPath());
            std::string type = lookup->lookup(signature);
            if (options.dryRun) {
                // A dry run only tells what the list would be given.
            } else if (std::string reason = list.record(signature, path, type); !reason.empty()) {
                outcome.refused.push_back({path, std::move(reason)});
            }
            outcome.files.push_back({std::move(type), std::move(signature), path});
            outcome.lastHandedIn = path;
        }
        if (progress) progress(i + 1, paths.size());
    }
    if (!options.dryRun) finish(list, loaded, outcome, listAfter);
    return outcome;
}

DropOutcome samplePaths(const DataDirectory& data, const std::vector<std::string>& paths,
                        const Progress& progress, std::vector<ExperimentEntry>* listAfter) {
    DropOutcome outcome;
    ExperimentList list(data.experimentListPath());
    outcome.error = list.load();
    const bool loaded = outcome.error.empty();
    list.reserve(paths.size());
    ReadAhead reads(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& handedIn = paths[i];
        if (ExaminedPath examined = reads.take(i); !examined.isDirectory) {
            std::string path = handedIn;
            std::string signature = std::move(examined.signature);
            std::string trimmed = path;
            std::string fileClass = FileClassOf(trimmed);
            if (std::string reason = list.record(signature, path); !reason.empty())
                outcome.refused.push_back({path, std::move(reason)});
            outcome.files.push_back({std::move(fileClass), std::move(signature), path});
            outcome.lastHandedIn = handedIn;
        }
        if (progress) progress(i + 1, paths.size());
    }
    finish(list, loaded, outcome, listAfter);
    return outcome;
}

Outcome storeExperiment(const DataDirectory& data, const std::string& path, const std::string& signature,
                        std::vector<ExperimentEntry>* listAfter) {
    Outcome outcome;
    if (path.empty()) return outcome;
    ExperimentList list(data.experimentListPath());
    outcome.error = list.load();
    const bool loaded = outcome.error.empty();
    if (loaded) {
        std::string recorded = path;
        outcome.error = list.record(signature, recorded);
    }
    finish(list, loaded && outcome.error.empty(), outcome, listAfter);
    return outcome;
}

}  // namespace vex
