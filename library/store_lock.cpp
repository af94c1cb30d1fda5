#include "library/store_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "library/ini_lists.h"
#include "library/rename_journal.h"
#include "runtime/sqlite.h"
#include "runtime/translation.h"

namespace vex {
namespace {

int limitFromEnvironment() {
    if (const char* text = std::getenv("VEXORIN_LOCK_WAIT_MS"); text && *text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == '\0' && value >= 0 && value <= 24L * 3600 * 1000) return static_cast<int>(value);
    }
    return kDefaultLockWaitLimitMs;
}

std::atomic<int>& waitLimit() {
    static std::atomic<int> limit{limitFromEnvironment()};
    return limit;
}

std::mutex g_noticeMutex;
std::function<void(const std::string&)> g_notice;

void giveNotice(const std::string& message) {
    std::function<void(const std::string&)> notice;
    {
        std::lock_guard lock(g_noticeMutex);
        notice = g_notice;
    }
    if (notice) notice(message);
}

bool entryExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Whether the journal's last line is "saved" (or there is no journal): then
// nothing is left to reconcile. Reads only the end of the file.
bool journalEndsSaved(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    char tail[64];
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const off_t from = size > static_cast<off_t>(sizeof tail) ? size - static_cast<off_t>(sizeof tail) : 0;
    const ssize_t got = size > 0 ? ::pread(fd, tail, static_cast<std::size_t>(size - from), from) : 0;
    ::close(fd);
    if (got < 0) return false;
    const std::string_view end(tail, static_cast<std::size_t>(got));
    // A journal holding only its header and run lines has nothing unsaved either;
    // the full read decides that case.
    return size == 0 || end.ends_with("\nsaved\n");
}

}  // namespace

void setLockWaitLimit(int milliseconds) { waitLimit() = std::max(0, milliseconds); }
int lockWaitLimit() { return waitLimit(); }

std::string anotherRunIsWritingMessage(const DataDirectory& data) {
    return message("Another run is writing to the stores in '%1'; waiting for it to finish.",
                   {data.folder()});
}

void setLockWaitNotice(std::function<void(const std::string&)> notice) {
    {
        std::lock_guard lock(g_noticeMutex);
        g_notice = notice;
    }
    // SQLite's own wait for another program's lock on data.mdb gives the same notice.
    if (!notice) {
        sqlite::setBusyNotice({});
        return;
    }
    sqlite::setBusyNotice([notice] {
        notice(message("Another run is writing to the confirmed library; waiting for it to finish."));
    });
}

DataLock::DataLock(DataLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DataLock& DataLock::operator=(DataLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

DataLock::~DataLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

std::optional<DataLock> DataLock::acquire(const DataDirectory& data, std::string& error) {
    const std::string file = data.folder() + "/" + std::string(kLockFileName);
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOENT) return DataLock(-1);
        error = "Cannot lock the data directory '" + data.folder() + "'. Reason: " + std::strerror(errno);
        return std::nullopt;
    }
    DataLock lock(fd);
    const auto start = std::chrono::steady_clock::now();
    bool noticed = false;
    for (int attempt = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++attempt) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            error = "Cannot lock the data directory '" + data.folder() + "'. Reason: " + std::strerror(errno);
            return std::nullopt;
        }
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        if (waited >= lockWaitLimit()) {
            error = "Another run has been writing to the stores in '" + data.folder() + "' for " +
                    std::to_string(waited / 1000) +
                    " s; nothing was changed. Try again when it has finished.";
            return std::nullopt;
        }
        if (!noticed && waited >= sqlite::kBusyNoticeAfterMs) {
            noticed = true;
            giveNotice(anotherRunIsWritingMessage(data));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 20 ? 1 : 10));
    }
    if (!journalEndsSaved(renameJournalPath(data))) {
        error = reconcileIdentificationList(data);
        if (!error.empty()) return std::nullopt;
    }
    return lock;
}

std::string reconcileIdentificationList(const DataDirectory& data) {
    const std::string journalFile = renameJournalPath(data);
    std::vector<JournalRecord> records;
    if (std::string error = readRenameJournal(journalFile, records); !error.empty()) return error;
    const std::vector<JournalRecord> unsaved = unsavedRenames(records);
    IdentificationList list(data.identificationListPath());
    if (std::string error = list.load(); !error.empty()) return error;
    // The disk decides: a rename happened when the old name is gone and the new one is there.
    for (const JournalRecord& rename : unsaved) {
        if (!list.contains(rename.oldPath) || list.contains(rename.newPath)) continue;
        if (entryExists(rename.oldPath) || !entryExists(rename.newPath)) continue;
        list.move(rename.oldPath, rename.newPath, rename.signature, rename.type);
    }
    if (std::string error = list.save(); !error.empty()) return error;
    RenameJournalWriter journal;
    if (std::string error = journal.open(journalFile); !error.empty()) return error;
    return journal.appendSaved();
}

std::string reconcileIfInterrupted(const DataDirectory& data) {
    if (journalEndsSaved(renameJournalPath(data))) return {};
    std::string error;
    std::optional<DataLock> lock = DataLock::acquire(data, error);
    return error;
}

}  // namespace vex
