#pragma once
// Long operations (a drop of thousands of files) report how far they are, so
// the desktop program can show a progress dialog and keep its window painting
// while the operation runs on the one user-interface thread. With no reporter
// installed (command line, tests) reporting costs a pointer test.

#include <cstddef>

namespace vex {

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    virtual void begin(std::size_t total) = 0;
    virtual void advance(std::size_t done) = 0;  // items done so far, of total
    virtual void end() = 0;
};

// Not owned; nullptr removes it.
void setProgressReporter(ProgressReporter* reporter);

// Reports one operation of `total` items: begin now, end when it goes out of
// scope (also on an exception). Nested scopes report only the outermost.
class ProgressScope {
public:
    explicit ProgressScope(std::size_t total);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    void advance(std::size_t done);

private:
    ProgressReporter* reporter_ = nullptr;
};

}  // namespace vex
