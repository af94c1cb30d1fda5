#include "runtime/memory.h"

#include <memory>
#include <new>

#include "runtime/runtime_error.h"

namespace vex {
namespace {

constexpr std::size_t kReserveBytes = 1 << 20;

std::unique_ptr<char[]>& reserve() {
    static std::unique_ptr<char[]> block;
    return block;
}

std::string failureMessage(const std::string& count) { return "分配 " + count + " 字节内存失败!"; }

void onAllocationFailure() {
    reserve().reset();
    raiseRuntimeError(0, failureMessage("?"));
}

}  // namespace

std::string allocationFailureMessage(std::size_t bytes) { return failureMessage(std::to_string(bytes)); }

void reportAllocationFailure(std::size_t bytes) {
    reserve().reset();
    raiseRuntimeError(0, allocationFailureMessage(bytes));
}

void installAllocationFailureHandler() {
    if (!reserve()) reserve().reset(new (std::nothrow) char[kReserveBytes]);
    std::set_new_handler(onAllocationFailure);
}

}  // namespace vex
