#pragma once
// The two INI lists: the experiment library ("set.ini", shown in 超级列表框1) and
// the identification list ("setok.ini", shown in 超级列表框3). One section per
// file path; the lists are views rebuilt from the files after every change.
//
// Every operation reads the file when it runs and writes it at most once, so a
// file edited by hand between two operations is always seen. Handlers that
// record many files load one IniDocument, record into it and save it once.
// Operations never show messages: they return an error text ("" when fine) and
// the caller decides how to show it.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/ini.h"
#include "runtime/report_list.h"

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
// The probable type when the confirmed library knows no prefix of the signature.
inline constexpr std::string_view kUnknownTypeText = "未知类型";

// Columns of the two lists.
namespace experiment_column {
constexpr int kIndex = 0, kClass = 1, kSignature = 2, kPath = 3;
}
namespace identification_column {
constexpr int kIndex = 0, kClass = 1, kSignature = 2, kPath = 3, kType = 4;
}

// ---- Recording into a loaded document (the caller saves it).

// Trims `path` in place as FileClassOf does and records the signature and the
// file class under the trimmed path. Returns "" or why the path cannot be stored.
std::string RecordExperiment(IniDocument& experiments, const std::string& signature, std::string& path);
// Records the signature and the probable type under `path`. A path that the INI
// format cannot hold as a section name (a line break, or blanks at either end,
// which the format drops) is refused, so a later rename can never hit another file.
std::string RecordIdentification(IniDocument& identifications, const std::string& signature,
                                 const std::string& path, const std::string& type);

// ---- Rebuilding the lists.

// Rows of the experiment list from a document: 序列, 文件类, 特征值, 文件路径.
std::vector<ReportRow> ExperimentRows(const IniDocument& experiments);
// Rows of the identification list: 序列, 文件类 (computed), 特征值, 文件路径, 文件可能类型.
std::vector<ReportRow> IdentificationRows(const IniDocument& identifications);

// Rebuild `list` from the file; a missing file gives an empty list. Returns ""
// or why the file could not be read (the list is then empty).
std::string LoadExperimentList(ReportList& list, const std::string& iniPath);
std::string LoadIdentificationList(ReportList& list, const std::string& iniPath);

// ---- Changes on the files, each followed by a rebuild of its list.

// Leaves `file` existing and empty (atomically replaced, so a failure keeps it).
std::string TruncateFile(const std::string& file);
std::string ClearExperimentLibrary(ReportList& list, const std::string& iniPath);
std::string ClearIdentificationList(ReportList& list, const std::string& iniPath);

// Deletes the sections named by the path column of every checked row. With no
// checked row (or none of them in the file any more) the file is not rewritten.
std::string DeleteCheckedExperiments(ReportList& list, const std::string& iniPath);
std::string DeleteCheckedIdentifications(ReportList& list, const std::string& iniPath);

// Trims `path` in place as FileClassOf does and returns it without the extension
// of its last component (the text from the last full stop of the file name on).
std::string PathWithoutExtension(std::string& path);

// Whether `type` can serve as a file extension: not empty, not a placeholder
// ("未知类型", "Un"), no "/" and no control character.
bool IsUsableExtension(std::string_view type);

struct RenameOutcome {
    std::vector<std::pair<std::string, std::string>> renamed;  // old path, new path
    std::vector<std::pair<std::string, std::string>> failed;   // path, reason
    std::string error;                                          // the list file could not be read or written
};

// Renames the file of every checked row to its probable type: the path without
// its extension, a full stop and the type. Rows of type "未知类型" are skipped. A
// rename never replaces an existing file; the entry moves to the new name only
// when the rename succeeded, and every failure is listed with its reason. The
// list file is written once, then the list is rebuilt.
RenameOutcome RenameCheckedFiles(ReportList& list, const std::string& iniPath);

}  // namespace vex
