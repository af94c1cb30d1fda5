#pragma once
// Files handed in by the user, sampled into the experiment library or
// identified into the identification list. A drop is one change: every file
// of it is recorded in the list held in memory, which is written once at the
// end. Nothing is kept between drops, so a file edited by hand in between is
// seen by the next one.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "flow/outcome.h"
#include "ident/prefix_index.h"
#include "library/data_directory.h"
#include "library/ini_lists.h"

namespace vex {

struct IdentifiedFile {
    std::string type;  // the probable type; for a sampled file its file class
    std::string signature;
    std::string path;      // as recorded
    MatchDetails details;  // how the type was found; nothing for a sampled file
};

struct DropOutcome : Outcome {
    std::vector<IdentifiedFile> files;  // in drop order; folders left out
    // The last file taken, as it was handed in: the editor shows it.
    std::string lastHandedIn;
};

// The paths of a files-dropped text: split at every "\r\n"; text after the last
// one counts only when it is not empty. Empty parts name no file and are left out.
std::vector<std::string> splitDroppedPaths(std::string_view droppedText);

// Records every path that is not a folder in the experiment library (its
// signature value and file class). `listAfter`, when given, receives the
// list as the file now holds it.
DropOutcome samplePaths(const DataDirectory& data, const std::vector<std::string>& paths,
                        const Progress& progress = {}, std::vector<ExperimentEntry>* listAfter = nullptr);

struct IdentifyOptions {
    bool dryRun = false;              // identify only: the identification list is neither read nor written
    int minDigits = kShortestPrefix;  // a shorter match is recorded as "未知类型" (see withMinimumDigits)
    // When set (and no list is shown afterwards), a long drop is recorded in
    // parts of `part` files, each one change of the list, and each part's
    // outcome is handed here and then let go: memory stays that of one part,
    // and a drop stopped midway keeps what was recorded. The outcome returned
    // then holds no files, only the error that stopped the drop, if any.
    std::function<void(DropOutcome& part)> takePart;
    std::size_t part = 65536;
    // Asked of each file whose header could not be read: true leaves it out of
    // the drop (the caller says why), so a path that names nothing is not
    // recorded. Files that could be read are never asked about: they exist.
    std::function<bool(const std::string& path)> leaveOut;
};

// Identifies every path that is not a folder (signature value, longest-prefix
// lookup in the confirmed library) and records it in the identification list.
// Each answer's details come from the same look-up, with the experiment
// library's samples among the alternatives.
DropOutcome identifyPaths(const DataDirectory& data, const std::vector<std::string>& paths,
                          const Progress& progress = {},
                          std::vector<IdentificationEntry>* listAfter = nullptr,
                          const IdentifyOptions& options = {});

// Records one path with the signature value given (the editor's) in the
// experiment library; nothing when the path is empty.
Outcome storeExperiment(const DataDirectory& data, const std::string& path, const std::string& signature,
                        std::vector<ExperimentEntry>* listAfter = nullptr);

}  // namespace vex
