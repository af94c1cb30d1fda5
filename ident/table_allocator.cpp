#include "ident/table_allocator.h"

#include <sys/mman.h>

#include <cstdint>

namespace vex {
namespace {

constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

std::size_t roundedUp(std::size_t bytes) {
    return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

}  // namespace

void* allocateLargeBlock(std::size_t bytes) {
    const std::size_t size = roundedUp(bytes);
    // Mapped one huge page larger, then trimmed to a huge-page boundary at both ends.
    void* mapped =
        ::mmap(nullptr, size + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    if (aligned > start) ::munmap(mapped, aligned - start);
    const std::uintptr_t end = start + size + kHugePageBytes;
    if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    // Only a hint: without huge pages the block works the same.
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void releaseLargeBlock(void* block, std::size_t bytes) noexcept { ::munmap(block, roundedUp(bytes)); }

}  // namespace vex
