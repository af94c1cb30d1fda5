#include "ident/read_ahead.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "ident/read_window.h"
#include "ident/uring_reads.h"

namespace vex {
namespace {

// N of "name:N", or `otherwise` when there is none.
unsigned countAfter(std::string_view text, std::string_view name, unsigned otherwise) {
    if (text.size() <= name.size() + 1 || text[name.size()] != ':') return otherwise;
    unsigned count = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + name.size() + 1, end, count);
    return error == std::errc() && stop == end && count > 0 ? count : otherwise;
}

// Every reader or request in flight holds a file open. An open refused for want of descriptors would name
// a good file "too short", so most of them are left to the rest of the program.
unsigned withinOpenFileLimit(unsigned wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
    return static_cast<unsigned>(std::clamp<rlim_t>(limit.rlim_cur / 8, 1, std::max(wanted, 1U)));
}

}  // namespace

ReadAheadOptions ReadAheadOptions::fromEnvironment() {
    ReadAheadOptions options;
    const char* chosen = std::getenv("VEXORIN_READ_AHEAD");
    if (chosen == nullptr) return options;
    const std::string_view text(chosen);
    if (text.starts_with("threads")) {
        options.reader = Reader::Threads;
        options.threads = countAfter(text, "threads", options.threads);
    } else if (text.starts_with("uring")) {
        options.inFlight = countAfter(text, "uring", options.inFlight);
    }
    return options;
}

ReadAhead::ReadAhead(const std::vector<std::string>& paths, const ReadAheadOptions& options) : paths_(paths) {
    if (paths_.size() < kThreadedFrom) return;
    window_ = std::make_unique<ReadWindow>(std::max<std::size_t>(options.window, 1));
    if (options.reader == ReadAheadOptions::Reader::Automatic) startUring(options);
    if (readers_.empty()) startThreads(options);
    // No reader to be had: take() reads each path itself, as for a short list.
    if (readers_.empty()) window_.reset();
}

ReadAhead::~ReadAhead() {
    if (window_) window_->stop();
    readers_.clear();
}

void ReadAhead::startUring(const ReadAheadOptions& options) {
    uring_ = UringReads::create(withinOpenFileLimit(options.inFlight));
    if (!uring_) return;
    try {
        readers_.emplace_back([this] { uring_->run(*window_, paths_); });
        reading_ = Reading::Uring;
    } catch (const std::system_error&) {
        uring_.reset();
    }
}

void ReadAhead::startThreads(const ReadAheadOptions& options) {
    const std::size_t count = std::min<std::size_t>(withinOpenFileLimit(options.threads), paths_.size());
    try {
        while (readers_.size() < count) readers_.emplace_back([this] { readOnThread(); });
    } catch (const std::system_error&) {
        // Fewer threads than asked for still read ahead.
    }
    if (!readers_.empty()) reading_ = Reading::Threads;
}

void ReadAhead::readOnThread() {
    for (std::size_t index = nextForThreads_.fetch_add(1, std::memory_order_relaxed);
         index < paths_.size() && window_->waitForRoom(index);
         index = nextForThreads_.fetch_add(1, std::memory_order_relaxed)) {
        window_->slotFor(index) = readDroppedHeader(paths_[index]);
        window_->publish(index);
    }
}

ExaminedPath ReadAhead::take(std::size_t index) {
    if (!window_) return examineDroppedPath(paths_[index]);
    ExaminedPath examined = examinedPathOf(window_->waitFor(index));
    window_->release(index);
    return examined;
}

}  // namespace vex
