#pragma once
// The hand-over between ReadAhead's readers and its caller: a ring of result slots, one per path being read
// or read and not yet taken. Readers fill paths in any order; the caller takes them in drop order. A reader
// may work on a path only while it lies within `capacity` paths of the caller, which bounds the memory, the
// open files and the work wasted when the caller stops early.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "ident/signature.h"

namespace vex {

class ReadWindow {
public:
    explicit ReadWindow(std::size_t capacity) : capacity_(capacity), slots_(new Slot[capacity]) {}

    // Readers.
    enum class Room : unsigned char { Free, Full, Stopped };
    Room roomFor(std::size_t index) const {
        const std::size_t taken = taken_.load(std::memory_order_acquire);
        if (taken == kStopped) return Room::Stopped;
        return index - taken < capacity_ ? Room::Free : Room::Full;
    }
    // Waits until `index` lies within the window; false once the caller has stopped.
    bool waitForRoom(std::size_t index) {
        for (;;) {
            const std::size_t taken = taken_.load(std::memory_order_acquire);
            if (taken == kStopped) return false;
            if (index - taken < capacity_) return true;
            taken_.wait(taken, std::memory_order_acquire);
        }
    }
    bool stopped() const { return taken_.load(std::memory_order_acquire) == kStopped; }
    DroppedHeader& slotFor(std::size_t index) { return slots_[index % capacity_].header; }
    void publish(std::size_t index) {
        Slot& slot = slots_[index % capacity_];
        slot.holds.store(stampOf(index), std::memory_order_release);
        slot.holds.notify_one();
    }

    // The caller.
    const DroppedHeader& waitFor(std::size_t index) {
        Slot& slot = slots_[index % capacity_];
        const std::uint32_t wanted = stampOf(index);
        for (std::uint32_t held = slot.holds.load(std::memory_order_acquire); held != wanted;
             held = slot.holds.load(std::memory_order_acquire))
            slot.holds.wait(held, std::memory_order_acquire);
        return slot.header;
    }
    // Everything up to `index` is taken: its slot may be filled again.
    void release(std::size_t index) {
        taken_.store(index + 1, std::memory_order_release);
        taken_.notify_all();
    }
    void stop() {
        taken_.store(kStopped, std::memory_order_release);
        taken_.notify_all();
    }

private:
    static constexpr std::size_t kStopped = std::numeric_limits<std::size_t>::max();
    // The slot of `index` holds either it or the path `capacity_` before it, so 32 bits tell them apart
    // (and fit the futex that waiting uses).
    static std::uint32_t stampOf(std::size_t index) { return static_cast<std::uint32_t>(index + 1); }

    struct Slot {
        DroppedHeader header;
        std::atomic<std::uint32_t> holds{0};  // stampOf the index whose header is here; 0: none yet
    };

    const std::size_t capacity_;
    std::unique_ptr<Slot[]> slots_;
    // How many paths the caller has taken (all below it are free), or kStopped.
    std::atomic<std::size_t> taken_{0};
};

}  // namespace vex
