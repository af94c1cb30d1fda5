#pragma once
// Small helpers shared by the benchmarks: a folder of sample files, a bare
// header-read loop to compare against, median timing and a printed table.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vex::bench {

class SampleFiles {
public:
    // `count` files of 16..4095 random bytes in a fresh temporary folder.
    explicit SampleFiles(int count, unsigned seed = 42) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexorin-bench-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
        std::mt19937 random(seed);
        std::string content;
        for (int i = 0; i < count; ++i) {
            content.resize(16 + random() % 4080);
            for (char& c : content)
                c = static_cast<char>(random() % 7);  // few distinct headers, like real files
            const std::string path = folder_ + "/FILE" + std::to_string(i) + ".CHK";
            std::ofstream(path, std::ios::binary)
                .write(content.data(), static_cast<std::streamsize>(content.size()));
            paths_.push_back(path);
        }
    }
    ~SampleFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::vector<std::string>& paths() const { return paths_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::vector<std::string> paths_;
};

// The floor every identification pays: open, read 10 bytes, close.
inline long bareHeaderReadLoop(const std::vector<std::string>& paths) {
    long total = 0;
    char buffer[10];
    for (const std::string& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) continue;
        total += ::read(fd, buffer, sizeof buffer);
        ::close(fd);
    }
    return total;
}

// Median wall time in seconds of `rounds` runs of `work`.
inline double medianSeconds(int rounds, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct TableRow {
    std::string what;
    double perItemMicros;
    double ratio;  // to the baseline row
    std::string goal;
};

inline void printTable(const std::string& title, const std::vector<TableRow>& rows) {
    std::printf("\n%s\n", title.c_str());
    std::printf("%-52s %14s %10s  %s\n", "measurement", "us per item", "ratio", "goal");
    for (const TableRow& row : rows)
        std::printf("%-52s %14.3f %9.2fx  %s\n", row.what.c_str(), row.perItemMicros, row.ratio,
                    row.goal.c_str());
}

}  // namespace vex::bench
