#include "flow/rename.h"

#include "flow/lists.h"
#include "ident/prefix_index.h"
#include "runtime/files.h"
#include "runtime/translation.h"

namespace vex {

RenameOutcome renameFiles(const DataDirectory& data, const std::vector<RenameRequest>& requests,
                          std::vector<IdentificationEntry>* listAfter) {
    RenameOutcome outcome;
    IdentificationList list(data.identificationListPath());
    if (std::string error = list.load(); !error.empty()) {
        outcome.error = std::move(error);
        if (listAfter) *listAfter = list.entries();
        return outcome;
    }
    for (const RenameRequest& request : requests) {
        const std::string& path = request.path;
        if (request.type == kUnknownFileType) continue;
        if (!isUsableExtension(request.type)) {
            outcome.refused.push_back({path, message("'%1' is no file type to rename to", {request.type})});
            continue;
        }
        std::string base = path;
        const std::string newPath = PathWithoutExtension(base) + "." + request.type;
        if (newPath == path) continue;  // already named after its type
        if (std::string reason = checkListPath(newPath); !reason.empty()) {
            outcome.refused.push_back({path, reason});
            continue;
        }
        std::string reason;
        if (!renameFile(path, newPath, &reason)) {
            outcome.refused.push_back(
                {path, reason.empty() ? message("the file could not be renamed") : reason});
            continue;
        }
        list.move(path, newPath, request.signature, request.type);
        outcome.renamed.emplace_back(path, newPath);
    }
    if (std::string error = list.save(); !error.empty()) {
        // The list file still names the old paths: put the files back so both agree.
        for (const auto& [oldPath, newPath] : outcome.renamed) {
            std::string reason;
            if (!renameFile(newPath, oldPath, &reason))
                outcome.refused.push_back({newPath, message("renamed, but not recorded: %1", {reason})});
        }
        outcome.renamed.clear();
        outcome.error = std::move(error);
        if (listAfter) *listAfter = listIdentifications(data).entries;
        return outcome;
    }
    if (listAfter) *listAfter = list.entries();
    return outcome;
}

}  // namespace vex
