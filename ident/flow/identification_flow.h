#pragma once
// The identification flow: files handed in by the user become editor values
// and list entries. Dropped on the identification list they are identified
// (signature value, longest-prefix lookup, "setok.ini"); dropped on the
// experiment list, or picked with the file dialog, they are sampled into the
// editor fields (and, when dropped, into "set.ini").
//
// The operations work on a set of units (the main window's, or a headless set
// of the same kinds for the command line and tests) and never show a message:
// what went wrong comes back in the outcome for the caller to show.
//
// A drop is one change: every file of it is recorded in one in-memory document
// that is written once at the end, and the list is rebuilt once. Nothing is
// kept between drops, so a file edited by hand in between is seen by the next one.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class ReportList;
class TextUnit;
class FileDialog;
class ExternalDatabase;

struct FlowUnits {
    ReportList& experimentList;       // 超级列表框1
    ReportList& identificationList;   // 超级列表框3
    TextUnit& pathBox;                // 编辑框1: file path
    TextUnit& signatureBox;           // 编辑框2: signature value
    TextUnit& classBox;               // 编辑框3: file class
    TextUnit& storeTypeBox;           // 编辑框4: type to store in the confirmed library
    TextUnit& storeSignatureBox;      // 编辑框5: signature to store in the confirmed library
    FileDialog& fileDialog;           // 通用对话框1
    ExternalDatabase& lookupDatabase;  // 外部数据库1, opened by the lookups
    std::string dataDir;              // holds data.mdb, set.ini and setok.ini
};

std::string ExperimentIniPathIn(const std::string& dataDir);      // dataDir + "/set.ini"
std::string IdentificationIniPathIn(const std::string& dataDir);  // dataDir + "/setok.ini"
std::string LibraryPathIn(const std::string& dataDir);            // dataDir + "/data.mdb"

// The paths of a files-dropped text: split at every "\r\n"; text after the last
// one counts only when it is not empty. Empty parts name no file and are left out.
std::vector<std::string> SplitDroppedPaths(std::string_view droppedText);

// Called after each file of a long drop with the number done and the total.
using DropProgress = std::function<void(std::size_t done, std::size_t total)>;

struct IdentifiedFile {
    std::string type;
    std::string signature;
    std::string path;
};

struct DropOutcome {
    std::vector<IdentifiedFile> files;  // in drop order; folders left out
    // Paths the list file cannot hold, with the reason; they were not recorded.
    std::vector<std::pair<std::string, std::string>> refused;
    std::string error;  // the list file could not be read or written: nothing of the drop was recorded
};

// Identifies every dropped path that is not a folder, records it in
// "setok.ini" and rebuilds the identification list.
DropOutcome IdentifyDroppedFiles(FlowUnits& units, std::string_view droppedText, const DropProgress& progress = {});
DropOutcome IdentifyPaths(FlowUnits& units, const std::vector<std::string>& paths, const DropProgress& progress = {});

// Samples every dropped path that is not a folder into the editor fields (the
// last one stays shown) and "set.ini", then rebuilds the experiment list.
// `files` lists the recorded ones with their file class in `type`.
DropOutcome SampleDroppedFiles(FlowUnits& units, std::string_view droppedText, const DropProgress& progress = {});
DropOutcome SamplePaths(FlowUnits& units, const std::vector<std::string>& paths, const DropProgress& progress = {});

// Shows the file dialog; a confirmed file goes into the editor fields (nothing
// is stored). False when the dialog was cancelled or gave no name.
bool PickFileForEditor(FlowUnits& units);

// Records the editor's path and signature in "set.ini" and rebuilds the
// experiment list; nothing when the path field is empty. Returns "" or the error.
std::string StoreEditorToExperiment(FlowUnits& units);

}  // namespace vex
