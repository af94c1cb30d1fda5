#include "runtime/progress.h"

namespace vex {
namespace {

ProgressReporter* installed = nullptr;
int depth = 0;

}  // namespace

void setProgressReporter(ProgressReporter* reporter) { installed = reporter; }

ProgressScope::ProgressScope(std::size_t total) {
    if (depth++ == 0 && installed != nullptr) {
        reporter_ = installed;
        reporter_->begin(total);
    }
}

ProgressScope::~ProgressScope() {
    --depth;
    if (reporter_ != nullptr) reporter_->end();
}

void ProgressScope::advance(std::size_t done) {
    if (reporter_ != nullptr) reporter_->advance(done);
}

}  // namespace vex
