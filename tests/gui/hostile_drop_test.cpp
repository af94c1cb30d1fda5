// Files dropped from a file manager arrive as file URLs. Whatever bytes a name holds,
// the path handed on must name that same file.

#include <gtest/gtest.h>

#include <QMimeData>
#include <QUrl>

#include "runtime/gui/file_drop_filter.h"

namespace vex {
namespace {

struct EncodedName {
    const char* label;
    QByteArray uri;    // as a file manager puts it in text/uri-list
    std::string path;  // the bytes of the file's path
};

std::ostream& operator<<(std::ostream& out, const EncodedName& name) { return out << name.label; }

class DroppedFileUrls : public ::testing::TestWithParam<EncodedName> {};

TEST_P(DroppedFileUrls, giveThePathsOwnBytes) {
    QMimeData data;
    data.setData("text/uri-list", GetParam().uri + "\r\n");
    const DroppedData dropped = FileDropFilter::droppedData(&data);
    ASSERT_EQ(dropped.files.size(), 1u);
    EXPECT_EQ(dropped.files[0], GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    HostileNames, DroppedFileUrls,
    ::testing::Values(EncodedName{"Plain", "file:///tmp/a.bin", "/tmp/a.bin"},
                      EncodedName{"Blanks", "file:///tmp/a%20b%20.bin", "/tmp/a b .bin"},
                      EncodedName{"Chinese", "file:///tmp/%E6%96%87.bin", "/tmp/\xE6\x96\x87.bin"},
                      EncodedName{"BrokenUtf8", "file:///tmp/broken%FF%FE.bin", "/tmp/broken\xFF\xFE.bin"},
                      EncodedName{"Percent", "file:///tmp/100%25.bin", "/tmp/100%.bin"},
                      EncodedName{"LineBreak", "file:///tmp/a%0Ab.bin", "/tmp/a\nb.bin"},
                      EncodedName{"Brackets", "file:///tmp/photo%20%5B1%5D.jpg", "/tmp/photo [1].jpg"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vex
