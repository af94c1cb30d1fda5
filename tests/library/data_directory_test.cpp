#include "library/data_directory.h"

#include <gtest/gtest.h>

#include "runtime/data_dir.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

// --data-dir (given with a trailing slash, as a shell completes it) names every store.
TEST(DataDirectory, overrideNamesEveryStore) {
    test::TempDir dir;
    const std::string data = dir.file("nested/data");
    setDataDirectoryOverride(data + "/");
    const DataDirectory current = DataDirectory::current();
    setDataDirectoryOverride("");
    EXPECT_EQ(current.folder(), data);
    EXPECT_EQ(current.libraryPath(), data + "/data.mdb");
    EXPECT_EQ(current.experimentListPath(), data + "/set.ini");
    EXPECT_EQ(current.identificationListPath(), data + "/setok.ini");
}

}  // namespace
}  // namespace vex
