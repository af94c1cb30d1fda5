#pragma once
// The memory service. Texts, byte-sets and arrays are C++ objects that own their
// storage, so callers never allocate or release blocks by hand; what remains is that
// running out of memory is a fatal runtime error, never a result a caller must check.

#include <cstddef>
#include <string>

namespace vex {

// "分配 N 字节内存失败!" with the byte count.
std::string allocationFailureMessage(std::size_t bytes);

// Raises the allocation runtime error (code 0) for a request of `bytes` bytes.
[[noreturn]] void reportAllocationFailure(std::size_t bytes);

// Makes every failed operator new a runtime error. operator new does not tell its
// handler how many bytes it asked for, so that message shows "?" in place of the
// count. A reserve is set aside and released first, so the message can still be
// built and shown when the heap is exhausted.
void installAllocationFailureHandler();

}  // namespace vex
