#pragma once
// ReadAhead's io_uring reader: one thread keeps many opens and header reads in flight, so a cold disk
// gets them all at once and can serve them in its own order. Each path takes the steps of
// readDroppedHeader (ident/signature.h); the opens and reads go through the ring, the fstat and close of
// an opened file stay plain calls, which cost no disk access.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "ident/read_window.h"

struct io_uring;

namespace vex {

class UringReads {
public:
    // Null when the kernel refuses io_uring (containers often forbid it) or lacks its open and read.
    static std::unique_ptr<UringReads> create(unsigned inFlight);
    ~UringReads();
    UringReads(const UringReads&) = delete;
    UringReads& operator=(const UringReads&) = delete;

    // Reads `paths` into `window` until every path is read or the window is stopped; returns with nothing
    // in flight and every file it opened closed.
    void run(ReadWindow& window, const std::vector<std::string>& paths);

private:
    struct Request {
        std::size_t index = 0;
        int fd = -1;  // the open file while its header is read; -1 while it is being opened
        bool busy = false;
    };

    explicit UringReads(unsigned inFlight);
    void startOpen(std::size_t index, const std::string& path);
    void startRead(unsigned request, unsigned char* bytes);
    bool submitAndWait();
    void reapCompletions(ReadWindow& window, const std::vector<std::string>& paths);
    void complete(unsigned request, int result, ReadWindow& window, const std::vector<std::string>& paths);
    void finishSynchronously(ReadWindow& window, const std::vector<std::string>& paths);
    void release(unsigned request);
    bool idle() const { return free_.size() == requests_.size(); }

    std::unique_ptr<io_uring> ring_;
    std::vector<Request> requests_;
    std::vector<unsigned> free_;         // requests not in use
    std::vector<unsigned> unsubmitted_;  // requests whose operation is queued but not yet given to the kernel
    std::size_t next_ = 0;               // the first path not yet started
};

}  // namespace vex
