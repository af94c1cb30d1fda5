#include "ident/read_ahead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::TempDir;

// A mix of everything a drop can hold, repeated so the list is long enough for the reader thread.
std::vector<std::string> mixedPaths(const TempDir& dir, std::size_t count) {
    std::filesystem::create_directory(dir.file("folder"));
    ::mkfifo(dir.file("fifo").c_str(), 0600);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i) {
        switch (i % 5) {
            case 0:
                paths.push_back(dir.write("f" + std::to_string(i), "header-" + std::to_string(1000 + i)));
                break;
            case 1:
                paths.push_back(dir.file("folder"));
                break;
            case 2:
                paths.push_back(dir.file("missing" + std::to_string(i)));
                break;
            case 3:
                paths.push_back(dir.file("fifo"));
                break;
            default:
                paths.push_back(dir.write("short" + std::to_string(i), "ab"));
                break;
        }
    }
    return paths;
}

void expectSameAsReadingInline(ReadAhead& reads, const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const ExaminedPath expected = examineDroppedPath(paths[i]);
        const ExaminedPath got = reads.take(i);
        EXPECT_EQ(got.isDirectory, expected.isDirectory) << paths[i];
        EXPECT_EQ(got.signature, expected.signature) << paths[i];
    }
}

TEST(ReadAhead, givesWhatReadingEachPathInOrderGives) {
    TempDir dir;
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, ReadAhead::kThreadedFrom - 1,
                              ReadAhead::kThreadedFrom, std::size_t{1000}}) {
        const std::vector<std::string> paths = mixedPaths(dir, count);
        ReadAhead reads(paths);
        expectSameAsReadingInline(reads, paths);
    }
}

TEST(ReadAhead, stopsQuietlyWhenTheCallerGivesUpEarly) {
    TempDir dir;
    const std::vector<std::string> paths = mixedPaths(dir, 5000);
    for (std::size_t taken : {0, 1, 40, 2500}) {
        ReadAhead reads(paths);
        for (std::size_t i = 0; i < taken; ++i) reads.take(i);
    }  // each destructor must stop the reader and return, not read all 5,000 paths first or hang
}

}  // namespace
}  // namespace vex
