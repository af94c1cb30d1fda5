#include "flow/confirm.h"

#include "flow/confirm_rules.h"
#include "flow/conflicts.h"
#include "flow/lists.h"
#include "library/store_lock.h"
#include "runtime/translation.h"

namespace vex {

ConfirmOutcome AddConfirmedSignature(const DataDirectory& data, std::string_view signature,
                                     std::string_view type, bool readableFirst) {
    ConfirmOutcome outcome;
    std::optional<SignatureStore> store;
    if (readableFirst) {
        LibraryFailure failure;
        store = openReadableLibrary(data, failure);
        if (!store) {
            outcome.reason = describeLibraryFailure(data, failure);
            outcome.unreadable = std::move(failure);
            return outcome;
        }
    }
    const ConfirmCheck check = checkConfirmedPair(signature, type);
    if (!check.accepted()) {
        outcome.result = ConfirmOutcome::Result::Invalid;
        outcome.reason = message("Cannot confirm the signature value '%1' as '%2'. Reason: %3",
                                 {signature, type, check.reason});
        return outcome;
    }
    outcome.signature = check.signature;
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.reason);
    if (!lock) return outcome;
    if (!store) store = openConfirmedLibrary(data, outcome.reason);
    if (!store) return outcome;
    // Asked before the add, so the new record is not among the records it is compared with.
    std::vector<std::string> warnings = conflictWarnings(data, *store, check.signature, type);
    std::string reason;
    switch (store->add(check.signature, type, &reason)) {
        case SignatureStore::AddResult::Added:
            outcome.result = ConfirmOutcome::Result::Added;
            // New records go last, so the new one's place is the count; another program adding at
            // the same moment can only make it a guess, which is why it is not part of the store.
            outcome.index = store->count().value_or(0);
            outcome.warnings = std::move(warnings);
            break;
        case SignatureStore::AddResult::Duplicate:
            outcome.result = ConfirmOutcome::Result::Duplicate;
            outcome.reason = std::string(kDuplicateSignatureMessage);
            break;
        case SignatureStore::AddResult::Refused:
            outcome.reason = message(
                "Cannot store the signature value '%1' in the confirmed library. Reason: %2",
                {check.signature, reason.empty() ? message("the database refused the write") : reason});
            break;
    }
    return outcome;
}

}  // namespace vex
