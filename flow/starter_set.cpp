#include "flow/starter_set.h"

#include <filesystem>
#include <vector>

#include "runtime/data_dir.h"

namespace vex {

std::string starterSetPath() {
    const std::filesystem::path program = runDirectory();
    const std::vector<std::filesystem::path> candidates = {
        program / "data" / kStarterSetFileName,
        program / ".." / "share" / "vexorin" / kStarterSetFileName,
        std::filesystem::path(VEXORIN_SOURCE_DIR) / "data" / kStarterSetFileName,
    };
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error)) continue;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(candidate, error);
        return (error ? candidate : canonical).string();
    }
    return {};
}

}  // namespace vex
