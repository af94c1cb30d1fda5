#pragma once
// Storage for the index's large flat tables, which are filled whole right after
// they are made: from a table read back from a file, or with empty slots.

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace vex {

// Blocks of at least kLargeBlockBytes come straight from the system, in huge
// pages where it offers them: filling a table of tens of megabytes then costs a
// few page faults instead of one per 4 KiB (each of them dearer than copying the
// page), and look-ups spread over it miss the address cache less.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;
void* allocateLargeBlock(std::size_t bytes);  // throws std::bad_alloc
void releaseLargeBlock(void* block, std::size_t bytes) noexcept;

// New elements are left as they are rather than cleared: the caller fills them.
template <class T>
struct TableAllocator {
    using value_type = T;
    TableAllocator() = default;
    template <class U>
    TableAllocator(const TableAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes >= kLargeBlockBytes) return static_cast<T*>(allocateLargeBlock(bytes));
        return std::allocator<T>().allocate(count);
    }
    void deallocate(T* items, std::size_t count) noexcept {
        const std::size_t bytes = count * sizeof(T);
        if (bytes >= kLargeBlockBytes) return releaseLargeBlock(items, bytes);
        std::allocator<T>().deallocate(items, count);
    }
    template <class U>
    void construct(U* at) noexcept {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Arguments>
    void construct(U* at, Arguments&&... arguments) {
        std::construct_at(at, std::forward<Arguments>(arguments)...);
    }
    template <class U>
    friend bool operator==(const TableAllocator&, const TableAllocator<U>&) {
        return true;
    }
};

}  // namespace vex
