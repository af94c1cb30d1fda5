#include "ident/uring_reads.h"

#include <fcntl.h>
#include <liburing.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace vex {
namespace {

bool supportsOpenAndRead(io_uring& ring) {
    io_uring_probe* probe = io_uring_get_probe_ring(&ring);
    if (probe == nullptr) return false;
    const bool supported = io_uring_opcode_supported(probe, IORING_OP_OPENAT) != 0 &&
                           io_uring_opcode_supported(probe, IORING_OP_READ) != 0;
    io_uring_free_probe(probe);
    return supported;
}

}  // namespace

std::unique_ptr<UringReads> UringReads::create(unsigned inFlight) {
    std::unique_ptr<UringReads> reads(new UringReads(inFlight));
    // The submission queue holds one entry per request, so a request always finds a free entry.
    if (io_uring_queue_init(inFlight, reads->ring_.get(), 0) != 0) {
        reads->ring_.reset();
        return nullptr;
    }
    if (!supportsOpenAndRead(*reads->ring_)) return nullptr;
    return reads;
}

UringReads::UringReads(unsigned inFlight) : ring_(std::make_unique<io_uring>()), requests_(inFlight) {
    free_.reserve(inFlight);
    unsubmitted_.reserve(inFlight);
    for (unsigned request = inFlight; request > 0; --request) free_.push_back(request - 1);
}

UringReads::~UringReads() {
    if (ring_) io_uring_queue_exit(ring_.get());
}

void UringReads::run(ReadWindow& window, const std::vector<std::string>& paths) {
    for (;;) {
        const bool stopping = window.stopped();
        while (!stopping && !free_.empty() && next_ < paths.size() &&
               window.roomFor(next_) == ReadWindow::Room::Free) {
            startOpen(next_, paths[next_]);
            ++next_;
        }
        if (idle()) {
            if (stopping || next_ >= paths.size() || !window.waitForRoom(next_)) return;
            continue;
        }
        if (!submitAndWait()) return finishSynchronously(window, paths);
        reapCompletions(window, paths);
    }
}

void UringReads::startOpen(std::size_t index, const std::string& path) {
    const unsigned request = free_.back();
    free_.pop_back();
    requests_[request] = {index, -1, true};
    io_uring_sqe* sqe = io_uring_get_sqe(ring_.get());
    io_uring_prep_openat(sqe, AT_FDCWD, path.c_str(), droppedPathOpenFlags(), 0);
    io_uring_sqe_set_data64(sqe, request);
    unsubmitted_.push_back(request);
}

void UringReads::startRead(unsigned request, unsigned char* bytes) {
    io_uring_sqe* sqe = io_uring_get_sqe(ring_.get());
    io_uring_prep_read(sqe, requests_[request].fd, bytes, kSignatureBytes, 0);
    io_uring_sqe_set_data64(sqe, request);
    unsubmitted_.push_back(request);
}

// False when the ring cannot be used any more.
bool UringReads::submitAndWait() {
    for (;;) {
        const int submitted = io_uring_submit_and_wait(ring_.get(), 1);
        if (submitted >= 0) {
            const auto handedOver =
                std::min<std::size_t>(static_cast<std::size_t>(submitted), unsubmitted_.size());
            unsubmitted_.erase(unsubmitted_.begin(),
                               unsubmitted_.begin() + static_cast<std::ptrdiff_t>(handedOver));
            return true;
        }
        if (submitted == -EINTR) continue;
        if (submitted != -EAGAIN && submitted != -EBUSY) return false;
        // Short of kernel memory, or completions not yet reaped: let what is in flight finish first.
        if (requests_.size() - free_.size() > unsubmitted_.size()) {
            io_uring_cqe* cqe = nullptr;
            const int waited = io_uring_wait_cqe(ring_.get(), &cqe);
            return waited == 0 || waited == -EINTR;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void UringReads::reapCompletions(ReadWindow& window, const std::vector<std::string>& paths) {
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_cqe* cqe = nullptr;
    io_uring_for_each_cqe(ring_.get(), head, cqe) {
        complete(static_cast<unsigned>(io_uring_cqe_get_data64(cqe)), cqe->res, window, paths);
        ++seen;
    }
    io_uring_cq_advance(ring_.get(), seen);
}

// `result` is what the request's open (a file descriptor) or read (a byte count) gave, or -errno.
void UringReads::complete(unsigned request, int result, ReadWindow& window,
                          const std::vector<std::string>& paths) {
    Request& at = requests_[request];
    const bool opening = at.fd < 0;
    if (window.stopped()) {
        // A failed open gives no descriptor, and close(-errno) does nothing.
        ::close(opening ? result : at.fd);
        return release(request);
    }
    const std::string& path = paths[at.index];
    DroppedHeader& header = window.slotFor(at.index);
    if (opening && result < 0) {
        header.kind = kindAfterFailedOpen(path, -result);
    } else if (opening) {
        header.kind = kindOfOpened(result);
        if (header.kind == DroppedHeader::Kind::Header) {
            at.fd = result;
            return startRead(request, header.bytes);
        }
        ::close(result);
        if (header.kind == DroppedHeader::Kind::NoHeader) header.kind = kindWithoutHeader(path);
    } else {
        bool read = result == kSignatureBytes;
        // A short read (the file shrinking, or a signal) is finished as a plain read would be.
        if (result > 0 && result < kSignatureBytes) read = finishHeaderRead(at.fd, header.bytes, result);
        if (result == -EINTR || result == -EAGAIN) read = finishHeaderRead(at.fd, header.bytes, 0);
        ::close(at.fd);
        header.kind = read ? DroppedHeader::Kind::Header : kindWithoutHeader(path);
    }
    window.publish(at.index);
    release(request);
}

// The kernel refused the ring half-way: what it was not given is read here, what it holds is awaited,
// and the remaining paths are read one at a time.
void UringReads::finishSynchronously(ReadWindow& window, const std::vector<std::string>& paths) {
    for (const unsigned request : std::exchange(unsubmitted_, {})) {
        Request& at = requests_[request];
        if (at.fd >= 0) {
            complete(request, -EAGAIN, window, paths);  // reads the header with pread
        } else {
            if (!window.stopped()) {
                window.slotFor(at.index) = readDroppedHeader(paths[at.index]);
                window.publish(at.index);
            }
            release(request);
        }
    }
    while (!idle()) {
        io_uring_cqe* cqe = nullptr;
        const int waited = io_uring_wait_cqe(ring_.get(), &cqe);
        if (waited == -EINTR) continue;
        if (waited != 0) break;
        complete(static_cast<unsigned>(io_uring_cqe_get_data64(cqe)), cqe->res, window, paths);
        io_uring_cqe_seen(ring_.get(), cqe);
    }
    // Not even waiting works: the caller must not wait for these forever, so they are read here too.
    for (unsigned request = 0; request < requests_.size(); ++request) {
        if (!requests_[request].busy) continue;
        if (!window.stopped()) {
            window.slotFor(requests_[request].index) = readDroppedHeader(paths[requests_[request].index]);
            window.publish(requests_[request].index);
        }
        release(request);
    }
    for (; next_ < paths.size() && window.waitForRoom(next_); ++next_) {
        window.slotFor(next_) = readDroppedHeader(paths[next_]);
        window.publish(next_);
    }
}

void UringReads::release(unsigned request) {
    requests_[request] = {};
    free_.push_back(request);
}

}  // namespace vex
