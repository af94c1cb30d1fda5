// library export and library import run in-process: what they print, what
// they store and their exit codes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::cli {
namespace {

using ::testing::HasSubstr;

struct Result {
    int exitCode;
    std::string out;
    std::string err;
};

Result run(const std::string& dataDir, std::vector<std::string> args) {
    args.insert(args.begin(), {"--data-dir", dataDir});
    std::istringstream in;
    std::ostringstream out, err;
    const int code = cli::run(args, in, out, err);
    return {code, out.str(), err.str()};
}

TEST(ShareCommands, exportedLibraryImportsElsewhereRowForRowInEitherFormat) {
    test::TempDir from;
    ASSERT_EQ(run(from.path(), {"library", "import", "--starter"}).exitCode, kExitDone);
    for (const char* value : {"41424344", "4142434445"})
        ASSERT_EQ(run(from.path(), {"confirm", value, "名, \"x\""}).exitCode, kExitDone);
    const std::string library = run(from.path(), {"library"}).out;
    for (const char* file : {"lib.csv", "lib.json"}) {
        ASSERT_EQ(run(from.path(), {"library", "export", from.file(file)}).exitCode, kExitDone);
        test::TempDir to;
        const Result imported = run(to.path(), {"library", "import", from.file(file)});
        EXPECT_EQ(imported.exitCode, kExitDone) << imported.err;
        EXPECT_THAT(imported.err, HasSubstr("skipped 0, conflicts 0, bad rows 0"));
        EXPECT_EQ(run(to.path(), {"library"}).out, library) << file;
    }
    EXPECT_EQ(test::readAll(from.file("lib.json")).front(), '[');
    EXPECT_EQ(run(from.path(), {"library", "export", "--format", "json"}).out,
              test::readAll(from.file("lib.json")));
}

TEST(ShareCommands, badRowsStopTheImportWithTheirLinesUnlessSkipped) {
    test::TempDir dir;
    dir.write("in.csv", "signature,type\n4D5A,exe\n4D5,short\n");
    const Result stopped = run(dir.path(), {"library", "import", dir.file("in.csv")});
    EXPECT_EQ(stopped.exitCode, kExitUsage);
    EXPECT_THAT(stopped.err, HasSubstr(dir.file("in.csv") + ": line 3: "));
    EXPECT_EQ(run(dir.path(), {"library"}).out, "");
    const Result skipped = run(dir.path(), {"library", "import", "--skip-bad", dir.file("in.csv")});
    EXPECT_EQ(skipped.exitCode, kExitDone);
    EXPECT_EQ(skipped.out, "4D5A\texe\n");
    EXPECT_EQ(run(dir.path(), {"library"}).out, "1\texe\t4D5A\n");
}

}  // namespace
}  // namespace vex::cli
