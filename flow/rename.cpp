#include "flow/rename.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <unordered_set>

#include "flow/lists.h"
#include "ident/prefix_index.h"
#include "ident/signature.h"
#include "library/rename_journal.h"
#include "library/store_lock.h"
#include "runtime/files.h"
#include "runtime/translation.h"

namespace vex {
namespace {

// A batch of renames is saved to the list in one write, which rewrites the
// whole list; the next batch then loads it again. A batch therefore runs for
// at least kBatchTime and kBatchFiles, and at least kListLoadsPerBatch times as
// long as loading the list took: renaming thousands of files beside a list of a
// million entries then reads and writes the list once, and a long run spends a
// bounded share of its time on the list. Past those it ends, so that other runs
// get their turn and a failed save puts back a bounded number.
constexpr std::chrono::milliseconds kBatchTime{1000};
constexpr std::size_t kBatchFiles = 1000;
constexpr int kListLoadsPerBatch = 4;

struct SplitPath {
    std::string folder;
    std::string name;
};

SplitPath splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The signature value of `where` now, read through `folder` (opened on its
// folder when it is not already), so the check and a rename that follows use
// the same directory. "" with the reason when it cannot be read.
std::string signatureInFolder(FolderHandle& folder, const SplitPath& where, std::string* reason) {
    if (!folder.isOpen() || folder.folder() != where.folder) {
        if (!folder.open(where.folder, reason)) return {};
    }
    std::string bytes;
    if (!folder.readFirstBytes(where.name, kSignatureBytes, bytes, reason)) return {};
    if (bytes.size() < static_cast<std::size_t>(kSignatureBytes)) return std::string(kTooShortText);
    return hexDigitsOf(reinterpret_cast<const unsigned char*>(bytes.data()), kSignatureBytes);
}

class BatchRenamer {
public:
    BatchRenamer(const DataDirectory& data, RenameOutcome& outcome) : data_(data), outcome_(outcome) {}

    // Renames requests from `next` on under the lock, as many as one batch takes, and moves `next`
    // past them; false when the run must stop (the store refused). `choose`, when given, first fills
    // `requests` from the list loaded under that lock.
    bool run(const RenameChooser* choose, std::vector<RenameRequest>& requests, std::size_t& next,
             const std::function<bool()>& stopRequested);
    std::optional<IdentificationList>& list() { return list_; }

    // What run() would do, done to nothing: `renamed` holds the renames that would happen.
    void preview(const RenameChooser& choose);

private:
    struct Planned {
        IdentificationEntry listed;
        std::string newPath;
    };
    // The new path of a request when every check before the rename passes;
    // nothing when the file stays (its refusal, if any, is recorded).
    std::optional<Planned> plan(const RenameRequest& request);
    void renameOne(const RenameRequest& request);
    std::string signatureNow(const SplitPath& where, std::string* reason);

    const DataDirectory& data_;
    RenameOutcome& outcome_;
    std::optional<IdentificationList> list_;
    RenameJournalWriter journal_;
    FolderHandle folder_;
    std::vector<std::pair<std::string, std::string>> batch_;
};

std::string BatchRenamer::signatureNow(const SplitPath& where, std::string* reason) {
    return signatureInFolder(folder_, where, reason);
}

std::optional<BatchRenamer::Planned> BatchRenamer::plan(const RenameRequest& request) {
    const std::string& path = request.path;
    std::optional<IdentificationEntry> listed = list_->find(path);
    if (!listed) {
        outcome_.refused.push_back({path, message("it is no longer in the identification list")});
        return std::nullopt;
    }
    // The list as it is now decides, not the one the request was made from.
    const std::string& type = listed->type;
    if (type == kUnknownFileType) return std::nullopt;
    if (!isUsableExtension(type)) {
        outcome_.refused.push_back({path, message("'%1' is no file type to rename to", {type})});
        return std::nullopt;
    }
    std::string base = path;
    std::string newPath = PathWithoutExtension(base) + "." + type;
    if (newPath == path) return std::nullopt;  // already named after its type
    if (std::string reason = checkListPath(newPath); !reason.empty()) {
        outcome_.refused.push_back({path, reason});
        return std::nullopt;
    }
    const SplitPath where = splitPath(path);
    std::string reason;
    const std::string signature = signatureNow(where, &reason);
    if (!reason.empty()) {
        outcome_.refused.push_back({path, reason});
        return std::nullopt;
    }
    if (signature != listed->signature) {
        outcome_.refused.push_back({path, std::string(kChangedSinceIdentification) +
                                              " (its signature value is now " + signature + ", listed " +
                                              listed->signature + ")"});
        return std::nullopt;
    }
    return Planned{std::move(*listed), std::move(newPath)};
}

void BatchRenamer::renameOne(const RenameRequest& request) {
    std::optional<Planned> planned = plan(request);
    if (!planned) return;
    const std::string& path = request.path;
    const std::string& newPath = planned->newPath;
    const IdentificationEntry& listed = planned->listed;
    if (!journal_.isOpen()) {
        if (std::string error = journal_.open(renameJournalPath(data_)); !error.empty()) {
            outcome_.refused.push_back({path, error});
            return;
        }
    }
    if (std::string error = journal_.appendRename(path, newPath, listed.signature, listed.type);
        !error.empty()) {
        outcome_.refused.push_back({path, error});
        return;
    }
    std::string reason;
    if (!folder_.renameNoReplace(splitPath(path).name, splitPath(newPath).name, &reason)) {
        // An undo must not take back what never happened.
        journal_.appendFailed(path, newPath);
        outcome_.refused.push_back(
            {path, reason.empty() ? message("the file could not be renamed") : reason});
        return;
    }
    list_->move(path, newPath, listed.signature, listed.type);
    batch_.emplace_back(path, newPath);
}

void BatchRenamer::preview(const RenameChooser& choose) {
    // A rename killed before it was saved leaves the list behind the disk.
    if (outcome_.error = reconcileIfInterrupted(data_); !outcome_.error.empty()) return;
    list_.emplace(data_.identificationListPath());
    if (outcome_.error = list_->load(); !outcome_.error.empty()) return;
    const std::optional<std::vector<RenameRequest>> requests = choose(*list_);
    if (!requests) return;
    std::unordered_set<std::string> taken;  // new names earlier files of the run would take
    for (const RenameRequest& request : *requests) {
        std::optional<Planned> planned = plan(request);
        if (!planned) continue;
        std::error_code error;
        const bool occupied =
            std::filesystem::exists(std::filesystem::symlink_status(planned->newPath, error)) ||
            taken.count(planned->newPath);
        if (occupied) {
            outcome_.refused.push_back({request.path, message("'%1' already exists", {planned->newPath})});
            continue;
        }
        taken.insert(planned->newPath);
        outcome_.renamed.emplace_back(request.path, std::move(planned->newPath));
    }
}

bool BatchRenamer::run(const RenameChooser* choose, std::vector<RenameRequest>& requests, std::size_t& next,
                       const std::function<bool()>& stopRequested) {
    std::string error;
    std::optional<DataLock> lock = DataLock::acquire(data_, error);
    if (!lock) {
        outcome_.error = error;
        return false;
    }
    const auto loading = std::chrono::steady_clock::now();
    list_.emplace(data_.identificationListPath());
    if (error = list_->load(); error.empty() && !journal_.isOpen())
        error = journal_.open(renameJournalPath(data_));
    if (!error.empty()) {
        outcome_.error = error;
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    const auto batchTime =
        std::max<std::chrono::steady_clock::duration>(kBatchTime, (started - loading) * kListLoadsPerBatch);
    if (choose) {
        std::optional<std::vector<RenameRequest>> chosen = (*choose)(*list_);
        if (!chosen) return false;
        requests = std::move(*chosen);
    }
    batch_.clear();
    const std::size_t from = next;
    while (next < requests.size()) {
        renameOne(requests[next++]);
        if (stopRequested && stopRequested()) {
            outcome_.interrupted = true;
            break;
        }
        if (next - from >= kBatchFiles && std::chrono::steady_clock::now() - started >= batchTime) break;
    }
    if (batch_.empty()) return true;
    journal_.flush();
    if (error = list_->save(); !error.empty()) {
        // The list file still names the old paths: put the files back so both agree.
        for (const auto& [oldPath, newPath] : batch_) {
            std::string reason;
            if (!renameFile(newPath, oldPath, &reason))
                outcome_.refused.push_back({newPath, message("renamed, but not recorded: %1", {reason})});
            else
                journal_.appendFailed(oldPath, newPath);
        }
        outcome_.error = error;
        list_.reset();
    } else {
        outcome_.renamed.insert(outcome_.renamed.end(), batch_.begin(), batch_.end());
    }
    // Either way the list now agrees with the disk.
    journal_.appendSaved();
    return error.empty();
}

class UndoRenamer {
public:
    UndoRenamer(IdentificationList& list, RenameJournalWriter& journal, UndoRenameOutcome& outcome)
        : list_(list), journal_(journal), outcome_(outcome) {}

    void undoOne(const JournalRecord& rename) {
        const std::string& path = rename.newPath;
        const SplitPath where = splitPath(path);
        const SplitPath target = splitPath(rename.oldPath);
        std::string reason;
        const std::string signature = signatureInFolder(folder_, where, &reason);
        if (!reason.empty()) {
            outcome_.refused.push_back({path, message("it is no longer under its new name: %1", {reason})});
            return;
        }
        if (signature != rename.signature) {
            outcome_.refused.push_back(
                {path, message("it changed since the rename (its signature value is now %1, was %2)",
                               {signature, rename.signature})});
            return;
        }
        if (std::string error = journal_.appendUndo(rename.oldPath, path, signature, rename.type);
            !error.empty()) {
            outcome_.refused.push_back({path, error});
            return;
        }
        if (!folder_.renameNoReplace(where.name, target.name, &reason)) {
            journal_.appendFailed(rename.oldPath, path);
            outcome_.refused.push_back(
                {path, message("it cannot go back to '%1': %2", {rename.oldPath, reason})});
            return;
        }
        if (const std::optional<IdentificationEntry> listed = list_.find(path))
            list_.move(path, rename.oldPath, listed->signature, listed->type);
        moved_.push_back(rename);
    }

    // The list could not be saved: the files go back under the names it holds.
    void putBack() {
        for (const JournalRecord& rename : moved_) {
            std::string reason;
            if (renameFile(rename.oldPath, rename.newPath, &reason))
                journal_.appendFailed(rename.oldPath, rename.newPath);
            else
                outcome_.refused.push_back(
                    {rename.oldPath, message("renamed, but not recorded: %1", {reason})});
        }
        moved_.clear();
    }

    void report() {
        for (const JournalRecord& rename : moved_)
            outcome_.renamed.emplace_back(rename.newPath, rename.oldPath);
    }

private:
    IdentificationList& list_;
    RenameJournalWriter& journal_;
    UndoRenameOutcome& outcome_;
    FolderHandle folder_;
    std::vector<JournalRecord> moved_;
};

}  // namespace

namespace {

// The undo itself, under the data directory's lock; `listAfter` gets the list it saved.
void undoUnderLock(const DataDirectory& data, UndoRenameOutcome& outcome,
                   std::optional<std::vector<IdentificationEntry>>& listAfter) {
    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return;
    const std::string journalFile = renameJournalPath(data);
    std::vector<JournalRecord> records;
    if (outcome.error = readRenameJournal(journalFile, records); !outcome.error.empty()) return;
    const std::vector<JournalRecord> run = lastStandingRun(records);
    outcome.tried = run.size();
    if (run.empty()) return;
    IdentificationList list(data.identificationListPath());
    RenameJournalWriter journal;
    if (outcome.error = list.load(); outcome.error.empty()) outcome.error = journal.open(journalFile);
    if (!outcome.error.empty()) return;

    UndoRenamer undo(list, journal, outcome);
    // Newest first: a file renamed onto a name another file of the run had left gives it back first.
    for (auto rename = run.rbegin(); rename != run.rend(); ++rename) undo.undoOne(*rename);
    journal.flush();
    if (outcome.error = list.save(); !outcome.error.empty()) {
        undo.putBack();
    } else {
        undo.report();
        listAfter = list.entries();
    }
    journal.appendSaved();
}

}  // namespace

UndoRenameOutcome undoLastRename(const DataDirectory& data, std::vector<IdentificationEntry>* listAfter) {
    UndoRenameOutcome outcome;
    std::optional<std::vector<IdentificationEntry>> saved;
    undoUnderLock(data, outcome, saved);
    // Read again only once the lock is released: reading may need to take it.
    if (listAfter) *listAfter = saved ? std::move(*saved) : listIdentifications(data).entries;
    return outcome;
}

namespace {

RenameOutcome renameWith(const DataDirectory& data, const RenameChooser& choose,
                         std::vector<IdentificationEntry>* listAfter,
                         const std::function<bool()>& stopRequested) {
    RenameOutcome outcome;
    BatchRenamer renamer(data, outcome);
    std::vector<RenameRequest> requests;
    std::size_t next = 0;
    // Later batches load the list again: what another run changed in between decides for them.
    for (const RenameChooser* chooser = &choose; renamer.run(chooser, requests, next, stopRequested);
         chooser = nullptr) {
        if (next >= requests.size() || outcome.interrupted) break;
    }
    if (!listAfter) return outcome;
    if (renamer.list() && outcome.error.empty())
        *listAfter = renamer.list()->entries();
    else
        *listAfter = listIdentifications(data).entries;
    return outcome;
}

}  // namespace

RenameOutcome renameFiles(const DataDirectory& data, const std::vector<RenameRequest>& requests,
                          std::vector<IdentificationEntry>* listAfter,
                          const std::function<bool()>& stopRequested) {
    return renameWith(
        data, [&requests](const IdentificationList&) { return std::optional(requests); }, listAfter,
        stopRequested);
}

RenameOutcome renameChosen(const DataDirectory& data, const RenameChooser& choose,
                           const std::function<bool()>& stopRequested) {
    return renameWith(data, choose, nullptr, stopRequested);
}

RenameOutcome previewChosen(const DataDirectory& data, const RenameChooser& choose) {
    RenameOutcome outcome;
    BatchRenamer(data, outcome).preview(choose);
    return outcome;
}

}  // namespace vex
