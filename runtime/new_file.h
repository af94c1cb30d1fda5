#pragma once
// Writes a file that must not exist yet, all or nothing: the bytes go to a
// temporary file in the same folder first and appear under their name only
// when complete, and an existing file of that name (or a directory, or
// anything else) is never replaced.

#include <cstdint>
#include <span>
#include <string>

namespace vex {

enum class NewFileOutcome { Written, AlreadyExists, Failed };

struct NewFileResult {
    NewFileOutcome outcome = NewFileOutcome::Failed;
    std::string error;  // why it failed, for the user
};

NewFileResult writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vex
