#pragma once
// The two list files: the experiment library ("set.ini") and the
// identification list ("setok.ini"). One section per file path.
//
// A list is loaded when an operation runs and saved at most once by it, so a
// file edited by hand between two operations is always seen. Nothing here
// shows a message: every failure comes back as a reason text ("" when fine).

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/list_index.h"
#include "runtime/files.h"
#include "runtime/ini.h"

namespace vex {

// Keys and read defaults of "set.ini".
inline constexpr std::string_view kExperimentSignatureKey = "特征值";
inline constexpr std::string_view kExperimentClassKey = "文件类型";
inline constexpr std::string_view kExperimentSignatureDefault = "Unknown";
inline constexpr std::string_view kExperimentClassDefault = "未知";
// Keys and read defaults of "setok.ini".
inline constexpr std::string_view kIdentificationSignatureKey = "type";
inline constexpr std::string_view kIdentificationTypeKey = "type1";
inline constexpr std::string_view kIdentificationSignatureDefault = "Unknown";
inline constexpr std::string_view kIdentificationTypeDefault = "Un";

struct ExperimentEntry {
    std::string path;
    std::string fileClass;
    std::string signature;
};

struct IdentificationEntry {
    std::string path;
    std::string fileClass;  // computed from the path, not stored
    std::string signature;
    std::string type;
};

// One list file held in memory between a load and a save.
//
// A change that only adds entries is appended to the file in one write between
// two mark lines (comments to any other reader); a crash that cuts the write
// short leaves a block without its end mark, which every load leaves out and the
// next save cuts off. Any other change rewrites the file atomically, without marks.
class ListFile {
public:
    explicit ListFile(std::string file) : file_(std::move(file)) {}

    // A missing file loads as an empty list. Returns "" or why the file could
    // not be read; nothing may then be saved over it.
    std::string load();
    // Loads what recording entries under `names` (as they will be listed) needs:
    // the sections of those listed, found through the list's index or a scan of
    // the file, and no other entry. Only record(), modified() and save() may be
    // used then. A list that then changes only by new entries is appended to;
    // one whose listed entries change is read whole and rewritten. "" or why
    // not, as load().
    std::string loadToRecord(std::vector<std::string> names);
    // Writes the changes when there are any; "" or why not.
    std::string save();
    // Leaves the file existing and empty.
    std::string clear();

    // True when there was an entry for `path` (compared exactly).
    bool remove(std::string_view path) { return document_.removeSection(path); }
    bool contains(std::string_view path) const { return document_.hasSection(path); }
    bool modified() const { return document_.modified(); }
    std::size_t size() const { return document_.sectionCount(); }
    void reserve(std::size_t entries) { document_.reserveSections(entries); }
    const std::string& file() const { return file_; }

protected:
    std::string file_;
    // Paths compare exactly: "PHOTO.dat" and "photo.dat" are two files, so two entries.
    IniDocument document_{IniDocument::SectionNames::Exact};

private:
    std::string append();
    std::string rewriteWithChanges();
    void readFrom(FileBytes bytes, std::size_t wholeSize, bool parse);
    // Loads the sections of `names` through the list's index; false when it cannot tell.
    bool loadThroughIndex(const std::vector<std::string>& names);
    ListShape shape() const;

    FileStamp stamp_;            // the file as it was read
    std::size_t wholeSize_ = 0;  // its length without a torn append at the end
    bool endsWithLineBreak_ = true;
    bool scannedOnly_ = false;  // loaded to record: document_ holds no entry but those of scannedNames_
    bool partial_ = false;      // ... and some of them were listed: document_ holds their sections
    std::vector<std::string> scannedNames_;
    std::optional<ListNameIndex> index_;  // valid for the list as stamp_ found it
};

class ExperimentList : public ListFile {
public:
    using ListFile::ListFile;
    // RecordExperiment on this list.
    std::string record(const std::string& signature, std::string& path);
    std::vector<ExperimentEntry> entries() const;
    // Each entry in list order, one at a time, without holding them all.
    void forEachEntry(const std::function<void(const ExperimentEntry&)>& visit) const;
};

class IdentificationList : public ListFile {
public:
    using ListFile::ListFile;
    // RecordIdentification on this list.
    std::string record(const std::string& signature, const std::string& path, const std::string& type);
    std::vector<IdentificationEntry> entries() const;
    // Each entry in list order, one at a time, without holding them all.
    void forEachEntry(const std::function<void(const IdentificationEntry&)>& visit) const;
    // Where the entry of `path` stands in list order (a rank: only its order with others counts), or nothing.
    std::optional<std::size_t> rankOf(std::string_view path) const { return document_.sectionRank(path); }
    // The entry listed under exactly `path`, when there is one.
    std::optional<IdentificationEntry> find(const std::string& path) const;
    // The entry of `path` now names `newPath`, with the same values.
    void move(const std::string& path, const std::string& newPath, const std::string& signature,
              const std::string& type);
};

// Trims `path` in place as FileClassOf does and records the signature and the
// file class under the trimmed path. Returns "" or why the path cannot be stored.
std::string RecordExperiment(IniDocument& experiments, const std::string& signature, std::string& path);
// Records the signature and the probable type under `path`. A path that the list
// file cannot hold as a section name (a line break, or blanks at either end,
// which the format drops) is refused, so a later rename can never hit another file.
std::string RecordIdentification(IniDocument& identifications, const std::string& signature,
                                 const std::string& path, const std::string& type);

// Why `path` cannot be a section name of a list file, or "".
std::string checkListPath(const std::string& path);

// Leaves `file` existing and empty (atomically replaced, so a failure keeps it).
std::string TruncateFile(const std::string& file);

// Trims `path` in place as FileClassOf does and returns it without the extension
// of its last component (the text from the last full stop of the file name on).
std::string PathWithoutExtension(std::string& path);

// Whether `type` can serve as a file extension: not empty, not a placeholder
// ("未知类型", "Un", "无类型"), no "/" and no control character.
bool isUsableExtension(std::string_view type);

}  // namespace vex
