#pragma once
// Examines the paths of a long drop on a second thread, in drop order, while the
// caller looks each one up and records it. Opening and reading headers is mostly
// waiting on the file system; overlapping it with the lookups and the list
// bookkeeping lets a drop of many files take little more than its reads. The
// caller still sees every path in order, one at a time, on its own thread, so
// progress reports and event processing stay where they were.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "ident/signature.h"

namespace vex {

class ReadAhead {
public:
    // Below this many paths the reads happen in take(), on the caller's thread:
    // a thread is not worth starting for a handful of files.
    static constexpr std::size_t kThreadedFrom = 64;

    // `paths` must outlive this object and not change while it lives.
    explicit ReadAhead(const std::vector<std::string>& paths);
    // Stops the reader after the path it is on and waits for it.
    ~ReadAhead() = default;
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // What examineDroppedPath says of paths[index]. Each index is taken once, in increasing order.
    ExaminedPath take(std::size_t index);

private:
    void readAll(const std::stop_token& stop);
    void waitFor(std::size_t index);

    const std::vector<std::string>& paths_;
    std::vector<DroppedHeader> headers_;
    std::mutex mutex_;
    std::condition_variable published_;
    std::size_t publishedCount_ = 0;  // guarded by mutex_: headers_[0, publishedCount_) is complete
    std::size_t knownCount_ = 0;      // the caller's last look at publishedCount_
    // Last, so the reader is stopped and joined before the results it writes are destroyed.
    std::jthread reader_;
};

}  // namespace vex
