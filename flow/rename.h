#pragma once
// Renaming identified files to their probable type.

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
};

// Renames each file to the path without its extension, a full stop and its
// type. Files of type "未知类型" are left alone. A rename never replaces an
// existing file; the entry moves to the new name only when the rename
// succeeded, and every failure is in `refused` with its reason. The list file
// is written once; when it cannot be, the files are put back.
RenameOutcome renameFiles(const DataDirectory& data, const std::vector<RenameRequest>& requests,
                          std::vector<IdentificationEntry>* listAfter = nullptr);

}  // namespace vex
