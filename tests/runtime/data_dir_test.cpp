#include "runtime/data_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/support/run_unprivileged.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::ScopedEnv;
using test::TempDir;

class DataDirTest : public ::testing::Test {
protected:
    void TearDown() override { setDataDirectoryOverride(""); }
    TempDir dir;
};

TEST_F(DataDirTest, runDirectoryIsTheProgramsFolderWithoutTrailingSlash) {
    const std::string expected = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    EXPECT_EQ(runDirectory(), expected);
    EXPECT_NE(runDirectory().back(), '/');
}

TEST_F(DataDirTest, overrideIsTheDataDirectoryAndIsCreated) {
    const std::string data = dir.file("nested/data");
    setDataDirectoryOverride(data + "/");
    EXPECT_EQ(dataDirectory(), data);
    EXPECT_TRUE(std::filesystem::is_directory(data));

    setDataDirectoryOverride("");
    EXPECT_EQ(dataDirectory(), defaultDataDirectory(runDirectory()));
}

TEST_F(DataDirTest, aWritableProgramFolderKeepsTheStores) {
    ScopedEnv xdg("XDG_DATA_HOME", dir.file("xdg").c_str());
    EXPECT_EQ(defaultDataDirectory(dir.path()), dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir.file("xdg")));
}

TEST_F(DataDirTest, anInstalledProgramKeepsTheStoresInTheUsersDataFolder) {
    std::filesystem::create_directories(dir.file("prefix/bin"));
    std::filesystem::create_directories(dir.file("prefix/share/doc/vexorin"));
    ScopedEnv xdg("XDG_DATA_HOME", dir.file("xdg").c_str());
    EXPECT_EQ(defaultDataDirectory(dir.file("prefix/bin")), dir.file("xdg/vexorin"));
}

struct FallbackCase {
    const char* label;
    const char* xdgDataHome;  // relative to the scratch folder when it starts with "/", nullptr: unset
    const char* expected;     // relative to the scratch folder
};

class DataDirFallbackTest : public DataDirTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(DataDirFallbackTest, anUnusableProgramFolderFallsBackToTheUsersDataFolder) {
    const FallbackCase& c = GetParam();
    const std::string xdgValue = c.xdgDataHome && c.xdgDataHome[0] == '/'
                                     ? dir.path() + c.xdgDataHome
                                     : (c.xdgDataHome ? c.xdgDataHome : "");
    ScopedEnv home("HOME", dir.file("home").c_str());
    ScopedEnv xdg("XDG_DATA_HOME", c.xdgDataHome ? xdgValue.c_str() : nullptr);
    const std::string expected = dir.path() + c.expected;
    // A program folder that has gone missing cannot take the stores.
    EXPECT_EQ(defaultDataDirectory(dir.file("no-such-program-folder")), expected) << c.label;
    EXPECT_TRUE(std::filesystem::is_directory(expected)) << c.label;
}

INSTANTIATE_TEST_SUITE_P(Environments, DataDirFallbackTest,
                         ::testing::Values(FallbackCase{"xdg set", "/xdg", "/xdg/vexorin"},
                                           FallbackCase{"xdg with slash", "/xdg/", "/xdg/vexorin"},
                                           FallbackCase{"xdg unset", nullptr, "/home/.local/share/vexorin"},
                                           FallbackCase{"xdg empty", "", "/home/.local/share/vexorin"},
                                           FallbackCase{"xdg relative", "relative/xdg",
                                                        "/home/.local/share/vexorin"}));

TEST_F(DataDirTest, aReadOnlyProgramFolderFallsBack) {
    std::filesystem::create_directory(dir.file("program"));
    ::chmod(dir.file("program").c_str(), 0555);
    ScopedEnv xdg("XDG_DATA_HOME", dir.file("xdg").c_str());
    EXPECT_TRUE(test::runUnprivileged(dir, [&] {
        return defaultDataDirectory(dir.file("program")) == dir.file("xdg/vexorin") &&
               std::filesystem::is_directory(dir.file("xdg/vexorin"));
    }));
}

}  // namespace
}  // namespace vex
