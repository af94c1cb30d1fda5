#pragma once
// The data directory: the one folder that holds the three stores, under names
// fixed here and nowhere else.

#include <string>
#include <string_view>

namespace vex {

inline constexpr std::string_view kLibraryFileName = "data.mdb";
inline constexpr std::string_view kExperimentListFileName = "set.ini";
inline constexpr std::string_view kIdentificationListFileName = "setok.ini";
// Beside the library ("data.mdb.index"): its lookup index, rebuilt from the
// library whenever it no longer matches it (see index_file.h).
inline constexpr std::string_view kLibraryIndexSuffix = ".index";

inline std::string libraryIndexPathOf(const std::string& libraryPath) {
    return libraryPath + std::string(kLibraryIndexSuffix);
}

class DataDirectory {
public:
    explicit DataDirectory(std::string folder) : folder_(std::move(folder)) {}

    // The folder the program uses now: --data-dir when given, else the default choice.
    static DataDirectory current();

    const std::string& folder() const { return folder_; }
    std::string libraryPath() const { return in(kLibraryFileName); }
    std::string libraryIndexPath() const { return libraryIndexPathOf(libraryPath()); }
    std::string experimentListPath() const { return in(kExperimentListFileName); }
    std::string identificationListPath() const { return in(kIdentificationListFileName); }

private:
    std::string in(std::string_view name) const { return folder_ + "/" + std::string(name); }

    std::string folder_;
};

}  // namespace vex
