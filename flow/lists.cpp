#include "flow/lists.h"

#include "library/store.h"
#include "library/store_generations.h"
#include "library/store_lock.h"
#include "runtime/translation.h"

namespace vex {
namespace {

template <class List, class Entry>
Listing<Entry> listFile(const std::string& file) {
    List list(file);
    Listing<Entry> listing;
    listing.error = list.load();
    listing.entries = list.entries();
    return listing;
}

template <class List, class Entry>
Outcome deleteFromFile(const DataDirectory& data, const std::string& file,
                       const std::vector<std::string>& paths, std::vector<Entry>* listAfter) {
    Outcome outcome;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    List list(file);
    if (lock) outcome.error = list.load();
    if (outcome.error.empty()) {
        for (const std::string& path : paths) list.remove(path);
        // The list as it was is kept first, so the deletion can be taken back.
        if (list.modified()) outcome.error = StoreGenerations(file, StoreFormat::ListFile).keep();
        if (outcome.error.empty()) outcome.error = list.save();
    }
    if (listAfter && outcome.error.empty()) *listAfter = list.entries();
    if (listAfter && !outcome.error.empty()) *listAfter = listFile<List, Entry>(file).entries;
    return outcome;
}

std::string deletionRefusal(const std::string& reason) {
    return message("Cannot delete from the confirmed library. Reason: %1", {reason});
}

// The library, written out empty first when missing; on failure the step and the store's reason.
std::optional<SignatureStore> openLibrary(const DataDirectory& data, LibraryFailure& failure) {
    if (const EnsureStoreResult written = ensureStoreExists(data.libraryPath());
        written.outcome == StoreCreation::Failed) {
        failure = {LibraryFailure::Step::Write, written.error};
        return std::nullopt;
    }
    std::optional<SignatureStore> store = SignatureStore::open(data.libraryPath(), &failure.reason);
    if (!store) {
        failure.step = LibraryFailure::Step::Open;
        return store;
    }
    // A store made elsewhere must hold the library's table, not a view or a table of other columns.
    if (std::string reason = store->checkTable(); !reason.empty()) {
        failure = {LibraryFailure::Step::Read, std::move(reason)};
        return std::nullopt;
    }
    return store;
}

std::string describe(const DataDirectory& data, const LibraryFailure& failure) {
    return failure.step == LibraryFailure::Step::Write
               ? message("cannot write the confirmed library '%1'. Reason: %2",
                         {data.libraryPath(), failure.reason})
               : message("cannot read the confirmed library '%1'. Reason: %2",
                         {data.libraryPath(), failure.reason});
}

}  // namespace

std::string describeLibraryFailure(const DataDirectory& data, const LibraryFailure& failure) {
    switch (failure.step) {
        case LibraryFailure::Step::Write:
            return message("cannot write the confirmed library '%1'. Reason: %2",
                           {data.libraryPath(), failure.reason});
        case LibraryFailure::Step::Open:
            return message(
                "The database connection is not open. Reason: Cannot open the database '%1'. Reason: %2",
                {data.libraryPath(), failure.reason});
        case LibraryFailure::Step::Read:
            break;
    }
    return failure.reason;
}

std::optional<SignatureStore> openConfirmedLibrary(const DataDirectory& data, std::string& error) {
    LibraryFailure failure;
    std::optional<SignatureStore> store = openLibrary(data, failure);
    if (!store) error = describe(data, failure);
    return store;
}

std::optional<SignatureStore> openReadableLibrary(const DataDirectory& data, LibraryFailure& failure) {
    std::optional<SignatureStore> store = openLibrary(data, failure);
    std::vector<StoredSignature> first;
    if (store && !store->list(first, &failure.reason, 1)) return std::nullopt;
    return store;
}

Listing<ExperimentEntry> listExperiments(const DataDirectory& data) {
    return listFile<ExperimentList, ExperimentEntry>(data.experimentListPath());
}

Listing<IdentificationEntry> listIdentifications(const DataDirectory& data) {
    // A rename that was killed leaves the list behind the disk; bring it in line before showing it.
    if (std::string error = reconcileIfInterrupted(data); !error.empty()) return {error, {}};
    return listFile<IdentificationList, IdentificationEntry>(data.identificationListPath());
}

std::string visitExperiments(const DataDirectory& data,
                             const std::function<void(const ExperimentEntry&)>& visit) {
    ExperimentList list(data.experimentListPath());
    if (std::string error = list.load(); !error.empty()) return error;
    list.forEachEntry(visit);
    return {};
}

std::string visitIdentifications(const DataDirectory& data,
                                 const std::function<void(const IdentificationEntry&)>& visit) {
    if (std::string error = reconcileIfInterrupted(data); !error.empty()) return error;
    IdentificationList list(data.identificationListPath());
    if (std::string error = list.load(); !error.empty()) return error;
    list.forEachEntry(visit);
    return {};
}

Listing<StoredSignature> listConfirmed(const DataDirectory& data, LibraryFailure* failure,
                                       std::optional<std::size_t> limit) {
    Listing<StoredSignature> listing;
    LibraryFailure why;
    std::optional<SignatureStore> store = openLibrary(data, why);
    if (store && store->list(listing.entries, &why.reason, limit)) return listing;
    listing.entries.clear();
    listing.error = describe(data, why);
    if (failure) *failure = std::move(why);
    return listing;
}

Outcome deleteExperiments(const DataDirectory& data, const std::vector<std::string>& paths,
                          std::vector<ExperimentEntry>* listAfter) {
    return deleteFromFile<ExperimentList>(data, data.experimentListPath(), paths, listAfter);
}

Outcome deleteIdentifications(const DataDirectory& data, const std::vector<std::string>& paths,
                              std::vector<IdentificationEntry>* listAfter) {
    return deleteFromFile<IdentificationList>(data, data.identificationListPath(), paths, listAfter);
}

Outcome deleteConfirmed(const DataDirectory& data, const std::vector<std::string>& signatures,
                        std::vector<StoredSignature>* listAfter) {
    Outcome outcome;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) {
        if (listAfter) *listAfter = listConfirmed(data).entries;
        return outcome;
    }
    std::optional<SignatureStore> store = openConfirmedLibrary(data, outcome.error);
    if (!store) return outcome;
    if (!signatures.empty()) {
        outcome.error = StoreGenerations(data.libraryPath(), StoreFormat::Database).keep();
        std::string reason;
        if (outcome.error.empty() && !store->remove(signatures, &reason))
            outcome.error = deletionRefusal(reason);
    }
    if (listAfter) store->list(*listAfter);
    return outcome;
}

namespace {

// Keeps the list as it is, then empties it, under the data directory's lock; the clear can be taken back.
Outcome clearFile(const DataDirectory& data, const std::string& file) {
    Outcome outcome;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return outcome;
    outcome.error = StoreGenerations(file, StoreFormat::ListFile).keep();
    if (outcome.error.empty()) outcome.error = ListFile(file).clear();
    return outcome;
}

}  // namespace

Outcome clearExperiments(const DataDirectory& data) { return clearFile(data, data.experimentListPath()); }

Outcome clearIdentifications(const DataDirectory& data) {
    return clearFile(data, data.identificationListPath());
}

Outcome clearConfirmed(const DataDirectory& data) {
    Outcome outcome;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return outcome;
    std::optional<SignatureStore> store = openConfirmedLibrary(data, outcome.error);
    std::string reason;
    if (store) outcome.error = StoreGenerations(data.libraryPath(), StoreFormat::Database).keep();
    if (store && outcome.error.empty() && !store->clear(&reason)) outcome.error = deletionRefusal(reason);
    return outcome;
}

}  // namespace vex
