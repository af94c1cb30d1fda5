#include "ident/read_ahead.h"

#include <algorithm>
#include <system_error>

namespace vex {
namespace {

// The reader hands results over in batches, so the lock is taken once per batch, not once per file.
constexpr std::size_t kBatch = 32;

}  // namespace

ReadAhead::ReadAhead(const std::vector<std::string>& paths) : paths_(paths) {
    if (paths_.size() < kThreadedFrom) return;
    headers_.resize(paths_.size());
    try {
        reader_ = std::jthread([this](const std::stop_token& stop) { readAll(stop); });
    } catch (const std::system_error&) {
        // No thread to be had: take() reads each path itself, as for a short list.
    }
}

void ReadAhead::readAll(const std::stop_token& stop) {
    for (std::size_t start = 0; start < paths_.size() && !stop.stop_requested(); start += kBatch) {
        const std::size_t end = std::min(paths_.size(), start + kBatch);
        for (std::size_t i = start; i < end; ++i) headers_[i] = readDroppedHeader(paths_[i]);
        {
            std::lock_guard lock(mutex_);
            publishedCount_ = end;
        }
        published_.notify_one();
    }
}

void ReadAhead::waitFor(std::size_t index) {
    std::unique_lock lock(mutex_);
    published_.wait(lock, [&] { return publishedCount_ > index; });
    knownCount_ = publishedCount_;
}

ExaminedPath ReadAhead::take(std::size_t index) {
    if (!reader_.joinable()) return examineDroppedPath(paths_[index]);
    if (index >= knownCount_) waitFor(index);
    return examinedPathOf(headers_[index]);
}

}  // namespace vex
