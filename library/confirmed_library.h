#pragma once
// The confirmed library's operations: the duplicate check, adding a signature
// value with its file type, rebuilding the confirmed-library list, and
// deleting entries (checked ones or all).
//
// The operations work on the main window's units (or a headless set of the
// same units): the external database unit for the read-only duplicate check,
// the connection and record set for listing, adding and deleting, and the
// report list that shows the library. They never open a window themselves: a
// refused duplicate comes back as a result for the caller to show, and a
// write the store refuses is reported through showMessage with its reason.

#include <string>
#include <string_view>
#include <vector>

namespace vex {

class WindowModel;
class ExternalDatabase;
class DatabaseConnection;
class RecordSet;
class ReportList;

// The label text of the message window that refuses a duplicate.
inline constexpr std::string_view kDuplicateSignatureMessage = "特征值存在！\r\n请重输入其他特征值！";

// The confirmed-library list's columns: "序列", "文件类", "特征值".
inline constexpr int kConfirmedRowNumberColumn = 0;
inline constexpr int kConfirmedTypeColumn = 1;
inline constexpr int kConfirmedSignatureColumn = 2;

struct ConfirmedLibraryUnits {
    ExternalDatabase& externalDatabase;  // 外部数据库1
    DatabaseConnection& connection;      // 数据库连接1
    RecordSet& recordSet;                // 记录集1
    ReportList& list;                    // 超级列表框2
    std::string libraryPath;             // the data directory followed by "/data.mdb"
};

// True when `column` of `table` holds `value` byte for byte (case matters).
// A library that cannot be read holds nothing.
bool SignatureExists(ExternalDatabase& unit, const std::string& path, std::string_view password,
                     std::string_view table, std::string_view column, std::string_view value);

enum class AddOutcome {
    Added,      // stored, and the list rebuilt
    Duplicate,  // refused: the value is there already; nothing written
    Refused,    // the store refused the write; nothing written, the reason shown
};

// Stores `signature` with `type`: "文件类型" = type, "特征值"N = the first N
// bytes of the signature (the whole of it when shorter), N = 4 … 20.
// Neither text is checked for form; an empty one is stored as nothing (NULL).
AddOutcome AddConfirmedSignature(ConfirmedLibraryUnits& units, std::string_view signature, std::string_view type);

// Rebuilds the list from the table, in the table's record order: row number,
// type, signature. False when the library could not be read (the list is
// then empty).
bool LoadConfirmedLibrary(ConfirmedLibraryUnits& units);

// Deletes every record whose `column` equals `value`; an empty value deletes
// the records whose column holds nothing. False when the store refused.
bool DeleteConfirmedSignature(RecordSet& recordSet, std::string_view table, std::string_view column,
                              std::string_view value);

// Delete the records of every listed row, or of the checked rows, then
// rebuild the list. Either every one of them goes, or, when the store refuses,
// none does (the reason is shown). False when the store refused.
bool DeleteAllConfirmed(ConfirmedLibraryUnits& units);
bool DeleteCheckedConfirmed(ConfirmedLibraryUnits& units);

// ---- On the main window.

// The confirmed-library units of the loaded main window.
ConfirmedLibraryUnits mainWindowConfirmedLibrary(std::string libraryPath, WindowModel& model);

// "存入->确认库" on the main window: a refused duplicate opens the message window.
AddOutcome AddConfirmedSignatureOnMainWindow(std::string_view signature, std::string_view type,
                                             std::string libraryPath, WindowModel& model);

// Registers the handlers of the page's buttons, DeleteCheckedConfirmed and
// DeleteAllConfirmed, working on the library at `libraryPath`.
void registerConfirmedLibraryHandlers(std::string libraryPath, WindowModel& model);

}  // namespace vex
