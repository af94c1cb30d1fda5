#pragma once
// Renaming identified files to their probable type.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "library/ini_lists.h"

namespace vex {

struct RenameRequest {
    std::string path;
    std::string type;
    std::string signature;
};

struct RenameOutcome : Outcome {
    std::vector<std::pair<std::string, std::string>> renamed;  // old path, new path
    // Stopped on request before every file was taken; what was renamed is saved.
    bool interrupted = false;
};

inline constexpr std::string_view kChangedSinceIdentification = "changed since identification";

// Renames each file to the path without its extension, a full stop and its
// type. Files of type "未知类型" are left alone. Only what was identified is
// renamed: the file must still be listed, and its first bytes, read again
// through its folder opened once (a final symbolic link is not followed),
// must still give the listed signature value, else it is refused as
// "changed since identification". The rename happens in that same folder and
// never replaces an existing file; the entry moves to the new name only when
// the rename succeeded, and every failure is in `refused` with its reason.
//
// Every rename is written to the rename journal before it happens, and the
// list is saved in batches, each under the data directory's lock: a kill
// loses no rename (the next run reconciles), and other runs may work between
// batches. `stopRequested` is asked after each file; when it answers true the
// batch is saved and the rest left alone. When a batch's list cannot be
// saved, that batch's files are put back.
RenameOutcome renameFiles(const DataDirectory& data, const std::vector<RenameRequest>& requests,
                          std::vector<IdentificationEntry>* listAfter = nullptr,
                          const std::function<bool()>& stopRequested = {});

// Chooses what to rename from the identification list as the rename loads it,
// under the data directory's lock: the files renamed are those the list holds
// at that moment, and the list is read once. Nothing: the run stops before any
// file is touched (the chooser tells why itself).
using RenameChooser =
    std::function<std::optional<std::vector<RenameRequest>>(const IdentificationList& list)>;

// renameFiles of the requests `choose` picks.
RenameOutcome renameChosen(const DataDirectory& data, const RenameChooser& choose,
                           const std::function<bool()>& stopRequested = {});

struct UndoRenameOutcome : RenameOutcome {
    // How many renames of the run still stood and were tried; 0: nothing to take back.
    std::size_t tried = 0;
};

// Takes back the last rename run that still stands in the rename journal:
// each file still under its new name whose first bytes still give the
// journaled signature value goes back to its old name, in the same folder and
// never replacing a file; its entry follows. `renamed` holds (new path, old
// path) pairs, `refused` each file left with its reason. The undo is
// journaled: what it took back no longer stands, so the next undo takes back
// the run before; a file it could not take back stands, so the next undo tries
// it again.
UndoRenameOutcome undoLastRename(const DataDirectory& data,
                                 std::vector<IdentificationEntry>* listAfter = nullptr);

// What renameChosen would do now, with the same checks, changing nothing: the
// renames it would make in `renamed` and the refusals it can foresee (a name
// already taken, also by an earlier file of the same run) in `refused`.
RenameOutcome previewChosen(const DataDirectory& data, const RenameChooser& choose);

}  // namespace vex
