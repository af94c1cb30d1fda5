#pragma once
// The rename journal: an append-only record of every rename the program makes
// on disk, kept beside the stores ("rename.journal" in the data directory).
//
// A rename is written here before the file is renamed, and a "saved" line
// follows once the identification list holds the new names. A run killed in
// between leaves renames without their "saved" line; the next run that takes
// the data directory's lock moves those entries to the names the disk now
// has (see reconcileIdentificationList), so list and disk agree again. The
// journal is also what an undo reads: every rename ever made, newest last.
//
// Format (UTF-8 text, one record per line, fields separated by a tab; in a
// field "\\" stands for a backslash, "\t" for a tab, "\n" and "\r" for line
// breaks, so any path fits on one line):
//   vexorin-rename-journal<TAB>1            first line, the format's version
//   run<TAB><unix time><TAB><process id>     a rename run begins
//   rename<TAB><old path><TAB><new path><TAB><signature><TAB><type>
//                                            about to rename; the disk decides whether it happened
//   saved                                    the identification list holds every rename above
//   failed<TAB><old path><TAB><new path>     the rename or undo of these paths just above did
//                                            not happen (or was put back)
//   undo<TAB><old path><TAB><new path><TAB><signature><TAB><type>
//                                            about to take the rename of these paths back: the
//                                            file moves from the new path to the old one
// Lines of a kind a version does not know are skipped by its readers, so a
// journal written with undo lines still reads in a version without undo.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/data_directory.h"

namespace vex {

inline constexpr std::string_view kRenameJournalFileName = "rename.journal";

struct JournalRecord {
    enum class Kind { Run, Rename, Saved, Undo, Failed };
    Kind kind = Kind::Rename;
    // Rename, Undo, Failed: the paths before and after the rename (an undo
    // names the rename it takes back), and the entry's values (not Failed).
    std::string oldPath;
    std::string newPath;
    std::string signature;
    std::string type;
    // Run: when and by which process.
    std::int64_t time = 0;
    std::int64_t processId = 0;
};

std::string renameJournalPath(const DataDirectory& data);

// Every record of the journal in file order. A missing journal has none. A
// last line without its line break (a write cut short) is left out. Returns ""
// or why the journal could not be read.
// `fromOffset` skips the start (a size renameJournalSize gave, so at a line's start).
std::string readRenameJournal(const std::string& file, std::vector<JournalRecord>& records,
                              std::uint64_t fromOffset = 0);

// The journal's size now: a run that identifies files remembers it, so it can
// later ask which files were renamed meanwhile (renamesSince).
std::uint64_t renameJournalSize(const std::string& file);
// The journal's size up to the end of its last "saved" line (0 when there is none).
// A rename written after it may be under way: its file may still have its old
// name. A run that identifies files asks for the renames since then, not since
// its start, so a file it read just before such a rename is not listed again
// under the name it lost.
std::uint64_t renameJournalSavedSize(const std::string& file);
// The moves written after byte `offset` (a size renameJournalSize gave): each
// rename, and each undo as the rename from its new path back to its old one.
std::vector<JournalRecord> renamesSince(const std::string& file, std::uint64_t offset);

// The moves after the last "saved" line, as renamesSince gives them: those the list may not hold yet.
std::vector<JournalRecord> unsavedRenames(const std::vector<JournalRecord>& records);

// The renames of the last run that still stand, in journal order: a rename
// that failed, or that an undo took back, no longer stands; an undo that
// failed leaves its rename standing. A run whose renames are all taken back
// no longer counts, so the run before it becomes the last.
std::vector<JournalRecord> lastStandingRun(const std::vector<JournalRecord>& records);

// One run's writer. Each record reaches the file (the kernel's cache) when it
// is appended, so a killed process loses none; flush() also waits for the disk.
class RenameJournalWriter {
public:
    RenameJournalWriter() = default;
    RenameJournalWriter(RenameJournalWriter&& other) noexcept;
    RenameJournalWriter& operator=(RenameJournalWriter&& other) noexcept;
    RenameJournalWriter(const RenameJournalWriter&) = delete;
    RenameJournalWriter& operator=(const RenameJournalWriter&) = delete;
    ~RenameJournalWriter();

    // Opens (creating when missing) the journal for appending; the first rename
    // appended is preceded by a run line. "" or why not.
    std::string open(const std::string& file);
    bool isOpen() const { return fd_ >= 0; }

    std::string appendRename(std::string_view oldPath, std::string_view newPath, std::string_view signature,
                             std::string_view type);
    // Unlike a rename, an undo begins no run: it takes back one.
    std::string appendUndo(std::string_view oldPath, std::string_view newPath, std::string_view signature,
                           std::string_view type);
    std::string appendFailed(std::string_view oldPath, std::string_view newPath);
    std::string appendSaved();
    // Waits until what was appended is on the disk.
    std::string flush();

private:
    std::string appendLine(const std::string& line);

    int fd_ = -1;
    bool runWritten_ = false;
    std::string file_;
};

// Field escaping of the journal's lines, shared by reader and writer.
std::string escapeJournalField(std::string_view field);
std::string unescapeJournalField(std::string_view field);

}  // namespace vex
