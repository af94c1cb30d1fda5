#include "flow/drop.h"

#include <algorithm>
#include <future>
#include <optional>
#include <type_traits>
#include <unordered_set>

#include "flow/answers.h"
#include "flow/lists.h"
#include "ident/read_ahead.h"
#include "ident/signature.h"
#include "library/rename_journal.h"
#include "library/signature_store.h"
#include "library/store.h"
#include "library/store_lock.h"

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

// A drop refused as a whole (the lock could not be had): nothing recorded, and
// the list as it stands.
template <class Entry>
DropOutcome& refuseWhole(const DataDirectory& data, DropOutcome& outcome, std::vector<Entry>* listAfter) {
    outcome.files.clear();
    if (!listAfter) return outcome;
    if constexpr (std::is_same_v<Entry, ExperimentEntry>)
        *listAfter = listExperiments(data).entries;
    else
        *listAfter = listIdentifications(data).entries;
    return outcome;
}

// Loads the list to record `files` in it. Without a list to show afterwards, a
// long list is only scanned for their names, and new entries are appended.
template <class List, class ListedAs>
std::string loadToRecord(List& list, const std::vector<IdentifiedFile>& files, bool wholeListShown,
                         ListedAs listedAs) {
    if (wholeListShown) return list.load();
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const IdentifiedFile& file : files) names.push_back(listedAs(file));
    return list.loadToRecord(std::move(names));
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

namespace {

// What every part of one identification shares: the library read once, and
// where the rename journal stood when the drop began.
class Identification {
public:
    Identification(const DataDirectory& data, const IdentifyOptions& options)
        : data_(data),
          options_(options),
          journal_(renameJournalPath(data)),
          unsavedAtStart_(renameJournalSavedSize(journal_)) {}

    // The library, built at the first file, so a drop of folders only never opens it.
    // False with `error` when it cannot be read.
    bool openLibrary(std::string& error) {
        if (lookup_) return true;
        // As at start-up: a missing library is written out empty first.
        if (const EnsureStoreResult store = ensureStoreExists(data_.libraryPath());
            store.outcome == StoreCreation::Failed) {
            error = store.error;
            return false;
        }
        lookup_.emplace(data_.libraryPath());
        // A library that cannot be read would name every file "unknown", over
        // earlier right answers: refuse the drop instead, and record nothing.
        if (!lookup_->libraryReadable()) {
            error = lookup_->failure();
            return false;
        }
        addExperimentSamples(*lookup_, data_);
        return true;
    }

    void identify(ExaminedPath& examined, const std::string& path, DropOutcome& outcome) {
        if (examined.missing) missing_.insert(path);
        Answer answer = withMinimumDigits(lookup_->explain(examined.signature), options_.minDigits);
        outcome.files.push_back(
            {std::move(answer.type), std::move(examined.signature), path, std::move(answer.details)});
        outcome.lastHandedIn = path;
    }

    // Records the files of `outcome` in the list, under the data directory's lock.
    DropOutcome& record(DropOutcome& outcome, std::vector<IdentificationEntry>* listAfter) {
        // Identifying takes long and changes nothing; only the change of the list,
        // read again now, holds the data directory's lock.
        std::optional<DataLock> lock = DataLock::acquire(data_, outcome.error);
        if (!lock) return refuseWhole(data_, outcome, listAfter);
        // Renames journaled since the last one saved before this drop began may have
        // moved files after they were read. A file renamed before its reading began
        // was journaled earlier still: for a path found missing the whole journal is
        // asked, so no entry comes back under a name that is gone.
        std::unordered_set<std::string> renamedMeanwhile;
        for (JournalRecord& rename : renamesSince(journal_, unsavedAtStart_))
            renamedMeanwhile.insert(std::move(rename.oldPath));
        if (!missing_.empty())
            for (JournalRecord& rename : renamesSince(journal_, 0))
                if (missing_.count(rename.oldPath)) renamedMeanwhile.insert(std::move(rename.oldPath));
        missing_.clear();
        IdentificationList list(data_.identificationListPath());
        outcome.error = loadToRecord(list, outcome.files, listAfter != nullptr,
                                     [](const IdentifiedFile& file) { return file.path; });
        const bool loaded = outcome.error.empty();
        list.reserve(outcome.files.size());
        for (const IdentifiedFile& file : outcome.files)
            if (renamedMeanwhile.count(file.path))
                outcome.refused.push_back({file.path, "it was renamed while it was identified"});
            else if (std::string reason = list.record(file.signature, file.path, file.type); !reason.empty())
                outcome.refused.push_back({file.path, std::move(reason)});
        finish(list, loaded, outcome, listAfter);
        return outcome;
    }

private:
    const DataDirectory& data_;
    const IdentifyOptions& options_;
    const std::string journal_;
    const std::uint64_t unsavedAtStart_;  // where the renames not yet saved when the drop began start
    std::optional<LookupSession> lookup_;
    // Paths gone when they were read: renamed, perhaps, before the journal was looked at.
    std::unordered_set<std::string> missing_;
};

}  // namespace

DropOutcome identifyPaths(const DataDirectory& data, const std::vector<std::string>& paths,
                          const Progress& progress, std::vector<IdentificationEntry>* listAfter,
                          const IdentifyOptions& options) {
    // A rename while this drop is identified moves files it has seen; they must
    // not come back into the list under the names they no longer have.
    Identification identification(data, options);
    const bool inParts = options.takePart && !listAfter;
    const std::size_t partSize = inParts ? std::max<std::size_t>(1, options.part) : paths.size();
    DropOutcome outcome;
    outcome.files.reserve(std::min(partSize, paths.size()));
    // Hands a part over to the caller: recorded first unless this is a dry run.
    auto endPart = [&]() -> bool {
        if (!options.dryRun) identification.record(outcome, listAfter);
        if (!inParts) return true;
        const bool stop = !outcome.error.empty();
        options.takePart(outcome);
        std::string error = std::move(outcome.error);
        outcome = DropOutcome{};
        outcome.error = std::move(error);
        return !stop;
    };
    {
        ReadAhead reads(paths);  // a part is recorded while the next one is read
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (ExaminedPath examined = reads.take(i);
                !examined.isDirectory &&
                !(examined.signature == kTooShortText && options.leaveOut && options.leaveOut(paths[i]))) {
                if (!identification.openLibrary(outcome.error)) {
                    outcome.files.clear();
                    if (listAfter) *listAfter = listIdentifications(data).entries;
                    return outcome;
                }
                identification.identify(examined, paths[i], outcome);
                if (outcome.files.size() >= partSize && i + 1 < paths.size() && !endPart()) return outcome;
            }
            if (progress) progress(i + 1, paths.size());
        }
    }
    if (!inParts && options.dryRun) return outcome;  // a dry run only tells what the list would be given
    if (inParts && outcome.files.empty()) return outcome;
    endPart();
    return outcome;
}

DropOutcome samplePaths(const DataDirectory& data, const std::vector<std::string>& paths,
                        const Progress& progress, std::vector<ExperimentEntry>* listAfter) {
    DropOutcome outcome;
    outcome.files.reserve(paths.size());
    {
        ReadAhead reads(paths);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (ExaminedPath examined = reads.take(i); !examined.isDirectory) {
                std::string trimmed = paths[i];
                std::string fileClass = FileClassOf(trimmed);
                outcome.files.push_back({std::move(fileClass), std::move(examined.signature), paths[i]});
                outcome.lastHandedIn = paths[i];
            }
            if (progress) progress(i + 1, paths.size());
        }
    }
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return refuseWhole(data, outcome, listAfter);
    ExperimentList list(data.experimentListPath());
    outcome.error = loadToRecord(list, outcome.files, listAfter != nullptr, [](const IdentifiedFile& file) {
        std::string trimmed = file.path;
        FileClassOf(trimmed);
        return trimmed;
    });
    const bool loaded = outcome.error.empty();
    list.reserve(outcome.files.size());
    for (IdentifiedFile& file : outcome.files) {
        // Recorded under the trimmed path, which the row then shows.
        if (std::string reason = list.record(file.signature, file.path); !reason.empty())
            outcome.refused.push_back({file.path, std::move(reason)});
    }
    finish(list, loaded, outcome, listAfter);
    return outcome;
}

Outcome storeExperiment(const DataDirectory& data, const std::string& path, const std::string& signature,
                        std::vector<ExperimentEntry>* listAfter) {
    Outcome outcome;
    if (path.empty()) return outcome;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) {
        if (listAfter) *listAfter = listExperiments(data).entries;
        return outcome;
    }
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
