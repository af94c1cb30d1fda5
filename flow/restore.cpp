#include "flow/restore.h"

#include "library/store.h"
#include "library/store_lock.h"

namespace vex {
namespace {

StoreGenerations generationsOf(const DataDirectory& data, StoreKind store) {
    switch (store) {
        case StoreKind::Experiments:
            return {data.experimentListPath(), StoreFormat::ListFile};
        case StoreKind::Results:
            return {data.identificationListPath(), StoreFormat::ListFile};
        case StoreKind::Library:
            break;
    }
    return {data.libraryPath(), StoreFormat::Database};
}

}  // namespace

std::vector<StoreGeneration> listGenerations(const DataDirectory& data, StoreKind store) {
    return generationsOf(data, store).list();
}

RestoreOutcome restoreStore(const DataDirectory& data, StoreKind store, const std::string& generation) {
    RestoreOutcome outcome;
    // A restore replaces a store, so it waits for any other run's change to end, as every change does.
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return outcome;
    // The library is restored into its file, which must exist, as at start-up.
    if (store == StoreKind::Library) {
        const EnsureStoreResult written = ensureStoreExists(data.libraryPath());
        if (written.outcome == StoreCreation::Failed) {
            outcome.error =
                "cannot write the confirmed library '" + data.libraryPath() + "'. Reason: " + written.error;
            return outcome;
        }
    }
    outcome.error = generationsOf(data, store).restore(generation, &outcome.restored);
    return outcome;
}

}  // namespace vex
