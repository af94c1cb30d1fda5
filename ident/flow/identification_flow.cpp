#include "ident/flow/identification_flow.h"

#include <future>
#include <memory>
#include <optional>

#include "ident/lookup.h"
#include "ident/read_ahead.h"
#include "ident/signature.h"
#include "library/ini_lists.h"
#include "runtime/basic_units.h"
#include "runtime/file_dialog.h"
#include "runtime/ini.h"
#include "runtime/report_list.h"

namespace vex {
namespace {

constexpr std::string_view kPathSeparator = "\r\n";

void showInEditor(FlowUnits& units, const std::string& path, const std::string& signature,
                  const std::string& fileClass) {
    units.pathBox.setText(path);
    units.signatureBox.setText(signature);
    units.classBox.setText(fileClass);
    units.storeTypeBox.setText(units.classBox.text());
    units.storeSignatureBox.setText(units.signatureBox.text());
}

// Loads the list file of a drop. When it cannot be read, nothing may be saved over it.
bool loadForDrop(const std::string& iniPath, IniDocument& document, DropOutcome& outcome) {
    outcome.error = IniDocument::load(iniPath, document);
    return outcome.error.empty();
}

// Saves what the drop recorded, then rebuilds the list from what is on disk.
void finishDrop(IniDocument& document, bool loaded, const std::string& iniPath, DropOutcome& outcome,
                ReportList& list, std::string (*load)(ReportList&, const std::string&),
                std::vector<ReportRow> (*rowsOf)(const IniDocument&)) {
    if (loaded && document.modified()) {
        // Writing the file (and waiting for the disk) and building the rows only read the
        // document, so they run side by side. Without a spare thread the save runs first.
        std::future<std::string> saved = std::async(std::launch::async | std::launch::deferred,
                                                    [&document, &iniPath] { return document.save(iniPath); });
        std::vector<ReportRow> rows = rowsOf(document);
        outcome.error = saved.get();
        if (outcome.error.empty()) {
            list.setRows(std::move(rows));
            return;
        }
    }
    load(list, iniPath);
}

}  // namespace

std::string ExperimentIniPathIn(const std::string& dataDir) { return dataDir + "/set.ini"; }
std::string IdentificationIniPathIn(const std::string& dataDir) { return dataDir + "/setok.ini"; }
std::string LibraryPathIn(const std::string& dataDir) { return dataDir + "/data.mdb"; }

std::vector<std::string> SplitDroppedPaths(std::string_view droppedText) {
    std::vector<std::string> paths;
    while (!droppedText.empty()) {
        const std::size_t end = droppedText.find(kPathSeparator);
        const std::string_view part = droppedText.substr(0, end);
        if (!part.empty()) paths.emplace_back(part);
        if (end == std::string_view::npos) break;
        droppedText.remove_prefix(end + kPathSeparator.size());
    }
    return paths;
}

DropOutcome IdentifyDroppedFiles(FlowUnits& units, std::string_view droppedText, const DropProgress& progress) {
    return IdentifyPaths(units, SplitDroppedPaths(droppedText), progress);
}

DropOutcome IdentifyPaths(FlowUnits& units, const std::vector<std::string>& paths, const DropProgress& progress) {
    DropOutcome outcome;
    const std::string iniPath = IdentificationIniPathIn(units.dataDir);
    IniDocument document;
    const bool loaded = loadForDrop(iniPath, document, outcome);
    // One reading of the library serves the whole drop; it is built at the first
    // file, so a drop of folders only never opens the library.
    std::optional<LookupSession> lookup;
    outcome.files.reserve(paths.size());
    document.reserveSections(paths.size());
    ReadAhead reads(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (ExaminedPath examined = reads.take(i); !examined.isDirectory) {
            std::string signature = std::move(examined.signature);
            if (!lookup) lookup.emplace(units.lookupDatabase, LibraryPathIn(units.dataDir));
            std::string type = lookup->lookup(signature);
            if (std::string reason = RecordIdentification(document, signature, path, type); !reason.empty())
                outcome.refused.emplace_back(path, std::move(reason));
            outcome.files.push_back({std::move(type), std::move(signature), path});
        }
        if (progress) progress(i + 1, paths.size());
    }
    finishDrop(document, loaded, iniPath, outcome, units.identificationList, LoadIdentificationList,
               IdentificationRows);
    return outcome;
}

DropOutcome SampleDroppedFiles(FlowUnits& units, std::string_view droppedText, const DropProgress& progress) {
    return SamplePaths(units, SplitDroppedPaths(droppedText), progress);
}

DropOutcome SamplePaths(FlowUnits& units, const std::vector<std::string>& paths, const DropProgress& progress) {
    DropOutcome outcome;
    const std::string iniPath = ExperimentIniPathIn(units.dataDir);
    IniDocument document;
    const bool loaded = loadForDrop(iniPath, document, outcome);
    document.reserveSections(paths.size());
    // The editor shows the last sampled file; it is filled once, after the loop.
    std::size_t lastSampled = 0;
    const std::string* lastDropped = nullptr;
    ReadAhead reads(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& dropped = paths[i];
        if (ExaminedPath examined = reads.take(i); !examined.isDirectory) {
            std::string path = dropped;
            std::string signature = std::move(examined.signature);
            std::string trimmed = path;
            std::string fileClass = FileClassOf(trimmed);
            lastSampled = outcome.files.size();
            lastDropped = &dropped;
            if (std::string reason = RecordExperiment(document, signature, path); !reason.empty())
                outcome.refused.emplace_back(path, std::move(reason));
            outcome.files.push_back({std::move(fileClass), std::move(signature), path});
        }
        if (progress) progress(i + 1, paths.size());
    }
    if (lastDropped) {
        const IdentifiedFile& last = outcome.files[lastSampled];
        showInEditor(units, *lastDropped, last.signature, last.type);
    }
    finishDrop(document, loaded, iniPath, outcome, units.experimentList, LoadExperimentList, ExperimentRows);
    return outcome;
}

bool PickFileForEditor(FlowUnits& units) {
    if (!units.fileDialog.show()) return false;
    const std::string path = units.fileDialog.settings().fileName;
    if (path.empty()) return false;
    std::string copy = path;
    const std::string fileClass = FileClassOf(copy);  // the edit box keeps the name as chosen
    showInEditor(units, path, ReadSignatureValue(path), fileClass);
    return true;
}

std::string StoreEditorToExperiment(FlowUnits& units) {
    if (units.pathBox.text().empty()) return {};
    const std::string iniPath = ExperimentIniPathIn(units.dataDir);
    IniDocument document;
    std::string error = IniDocument::load(iniPath, document);
    if (error.empty()) {
        std::string path = units.pathBox.text();
        error = RecordExperiment(document, units.signatureBox.text(), path);
        if (error.empty() && document.modified()) error = document.save(iniPath);
    }
    LoadExperimentList(units.experimentList, iniPath);
    return error;
}

}  // namespace vex
