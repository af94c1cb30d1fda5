#include "ident/signature.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::TempDir;

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (int v : values) text.push_back(static_cast<char>(v));
    return text;
}

TEST(ReadSignatureValue, tenBytesGiveTwentyUpperCaseDigits) {
    TempDir dir;
    const auto path = dir.write("exe", bytes({0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00}));
    EXPECT_EQ(ReadSignatureValue(path), "4D5A9000030000000400");
}

TEST(ReadSignatureValue, padsSmallBytesAndNeverUsesLowerCase) {
    TempDir dir;
    const auto path = dir.write("b", bytes({0x00, 0x0A, 0xFF, 0xab, 0x01, 0x10, 0x7F, 0x80, 0xC0, 0x09}));
    EXPECT_EQ(ReadSignatureValue(path), "000AFFAB01107F80C009");
}

TEST(ReadSignatureValue, largeFileGivesTheValueOfItsFirstTenBytes) {
    TempDir dir;
    const std::string head = "0123456789";
    const auto whole = dir.write("large", head + std::string(1 << 20, 'x'));
    const auto truncated = dir.write("head", head);
    EXPECT_EQ(ReadSignatureValue(whole), ReadSignatureValue(truncated));
    EXPECT_EQ(ReadSignatureValue(whole), "30313233343536373839");
}

class TooShort : public testing::TestWithParam<std::string> {};

TEST_P(TooShort, yieldsTheTooShortText) {
    TempDir dir;
    std::string path = GetParam();
    if (path == "nine") path = dir.write("nine", "123456789");
    if (path == "empty") path = dir.write("empty", "");
    if (path == "folder") path = dir.path();
    if (path == "missing") path = dir.file("does-not-exist");
    if (path == "fifo") {
        path = dir.file("fifo");
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);  // no writer: a blocking open would hang here
    }
    if (path == "socket") {
        path = dir.file("sock");
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof(address.sun_path) - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(ReadSignatureValue(path), kTooShortText);
        ::close(fd);
        return;
    }
    EXPECT_EQ(ReadSignatureValue(path), kTooShortText);
}

INSTANTIATE_TEST_SUITE_P(Files, TooShort,
                         testing::Values("nine", "empty", "folder", "missing", "fifo", "socket", "/dev/zero",
                                         "/dev/null", ""));

struct ClassCase {
    std::string path;
    std::string fileClass;
    std::string trimmedPath;
};

class FileClass : public testing::TestWithParam<ClassCase> {};

TEST_P(FileClass, isTheTextAfterTheLastFullStopOfTheName) {
    std::string path = GetParam().path;
    EXPECT_EQ(FileClassOf(path), GetParam().fileClass);
    EXPECT_EQ(path, GetParam().trimmedPath);
}

INSTANTIATE_TEST_SUITE_P(Paths, FileClass,
                         testing::Values(ClassCase{"/dir/photo.JPG", "JPG", "/dir/photo.JPG"},
                                         ClassCase{"/dir/archive.tar.gz", "gz", "/dir/archive.tar.gz"},
                                         ClassCase{"/dir/README", "无类型", "/dir/README"},
                                         // A full stop in a folder name is not an extension.
                                         ClassCase{"/dir.d/README", "无类型", "/dir.d/README"},
                                         ClassCase{"/dir/name.", "", "/dir/name."},
                                         ClassCase{"  /dir/a.txt  ", "txt", "/dir/a.txt"},
                                         ClassCase{"\u3000/dir/b.doc\u3000 ", "doc", "/dir/b.doc"},
                                         ClassCase{"\t/dir/c.tab\t", "tab\t", "\t/dir/c.tab\t"},
                                         ClassCase{"/图片/照片.图像", "图像", "/图片/照片.图像"},
                                         ClassCase{"", "无类型", ""}, ClassCase{"   ", "无类型", ""}));

}  // namespace
}  // namespace vex

namespace vex {
namespace {

TEST(examineDroppedPath, tellsFoldersFromFilesWithTheSameSignatureValue) {
    test::TempDir dir;
    const auto file = dir.write("a.bin", "0123456789abc");
    const auto tiny = dir.write("tiny", "ab");
    std::filesystem::create_directory(dir.file("folder.d"));
    std::filesystem::create_directory_symlink(dir.file("folder.d"), dir.file("link"));

    for (const std::string& path : {file, tiny, dir.file("missing")}) {
        const ExaminedPath examined = examineDroppedPath(path);
        EXPECT_FALSE(examined.isDirectory) << path;
        EXPECT_EQ(examined.signature, ReadSignatureValue(path)) << path;
    }
    for (const std::string& path : {dir.file("folder.d"), dir.file("link")})
        EXPECT_TRUE(examineDroppedPath(path).isDirectory) << path;
}

}  // namespace
}  // namespace vex
