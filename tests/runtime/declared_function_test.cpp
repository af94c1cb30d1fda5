#include "runtime/declared_function.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/runtime_error.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

struct Raised {
    int code;
    std::string message;
};

class DeclaredFunctionTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRuntimeErrorState();
        setRuntimeErrorHook([](int code, const std::string& message) -> bool {
            throw Raised{code, message};
        });
    }
    void TearDown() override { resetRuntimeErrorState(); }

    Raised raisedBy(std::string_view library, std::string_view function, const std::vector<Value>& args) {
        try {
            callDeclaredFunction(library, function, args);
        } catch (const Raised& raised) {
            return raised;
        }
        ADD_FAILURE() << "no runtime error";
        return {};
    }

    test::TempDir temp_;
    std::filesystem::path directory{temp_.path()};
};

TEST_F(DeclaredFunctionTest, pathIsDirectoryAnswersFromTheFileSystem) {
    const std::string file = (directory / "a.txt").string();
    std::ofstream(file) << "x";
    EXPECT_NE(callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value(directory.string())}), 0);
    EXPECT_NE(callDeclaredFunction("SHLWAPI.DLL", "PathIsDirectoryA", {Value(directory.string())}), 0);
    EXPECT_EQ(callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value(file)}), 0);
    EXPECT_EQ(callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value(file + "/missing")}), 0);
    EXPECT_EQ(callDeclaredFunction("shlwapi.dll", "PathIsDirectoryA", {Value("")}), 0);
}

TEST_F(DeclaredFunctionTest, otherFunctionsComeFromSharedLibraries) {
    EXPECT_EQ(callDeclaredFunction("libc.so.6", "strlen", {Value("hello")}), 5);
    EXPECT_EQ(callDeclaredFunction("", "abs", {Value(std::int32_t{-7})}), 7);
    // The second call uses the address resolved by the first.
    EXPECT_EQ(callDeclaredFunction("libc.so.6", "strlen", {Value("")}), 0);
    EXPECT_EQ(callDeclaredFunction("libc.so.6", "memcmp",
                                   {Value(ByteSet{1, 2}), Value(ByteSet{1, 2}), Value(std::int64_t{2})}),
              0);
}

TEST_F(DeclaredFunctionTest, missingExportRaisesTheErrorNamingLibraryAndFunction) {
    const Raised named = raisedBy("nosuch-vexorin.dll", "PathIsDirectoryA", {Value("/")});
    EXPECT_EQ(named.code, 0);
    EXPECT_EQ(named.message, "无法找到指定DLL库文件“nosuch-vexorin.dll”中的输出命令“PathIsDirectoryA”");

    const Raised unnamed = raisedBy("", "vexorinNoSuchFunction", {});
    EXPECT_EQ(unnamed.message, "无法找到指定DLL库文件中的输出命令“vexorinNoSuchFunction”");

    // Shared libraries have no export ordinals.
    EXPECT_EQ(raisedBy("libc.so.6", "#12", {}).code, 0);
    EXPECT_EQ(raisedBy("shlwapi.dll", "PathIsDirectoryW", {Value("/")}).code, 0);
}

TEST_F(DeclaredFunctionTest, argumentsThatAreNotIntegersOrPointersAreRefused) {
    EXPECT_EQ(raisedBy("libc.so.6", "strlen", {Value(1.5)}).code, runtime_error_code::kArgumentType);
    const std::vector<Value> seven(7, Value(std::int32_t{1}));
    EXPECT_EQ(raisedBy("libc.so.6", "strlen", seven).code, runtime_error_code::kArgumentType);
}

}  // namespace
}  // namespace vex
