// The files-dropped text is split into paths. Whatever it holds, no path may be empty
// or contain the "\r\n" that separates paths, and joining the paths the way the drop
// target does and splitting again must give the same paths: no file dropped is lost,
// doubled or merged with its neighbour.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "flow/drop.h"
#include "runtime/drop_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> paths = vex::splitDroppedPaths(text);
    std::size_t separators = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
        ++separators;
    if (paths.size() > separators + 1) __builtin_trap();
    for (const std::string& path : paths) {
        if (path.empty() || path.find("\r\n") != std::string::npos) __builtin_trap();
    }
    if (vex::splitDroppedPaths(vex::joinDroppedPaths(paths)) != paths) __builtin_trap();
    return 0;
}
