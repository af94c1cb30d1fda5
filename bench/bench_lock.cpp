// What the data directory's lock costs an identification: a drop takes the lock
// once, to merge its answers into the list it reads again, so its whole cost is
// that one acquisition (open, flock, the check that no rename is left unsaved).
// Measured side by side in one run: whole identifications of the same files, and
// acquisitions of the lock on the same data directory.
//
//   bench_lock [--files N] [--rounds N]      (the goal is stated for --files 100000)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flow/drop.h"
#include "library/store.h"
#include "library/store_lock.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::string> makeFiles(const std::string& folder, int count) {
    fs::create_directories(folder);
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/FILE%06d.CHK", i);
        paths.push_back(folder + name);
        std::ofstream(paths.back(), std::ios::binary) << "\x89PNG\r\n\x1A\n" << i << " fragment";
    }
    return paths;
}

}  // namespace

int main(int argc, char** argv) {
    int files = 10'000, rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--files") files = std::atoi(argv[i + 1]);
        if (name == "--rounds") rounds = std::atoi(argv[i + 1]);
    }
    const fs::path root = fs::temp_directory_path() / ("bench_lock." + std::to_string(::getpid()));
    const vex::DataDirectory data(root / "data");
    fs::create_directories(data.folder());
    if (const auto store = vex::ensureStoreExists(data.libraryPath());
        store.outcome == vex::StoreCreation::Failed) {
        std::fprintf(stderr, "bench_lock: %s\n", store.error.c_str());
        return 1;
    }
    std::string error;
    const std::vector<std::string> paths = makeFiles((root / "files").string(), files);

    std::vector<double> identifySeconds, lockSeconds;
    constexpr int kAcquisitionsTimed = 1000;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(data.identificationListPath());  // each round records the files anew
        const auto identifyStart = Clock::now();
        const vex::DropOutcome outcome = vex::identifyPaths(data, paths);
        identifySeconds.push_back(std::chrono::duration<double>(Clock::now() - identifyStart).count());
        if (!outcome.error.empty()) {
            std::fprintf(stderr, "bench_lock: %s\n", outcome.error.c_str());
            return 1;
        }
        const auto lockStart = Clock::now();
        for (int i = 0; i < kAcquisitionsTimed; ++i) {
            if (!vex::DataLock::acquire(data, error)) {
                std::fprintf(stderr, "bench_lock: %s\n", error.c_str());
                return 1;
            }
        }
        lockSeconds.push_back(std::chrono::duration<double>(Clock::now() - lockStart).count() /
                              kAcquisitionsTimed);
    }
    fs::remove_all(root);

    const double identify = median(identifySeconds), lock = median(lockSeconds);
    std::printf("%-40s %14s\n", "measure (median of rounds)", "value");
    std::printf("%-40s %12.3f s\n", ("identify, " + std::to_string(files) + " files").c_str(), identify);
    std::printf("%-40s %11.1f us\n", "one lock acquisition and release", lock * 1e6);
    std::printf("%-40s %12.4f %%   (goal: under 5 %%)\n", "lock cost per identification",
                100 * lock / identify);
    return 0;
}
