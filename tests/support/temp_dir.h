#pragma once
// A temporary folder for one test, removed with everything in it afterwards,
// even when the test made folders inside it read-only.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace vex::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexorin-test-XXXXXX").string();
        // Without its folder a test would write next to "/"; stop instead.
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("cannot create a temporary folder for the test");
            std::abort();
        }
        path_ = pattern;
    }
    ~TempDir() {
        if (keep_) return;
        std::error_code ignored;
        // Folders a test made read-only must be writable again for their entries to go.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
            }
        }
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

    // Writes `bytes` to `name` in the folder and returns its full path.
    std::string write(std::string_view name, std::string_view bytes) const {
        const std::string full = file(name);
        std::ofstream(full, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return full;
    }

    // Leaves the folder in place, for a person to look into after a failure.
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool keep_ = false;
};

}  // namespace vex::test
