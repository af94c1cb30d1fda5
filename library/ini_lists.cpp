#include "library/ini_lists.h"

#include <algorithm>

#include "ident/prefix_index.h"
#include "ident/signature.h"
#include "runtime/atomic_file.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "runtime/translation.h"

namespace vex {
namespace {

bool isFormatBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

bool isControlCharacter(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string checkListPath(const std::string& path) {
    if (path.empty()) return message("an empty path cannot be recorded");
    if (path.find('\n') != std::string::npos || path.find('\r') != std::string::npos)
        return message("the path '%1' holds a line break, which the list file cannot store", {path});
    if (isFormatBlank(path.front()) || isFormatBlank(path.back()))
        return message("the path '%1' begins or ends with a blank, which the list file cannot store", {path});
    return {};
}

std::string ListFile::clear() {
    std::string error = TruncateFile(file_);
    if (error.empty()) document_ = IniDocument(IniDocument::SectionNames::Exact);
    return error;
}

std::string ExperimentList::record(const std::string& signature, std::string& path) {
    return RecordExperiment(document_, signature, path);
}

std::vector<ExperimentEntry> ExperimentList::entries() const {
    std::vector<ExperimentEntry> entries;
    entries.reserve(document_.sectionCount());
    document_.forEachSection([&entries](std::string_view name, const IniDocument::SectionReader& values) {
        entries.push_back({std::string(name), values.read(kExperimentClassKey, kExperimentClassDefault),
                           values.read(kExperimentSignatureKey, kExperimentSignatureDefault)});
    });
    return entries;
}

std::string IdentificationList::record(const std::string& signature, const std::string& path,
                                       const std::string& type) {
    return RecordIdentification(document_, signature, path, type);
}

std::vector<IdentificationEntry> IdentificationList::entries() const {
    std::vector<IdentificationEntry> entries;
    entries.reserve(document_.sectionCount());
    document_.forEachSection([&entries](std::string_view name, const IniDocument::SectionReader& values) {
        std::string path(name);
        std::string fileClass = FileClassOf(path);
        entries.push_back({std::string(name), std::move(fileClass),
                           values.read(kIdentificationSignatureKey, kIdentificationSignatureDefault),
                           values.read(kIdentificationTypeKey, kIdentificationTypeDefault)});
    });
    return entries;
}

std::optional<IdentificationEntry> IdentificationList::find(const std::string& path) const {
    if (!document_.hasSection(path)) return std::nullopt;
    std::string named = path;
    std::string fileClass = FileClassOf(named);
    return IdentificationEntry{
        path, std::move(fileClass),
        document_.read(path, kIdentificationSignatureKey, kIdentificationSignatureDefault),
        document_.read(path, kIdentificationTypeKey, kIdentificationTypeDefault)};
}

void IdentificationList::move(const std::string& path, const std::string& newPath,
                              const std::string& signature, const std::string& type) {
    document_.removeSection(path);
    document_.setValues(newPath, {{kIdentificationTypeKey, type}, {kIdentificationSignatureKey, signature}});
}

std::string RecordExperiment(IniDocument& experiments, const std::string& signature, std::string& path) {
    const std::string given = path;
    const std::string fileClass = FileClassOf(path);
    // Blanks around a dropped path are noise, but blanks that belong to an existing
    // file's name are not: recorded without them the entry would name another file.
    if (path != given && fileExists(given))
        return message("the file name '%1' begins or ends with blanks, which the list file cannot keep",
                       {given});
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return experiments.setValues(path,
                                 {{kExperimentSignatureKey, signature}, {kExperimentClassKey, fileClass}});
}

std::string RecordIdentification(IniDocument& identifications, const std::string& signature,
                                 const std::string& path, const std::string& type) {
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return identifications.setValues(
        path, {{kIdentificationSignatureKey, signature}, {kIdentificationTypeKey, type}});
}

std::string TruncateFile(const std::string& file) { return saveFileAtomically(file, {}); }

std::string PathWithoutExtension(std::string& path) {
    path = trimBothEnds(path);
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t stop = path.rfind('.');
    if (stop == std::string::npos || stop < nameStart) return path;
    return path.substr(0, stop);
}

bool isUsableExtension(std::string_view type) {
    // "无类型" says the sample had no extension; as an extension it would name no format.
    if (type.empty() || type == kUnknownFileType || type == kIdentificationTypeDefault ||
        type == kNoClassText)
        return false;
    return std::none_of(type.begin(), type.end(),
                        [](char c) { return c == '/' || isControlCharacter(static_cast<unsigned char>(c)); });
}

}  // namespace vex
