#pragma once
// Listing, deleting from and clearing the three stores. Each change is read,
// made and written by one operation; `listAfter`, when given, receives the
// store as it now is, so a view can show it without reading it again.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "library/ini_lists.h"
#include "library/signature_store.h"

namespace vex {

template <class Entry>
struct Listing {
    std::string error;  // the store could not be read; `entries` then holds nothing
    std::vector<Entry> entries;
};

// The step at which the confirmed library could not be used, with the store's
// own reason, for a front end that words the failure itself.
struct LibraryFailure {
    enum class Step { Write, Open, Read };
    Step step = Step::Read;
    std::string reason;
};

// The reason a library that could not be written, opened or read is shown
// with, in the words the window and the command line have always used for it.
std::string describeLibraryFailure(const DataDirectory& data, const LibraryFailure& failure);

Listing<ExperimentEntry> listExperiments(const DataDirectory& data);
Listing<IdentificationEntry> listIdentifications(const DataDirectory& data);
// The same entries one at a time, for a long list printed as it is read: "" or
// why the list cannot be read (then nothing was visited).
std::string visitExperiments(const DataDirectory& data,
                             const std::function<void(const ExperimentEntry&)>& visit);
std::string visitIdentifications(const DataDirectory& data,
                                 const std::function<void(const IdentificationEntry&)>& visit);
// Writes the empty library first when it is missing, as start-up does.
// `failure`, when given, receives the step and reason behind `error`.
Listing<StoredSignature> listConfirmed(const DataDirectory& data, LibraryFailure* failure = nullptr,
                                       std::optional<std::size_t> limit = std::nullopt);

// Deletes the entries of these paths. When none of them is listed the file is not rewritten.
Outcome deleteExperiments(const DataDirectory& data, const std::vector<std::string>& paths,
                          std::vector<ExperimentEntry>* listAfter = nullptr);
Outcome deleteIdentifications(const DataDirectory& data, const std::vector<std::string>& paths,
                              std::vector<IdentificationEntry>* listAfter = nullptr);
// Deletes the records of these signature values (an empty one: those that hold
// none), all or, when the store refuses, none.
Outcome deleteConfirmed(const DataDirectory& data, const std::vector<std::string>& signatures,
                        std::vector<StoredSignature>* listAfter = nullptr);

Outcome clearExperiments(const DataDirectory& data);
Outcome clearIdentifications(const DataDirectory& data);
Outcome clearConfirmed(const DataDirectory& data);

// The library, written out empty first when missing; nothing (and `error`
// set to the reason the user sees) when it cannot be written or opened.
std::optional<SignatureStore> openConfirmedLibrary(const DataDirectory& data, std::string& error);
// The same, proven readable by reading its first record, as listConfirmed would
// read them; nothing, with the step and the store's reason in `failure`, when not.
std::optional<SignatureStore> openReadableLibrary(const DataDirectory& data, LibraryFailure& failure);

}  // namespace vex
