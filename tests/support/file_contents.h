#pragma once
// Writing a file of given bytes anywhere, and reading back what a program wrote.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace vex::test {

// Creates or replaces `path` with exactly `bytes` (which may hold zero bytes).
inline void writeAll(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole content of a file; empty when it cannot be read.
inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The number of entries in a folder (0 when it cannot be read), to catch files left behind.
inline int entryCount(const std::string& folder) {
    std::error_code ignored;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored)) {
        ++count;
    }
    return count;
}

}  // namespace vex::test
