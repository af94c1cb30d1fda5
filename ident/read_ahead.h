#pragma once
// Examines the paths of a long drop ahead of the caller, many at a time, while the caller looks each one
// up and records it. On a cold cache every header costs the disk a wait (the folder entry, the inode, the
// first block); with many reads in flight the disk serves them together instead of one after another,
// and the lookups overlap the waiting. The caller still sees every path in drop order, one at a time, on
// its own thread, so progress reports and event processing stay where they were.
//
// The reads go through io_uring where the kernel allows it, else through a small pool of threads. The
// environment variable VEXORIN_READ_AHEAD=threads (or threads:N for N threads) picks the pool, to compare
// the two or to avoid an io_uring that misbehaves.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ident/signature.h"

namespace vex {

class ReadWindow;
class UringReads;

struct ReadAheadOptions {
    enum class Reader : unsigned char { Automatic, Threads };
    // Automatic: io_uring, falling back to the threads when the kernel refuses it.
    Reader reader = Reader::Automatic;
    unsigned threads = 16;
    // io_uring: paths being opened or read at once.
    unsigned inFlight = 128;
    // How far the readers may get ahead of the caller, in paths.
    std::size_t window = 4096;

    // The defaults, with VEXORIN_READ_AHEAD applied.
    static ReadAheadOptions fromEnvironment();
};

class ReadAhead {
public:
    // Below this many paths the reads happen in take(), on the caller's thread:
    // readers are not worth starting for a handful of files.
    static constexpr std::size_t kThreadedFrom = 64;

    enum class Reading : unsigned char { InTake, Threads, Uring };

    // `paths` must outlive this object and not change while it lives.
    explicit ReadAhead(const std::vector<std::string>& paths,
                       const ReadAheadOptions& options = ReadAheadOptions::fromEnvironment());
    // Stops the readers after the paths at hand, closes every file they opened and waits for them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // What examineDroppedPath says of paths[index]. Each index is taken once, in increasing order.
    ExaminedPath take(std::size_t index);

    Reading reading() const { return reading_; }

private:
    void startUring(const ReadAheadOptions& options);
    void startThreads(const ReadAheadOptions& options);
    void readOnThread();

    const std::vector<std::string>& paths_;
    Reading reading_ = Reading::InTake;
    std::unique_ptr<ReadWindow> window_;
    std::unique_ptr<UringReads> uring_;
    std::atomic<std::size_t> nextForThreads_{0};
    // Last, so the readers are stopped and joined before what they use is destroyed.
    std::vector<std::jthread> readers_;
};

}  // namespace vex
