#include "library/ini_lists.h"

#include <algorithm>

#include "ident/signature.h"
#include "runtime/atomic_file.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace vex {
namespace {

bool isFormatBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

// Why `path` cannot be a section name of a list file, or "".
std::string checkListPath(const std::string& path) {
    if (path.empty()) return "an empty path cannot be recorded";
    if (path.find('\n') != std::string::npos || path.find('\r') != std::string::npos)
        return "the path '" + path + "' holds a line break, which the list file cannot store";
    if (isFormatBlank(path.front()) || isFormatBlank(path.back()))
        return "the path '" + path + "' begins or ends with a blank, which the list file cannot store";
    return {};
}

ReportRow makeRow(std::vector<std::string> cells) {
    ReportRow row;
    row.cells = std::move(cells);
    return row;
}

std::vector<std::string> checkedPaths(const ReportList& list, int pathColumn) {
    std::vector<std::string> paths;
    for (int item = 0; item < list.itemCount(); ++item)
        if (list.checkState(item) == check_state::kChecked) paths.push_back(list.itemText(item, pathColumn));
    return paths;
}

using RowsOf = std::vector<ReportRow> (*)(const IniDocument&);

// Shows the file as it now is: from `document` when it was saved (or needed no
// saving), else read again, so the list never shows what did not reach the disk.
void rebuild(ReportList& list, const IniDocument& document, bool matchesFile, const std::string& iniPath,
             RowsOf rowsOf) {
    if (matchesFile) {
        list.setRows(rowsOf(document));
        return;
    }
    IniDocument fromFile;
    IniDocument::load(iniPath, fromFile);
    list.setRows(rowsOf(fromFile));
}

std::string loadList(ReportList& list, const std::string& iniPath, RowsOf rowsOf) {
    IniDocument document;
    std::string error = IniDocument::load(iniPath, document);
    list.setRows(rowsOf(document));
    return error;
}

std::string clearList(ReportList& list, const std::string& iniPath, RowsOf rowsOf) {
    std::string error = TruncateFile(iniPath);
    loadList(list, iniPath, rowsOf);
    return error;
}

std::string deleteChecked(ReportList& list, const std::string& iniPath, int pathColumn, RowsOf rowsOf) {
    const std::vector<std::string> paths = checkedPaths(list, pathColumn);
    IniDocument document;
    if (std::string error = IniDocument::load(iniPath, document); !error.empty()) {
        list.setRows(rowsOf(document));
        return error;
    }
    for (const std::string& path : paths) document.removeSection(path);
    std::string error;
    if (document.modified()) error = document.save(iniPath);
    rebuild(list, document, error.empty(), iniPath, rowsOf);
    return error;
}

bool isControlCharacter(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string RecordExperiment(IniDocument& experiments, const std::string& signature, std::string& path) {
    const std::string given = path;
    const std::string fileClass = FileClassOf(path);
    // Blanks around a dropped path are noise, but blanks that belong to an existing
    // file's name are not: recorded without them the entry would name another file.
    if (path != given && fileExists(given))
        return "the file name '" + given + "' begins or ends with blanks, which the list file cannot keep";
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return experiments.setValues(path, {{kExperimentSignatureKey, signature}, {kExperimentClassKey, fileClass}});
}

std::string RecordIdentification(IniDocument& identifications, const std::string& signature,
                                 const std::string& path, const std::string& type) {
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return identifications.setValues(path, {{kIdentificationSignatureKey, signature}, {kIdentificationTypeKey, type}});
}

std::vector<ReportRow> ExperimentRows(const IniDocument& experiments) {
    std::vector<ReportRow> rows;
    rows.reserve(experiments.sectionCount());
    experiments.forEachSection([&rows](std::string_view name, const IniDocument::SectionReader& values) {
        rows.push_back(makeRow({std::to_string(rows.size() + 1),
                                values.read(kExperimentClassKey, kExperimentClassDefault),
                                values.read(kExperimentSignatureKey, kExperimentSignatureDefault), std::string(name)}));
    });
    return rows;
}

std::vector<ReportRow> IdentificationRows(const IniDocument& identifications) {
    std::vector<ReportRow> rows;
    rows.reserve(identifications.sectionCount());
    identifications.forEachSection([&rows](std::string_view name, const IniDocument::SectionReader& values) {
        std::string path(name);
        std::string fileClass = FileClassOf(path);
        rows.push_back(makeRow({std::to_string(rows.size() + 1), std::move(fileClass),
                                values.read(kIdentificationSignatureKey, kIdentificationSignatureDefault),
                                std::string(name),
                                values.read(kIdentificationTypeKey, kIdentificationTypeDefault)}));
    });
    return rows;
}

std::string LoadExperimentList(ReportList& list, const std::string& iniPath) {
    return loadList(list, iniPath, ExperimentRows);
}

std::string LoadIdentificationList(ReportList& list, const std::string& iniPath) {
    return loadList(list, iniPath, IdentificationRows);
}

std::string TruncateFile(const std::string& file) { return saveFileAtomically(file, {}); }

std::string ClearExperimentLibrary(ReportList& list, const std::string& iniPath) {
    return clearList(list, iniPath, ExperimentRows);
}

std::string ClearIdentificationList(ReportList& list, const std::string& iniPath) {
    return clearList(list, iniPath, IdentificationRows);
}

std::string DeleteCheckedExperiments(ReportList& list, const std::string& iniPath) {
    return deleteChecked(list, iniPath, experiment_column::kPath, ExperimentRows);
}

std::string DeleteCheckedIdentifications(ReportList& list, const std::string& iniPath) {
    return deleteChecked(list, iniPath, identification_column::kPath, IdentificationRows);
}

std::string PathWithoutExtension(std::string& path) {
    path = trimBothEnds(path);
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t stop = path.rfind('.');
    if (stop == std::string::npos || stop < nameStart) return path;
    return path.substr(0, stop);
}

bool IsUsableExtension(std::string_view type) {
    if (type.empty() || type == kUnknownTypeText || type == kIdentificationTypeDefault) return false;
    return std::none_of(type.begin(), type.end(),
                        [](char c) { return c == '/' || isControlCharacter(static_cast<unsigned char>(c)); });
}

RenameOutcome RenameCheckedFiles(ReportList& list, const std::string& iniPath) {
    RenameOutcome outcome;
    IniDocument document;
    if (std::string error = IniDocument::load(iniPath, document); !error.empty()) {
        outcome.error = std::move(error);
        list.setRows(IdentificationRows(document));
        return outcome;
    }
    for (int item = 0; item < list.itemCount(); ++item) {
        if (list.checkState(item) != check_state::kChecked) continue;
        const std::string path = list.itemText(item, identification_column::kPath);
        const std::string type = list.itemText(item, identification_column::kType);
        if (type == kUnknownTypeText) continue;
        if (!IsUsableExtension(type)) {
            outcome.failed.emplace_back(path, "'" + type + "' is no file type to rename to");
            continue;
        }
        std::string base = path;
        const std::string newPath = PathWithoutExtension(base) + "." + type;
        if (newPath == path) continue;  // already named after its type
        if (std::string reason = checkListPath(newPath); !reason.empty()) {
            outcome.failed.emplace_back(path, reason);
            continue;
        }
        std::string reason;
        if (!renameFile(path, newPath, &reason)) {
            outcome.failed.emplace_back(path, reason.empty() ? "the file could not be renamed" : reason);
            continue;
        }
        const std::string signature = list.itemText(item, identification_column::kSignature);
        document.removeSection(path);
        document.setValues(newPath, {{kIdentificationTypeKey, type}, {kIdentificationSignatureKey, signature}});
        outcome.renamed.emplace_back(path, newPath);
    }
    std::string error;
    if (document.modified()) error = document.save(iniPath);
    if (!error.empty()) {
        // The list file still names the old paths: put the files back so both agree.
        for (const auto& [oldPath, newPath] : outcome.renamed) {
            std::string reason;
            if (!renameFile(newPath, oldPath, &reason))
                outcome.failed.emplace_back(newPath, "renamed, but not recorded: " + reason);
        }
        outcome.renamed.clear();
        outcome.error = std::move(error);
    }
    rebuild(list, document, outcome.error.empty(), iniPath, IdentificationRows);
    return outcome;
}

}  // namespace vex
