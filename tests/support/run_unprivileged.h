#pragma once
// Runs a check without root's power to ignore permission bits, so a test of a
// refused write means the same whether the tests run as root or not.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "tests/support/temp_dir.h"

namespace vex::test {

// Runs `check` in a child process, as user "nobody" when the tests run as root and
// as the current user otherwise. True when the check returned true. The folder is
// opened up for that user, so everything the check touches must lie inside it.
inline bool runUnprivileged(const TempDir& folder, const std::function<bool()>& check) {
    ::chmod(folder.path().c_str(), 0777);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vex::test
