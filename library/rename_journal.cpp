#include "library/rename_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <utility>

#include "runtime/files.h"

namespace vex {
namespace {

constexpr std::string_view kHeader = "vexorin-rename-journal\t1";
constexpr std::string_view kRunTag = "run";
constexpr std::string_view kRenameTag = "rename";
constexpr std::string_view kSavedTag = "saved";
constexpr std::string_view kUndoTag = "undo";
constexpr std::string_view kFailedTag = "failed";

// An undo read as the move it makes: from the rename's new path back to its old one.
JournalRecord asMove(const JournalRecord& record) {
    JournalRecord move = record;
    if (record.kind == JournalRecord::Kind::Undo) {
        move.kind = JournalRecord::Kind::Rename;
        std::swap(move.oldPath, move.newPath);
    }
    return move;
}

std::string pathsKey(const JournalRecord& record) { return record.oldPath + '\0' + record.newPath; }

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

std::int64_t numberOf(std::string_view text) {
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string failure(const std::string& file, std::string_view what, int error) {
    return "Cannot " + std::string(what) + " the rename journal '" + file +
           "'. Reason: " + std::strerror(error);
}

}  // namespace

std::string renameJournalPath(const DataDirectory& data) {
    return data.folder() + "/" + std::string(kRenameJournalFileName);
}

std::string escapeJournalField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string unescapeJournalField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        switch (field[++i]) {
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += field[i];
        }
    }
    return out;
}

std::string readRenameJournal(const std::string& file, std::vector<JournalRecord>& records,
                              std::uint64_t fromOffset) {
    records.clear();
    std::string content, error;
    if (!readWholeFile(file, content, &error)) {
        if (::access(file.c_str(), F_OK) != 0 && errno == ENOENT) return {};
        return error;
    }
    std::string_view rest = content;
    rest.remove_prefix(std::min<std::uint64_t>(fromOffset, rest.size()));
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1)) {
        const std::vector<std::string_view> fields = splitFields(rest.substr(0, end));
        JournalRecord record;
        const bool undo = fields[0] == kUndoTag;
        if ((fields[0] == kRenameTag || undo) && fields.size() >= 5) {
            if (undo) record.kind = JournalRecord::Kind::Undo;
            record.oldPath = unescapeJournalField(fields[1]);
            record.newPath = unescapeJournalField(fields[2]);
            record.signature = unescapeJournalField(fields[3]);
            record.type = unescapeJournalField(fields[4]);
        } else if (fields[0] == kFailedTag && fields.size() >= 3) {
            record.kind = JournalRecord::Kind::Failed;
            record.oldPath = unescapeJournalField(fields[1]);
            record.newPath = unescapeJournalField(fields[2]);
        } else if (fields[0] == kSavedTag) {
            record.kind = JournalRecord::Kind::Saved;
        } else if (fields[0] == kRunTag && fields.size() >= 3) {
            record.kind = JournalRecord::Kind::Run;
            record.time = numberOf(fields[1]);
            record.processId = numberOf(fields[2]);
        } else {
            continue;  // the header, or a kind a later version added
        }
        records.push_back(std::move(record));
    }
    return {};
}

std::uint64_t renameJournalSize(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

std::uint64_t renameJournalSavedSize(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    constexpr std::string_view kSavedLine = "\nsaved\n";
    constexpr std::size_t kBlock = 64 * 1024;
    std::string block;
    std::uint64_t end = renameJournalSize(file);
    std::uint64_t found = 0;
    // Read backwards a block at a time; each block overlaps the next one's start, so a line across two is
    // seen.
    while (end > 0 && found == 0) {
        const std::uint64_t start = end > kBlock ? end - kBlock : 0;
        block.resize(end - start);
        if (::pread(fd, block.data(), block.size(), static_cast<off_t>(start)) !=
            static_cast<ssize_t>(block.size()))
            break;
        if (const std::size_t at = block.rfind(kSavedLine); at != std::string::npos)
            found = start + at + kSavedLine.size();
        end = start == 0 ? 0 : start + kSavedLine.size() - 1;
        if (start == 0) break;
    }
    ::close(fd);
    return found;
}

std::vector<JournalRecord> renamesSince(const std::string& file, std::uint64_t offset) {
    std::vector<JournalRecord> records, renames;
    if (renameJournalSize(file) <= offset) return renames;
    readRenameJournal(file, records, offset);
    for (JournalRecord& record : records)
        if (record.kind == JournalRecord::Kind::Rename || record.kind == JournalRecord::Kind::Undo)
            renames.push_back(asMove(record));
    return renames;
}

std::vector<JournalRecord> unsavedRenames(const std::vector<JournalRecord>& records) {
    std::vector<JournalRecord> unsaved;
    for (const JournalRecord& record : records) {
        if (record.kind == JournalRecord::Kind::Saved) unsaved.clear();
        if (record.kind == JournalRecord::Kind::Rename || record.kind == JournalRecord::Kind::Undo)
            unsaved.push_back(asMove(record));
    }
    return unsaved;
}

std::vector<JournalRecord> lastStandingRun(const std::vector<JournalRecord>& records) {
    struct Entry {
        const JournalRecord* rename;
        bool standing;
    };
    struct Latest {
        std::size_t run, entry;
        JournalRecord::Kind lastKind;  // what the last record on these paths tried
    };
    std::vector<std::vector<Entry>> runs;
    std::unordered_map<std::string, Latest> latest;
    for (const JournalRecord& record : records) {
        switch (record.kind) {
            case JournalRecord::Kind::Run:
                runs.emplace_back();
                break;
            case JournalRecord::Kind::Rename:
                if (runs.empty()) runs.emplace_back();
                runs.back().push_back({&record, true});
                latest[pathsKey(record)] = {runs.size() - 1, runs.back().size() - 1, record.kind};
                break;
            case JournalRecord::Kind::Undo:
            case JournalRecord::Kind::Failed: {
                auto found = latest.find(pathsKey(record));
                if (found == latest.end()) break;
                Entry& entry = runs[found->second.run][found->second.entry];
                // A failed undo leaves the rename standing; a failed rename never stood.
                entry.standing = record.kind == JournalRecord::Kind::Failed &&
                                 found->second.lastKind == JournalRecord::Kind::Undo;
                found->second.lastKind = record.kind;
                break;
            }
            case JournalRecord::Kind::Saved:
                break;
        }
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        std::vector<JournalRecord> standing;
        for (const Entry& entry : *run)
            if (entry.standing) standing.push_back(*entry.rename);
        if (!standing.empty()) return standing;
    }
    return {};
}

RenameJournalWriter::RenameJournalWriter(RenameJournalWriter&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), runWritten_(other.runWritten_), file_(std::move(other.file_)) {}

RenameJournalWriter& RenameJournalWriter::operator=(RenameJournalWriter&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        runWritten_ = other.runWritten_;
        file_ = std::move(other.file_);
    }
    return *this;
}

RenameJournalWriter::~RenameJournalWriter() {
    if (fd_ >= 0) ::close(fd_);
}

std::string RenameJournalWriter::open(const std::string& file) {
    file_ = file;
    fd_ = ::open(file.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) return failure(file, "open", errno);
    // A journal begins with its format line; a kill right after creating it leaves
    // an empty file, which is begun again here.
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size == 0) {
        if (std::string error = appendLine(std::string(kHeader)); !error.empty()) return error;
    } else if (char last = '\n'; size > 0 && ::pread(fd_, &last, 1, size - 1) == 1 && last != '\n') {
        // A line cut short (a full disk) is ended, so it cannot swallow the next record.
        if (std::string error = appendLine({}); !error.empty()) return error;
    }
    return {};
}

std::string RenameJournalWriter::appendRename(std::string_view oldPath, std::string_view newPath,
                                              std::string_view signature, std::string_view type) {
    // A run line heads each run's renames; a run that renames nothing leaves none.
    if (!runWritten_) {
        if (std::string error = appendLine(std::string(kRunTag) + "\t" + std::to_string(std::time(nullptr)) +
                                           "\t" + std::to_string(::getpid()));
            !error.empty())
            return error;
        runWritten_ = true;
    }
    return appendLine(std::string(kRenameTag) + "\t" + escapeJournalField(oldPath) + "\t" +
                      escapeJournalField(newPath) + "\t" + escapeJournalField(signature) + "\t" +
                      escapeJournalField(type));
}

std::string RenameJournalWriter::appendUndo(std::string_view oldPath, std::string_view newPath,
                                            std::string_view signature, std::string_view type) {
    return appendLine(std::string(kUndoTag) + "\t" + escapeJournalField(oldPath) + "\t" +
                      escapeJournalField(newPath) + "\t" + escapeJournalField(signature) + "\t" +
                      escapeJournalField(type));
}

std::string RenameJournalWriter::appendFailed(std::string_view oldPath, std::string_view newPath) {
    return appendLine(std::string(kFailedTag) + "\t" + escapeJournalField(oldPath) + "\t" +
                      escapeJournalField(newPath));
}

std::string RenameJournalWriter::appendSaved() { return appendLine(std::string(kSavedTag)); }

std::string RenameJournalWriter::flush() {
    if (fd_ >= 0 && ::fdatasync(fd_) != 0) return failure(file_, "write", errno);
    return {};
}

std::string RenameJournalWriter::appendLine(const std::string& line) {
    if (fd_ < 0) return "The rename journal is not open";
    // One write per line: with O_APPEND a line is never interleaved with another
    // writer's and a kill leaves at most this line short, which readers skip.
    const std::string bytes = line + "\n";
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return failure(file_, "write", written < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(written);
    }
    return {};
}

}  // namespace vex
