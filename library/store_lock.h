#pragma once
// The data directory's write lock. Every change to a store (set.ini,
// setok.ini, data.mdb) is a read-modify-write made while holding it, so two
// programs on one data directory (two windows, a window and scripts, eight
// scripts) never lose each other's work: the second one reads what the first
// wrote. It is an advisory lock (flock) on "vexorin.lock" beside the stores,
// released by the kernel when its holder dies, so a killed run never leaves
// the directory locked. Readers take no lock: every store is replaced whole
// (INI files by rename, data.mdb by transactions), so a reader sees the store
// before or after a change, never half of it.
//
// Taking the lock also finishes what a killed rename left behind: the
// identification list is brought in line with the rename journal first.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "library/data_directory.h"

namespace vex {

inline constexpr std::string_view kLockFileName = "vexorin.lock";

// How long a run waits for another run's lock before it refuses the change.
inline constexpr int kDefaultLockWaitLimitMs = 30000;
// Tests shorten it; VEXORIN_LOCK_WAIT_MS in the environment sets it for a process.
void setLockWaitLimit(int milliseconds);
int lockWaitLimit();

// What a waiting run is told after a second: another run holds the data
// directory (or the library file) and this one waits for it.
std::string anotherRunIsWritingMessage(const DataDirectory& data);
// Front ends say it where the user looks: the command line on standard error,
// the window in its message. Called on the waiting thread, at most once per wait.
void setLockWaitNotice(std::function<void(const std::string& message)> notice);

class DataLock {
public:
    DataLock(DataLock&& other) noexcept;
    DataLock& operator=(DataLock&& other) noexcept;
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;
    ~DataLock();

    // Waits for the lock (the notice after a second), up to the wait limit.
    // Nothing, with `error` saying why nothing may be changed, when it cannot be
    // had in time or the identification list cannot be reconciled with the journal.
    // A data directory where no lock file can be made (read-only) is not locked:
    // no run can change its stores either, and each write says why.
    static std::optional<DataLock> acquire(const DataDirectory& data, std::string& error);

private:
    explicit DataLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Brings the identification list in line with renames a killed run made on
// disk but never saved (see rename_journal.h). The caller holds the lock.
// "" or why the list could not be brought in line.
std::string reconcileIdentificationList(const DataDirectory& data);

// Reconciles when the journal ends with renames not saved, taking the lock for
// it; does nothing (and takes no lock) otherwise. For readers that show the list.
std::string reconcileIfInterrupted(const DataDirectory& data);

}  // namespace vex
