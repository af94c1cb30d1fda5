#include "library/ini_lists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/atomic_file.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class IniListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vex_lists_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "files");
        setIni_ = (dir_ / "set.ini").string();
        setokIni_ = (dir_ / "setok.ini").string();
    }
    void TearDown() override {
        setAtomicSaveWriteFunction({});
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }
    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string file(const std::string& name, const std::string& bytes = "0123456789") {
        const std::string path = (dir_ / "files" / name).string();
        put(path, bytes);
        return path;
    }
    static std::vector<std::string> column(const ReportList& list, int c) {
        std::vector<std::string> texts;
        for (int i = 0; i < list.itemCount(); ++i) texts.push_back(list.itemText(i, c));
        return texts;
    }
    void checkRowsWithPath(ReportList& list, int pathColumn, const std::vector<std::string>& paths) {
        for (int i = 0; i < list.itemCount(); ++i)
            if (std::find(paths.begin(), paths.end(), list.itemText(i, pathColumn)) != paths.end())
                list.setCheckState(i, check_state::kChecked);
    }
    void recordIdentifications(const std::vector<std::array<std::string, 3>>& entries) {
        IniDocument document;
        ASSERT_EQ(IniDocument::load(setokIni_, document), "");
        for (const auto& [signature, path, type] : entries)
            ASSERT_EQ(RecordIdentification(document, signature, path, type), "");
        ASSERT_EQ(document.save(setokIni_), "");
    }

    fs::path dir_;
    std::string setIni_;
    std::string setokIni_;
    ReportList experiments_{1, std::vector<ReportColumn>(4)};
    ReportList identifications_{3, std::vector<ReportColumn>(5)};
};

TEST_F(IniListsTest, samePathInAnyCaseIsOneExperimentWithLaterValues) {
    IniDocument document;
    std::string first = "C:/x/a.jpg", second = "c:/X/A.JPG";
    ASSERT_EQ(RecordExperiment(document, "FFD8FFE0", first), "");
    ASSERT_EQ(RecordExperiment(document, "89504E47", second), "");
    ASSERT_EQ(document.save(setIni_), "");
    EXPECT_EQ(contents(setIni_), "[C:/x/a.jpg]\r\n特征值=89504E47\r\n文件类型=JPG\r\n");
    ASSERT_EQ(LoadExperimentList(experiments_, setIni_), "");
    ASSERT_EQ(experiments_.itemCount(), 1);
    EXPECT_EQ(experiments_.rows()[0].cells, (std::vector<std::string>{"1", "JPG", "89504E47", "C:/x/a.jpg"}));
}

TEST_F(IniListsTest, experimentPathIsTrimmedForTheCaller) {
    IniDocument document;
    std::string path = "\xE3\x80\x80 /x/a.txt  ";
    ASSERT_EQ(RecordExperiment(document, "S", path), "");
    EXPECT_EQ(path, "/x/a.txt");
    EXPECT_EQ(document.sectionNames(), std::vector<std::string>{"/x/a.txt"});
}

TEST_F(IniListsTest, blanksThatBelongToAFileNameAreNeverTrimmedAway) {
    IniDocument document;
    std::string real = file("name.bin  ");
    EXPECT_NE(RecordExperiment(document, "S", real), "");
    EXPECT_FALSE(document.modified());
    std::string noisy = "  " + file("other.bin") + " ";
    EXPECT_EQ(RecordExperiment(document, "S", noisy), "");
    EXPECT_EQ(document.sectionNames(), std::vector<std::string>{(dir_ / "files" / "other.bin").string()});
}

TEST_F(IniListsTest, handEditedFilesShowDefaultsDuplicatesAndOrder) {
    put(setIni_, "; my notes\n[/b/no-keys]\n\n[/a/only-signature]\n  特征值 = 4D5A \r\n[/a/only-class]\n文件类型=exe");
    put(setokIni_,
        "[/x/a.d/readme]\r\ntype=1234\r\n[/x/b.bin]\r\ntype1=zip\r\n[/X/A.D/README]\r\ntype=5678\r\ntype1=txt\r\n");
    ASSERT_EQ(LoadExperimentList(experiments_, setIni_), "");
    EXPECT_EQ(column(experiments_, 0), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(column(experiments_, 1), (std::vector<std::string>{"未知", "未知", "exe"}));
    EXPECT_EQ(column(experiments_, 2), (std::vector<std::string>{"Unknown", "4D5A", "Unknown"}));
    EXPECT_EQ(column(experiments_, 3), (std::vector<std::string>{"/b/no-keys", "/a/only-signature", "/a/only-class"}));

    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    // The second copy of a section is listed again but reads the first one's values.
    EXPECT_EQ(column(identifications_, 1), (std::vector<std::string>{"无类型", "bin", "无类型"}));
    EXPECT_EQ(column(identifications_, 2), (std::vector<std::string>{"1234", "Unknown", "1234"}));
    EXPECT_EQ(column(identifications_, 4), (std::vector<std::string>{"Un", "zip", "Un"}));
}

TEST_F(IniListsTest, missingOrEmptyFilesGiveEmptyLists) {
    ASSERT_EQ(LoadExperimentList(experiments_, setIni_), "");
    EXPECT_EQ(experiments_.itemCount(), 0);
    put(setokIni_, "");
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    EXPECT_EQ(identifications_.itemCount(), 0);
}

TEST_F(IniListsTest, unreadableListFileIsReportedAndNeverOverwritten) {
    fs::create_directory(setokIni_);
    EXPECT_NE(LoadIdentificationList(identifications_, setokIni_), "");
    EXPECT_NE(ClearIdentificationList(identifications_, setokIni_), "");
    EXPECT_NE(DeleteCheckedIdentifications(identifications_, setokIni_), "");
    EXPECT_TRUE(fs::is_directory(setokIni_));
}

TEST_F(IniListsTest, clearingAMissingLibraryCreatesAnEmptyFile) {
    experiments_.appendRows({{"1", "a", "b", "c"}});
    ASSERT_EQ(ClearExperimentLibrary(experiments_, setIni_), "");
    EXPECT_TRUE(fs::exists(setIni_));
    EXPECT_EQ(fs::file_size(setIni_), 0u);
    EXPECT_EQ(experiments_.itemCount(), 0);
}

TEST_F(IniListsTest, deletingWithNoCheckedRowRewritesNothing) {
    const std::string before = "[/a]\n特征值=1\n;keep me\n";
    put(setIni_, before);
    const auto stamp = fs::last_write_time(setIni_);
    ASSERT_EQ(LoadExperimentList(experiments_, setIni_), "");
    ASSERT_EQ(DeleteCheckedExperiments(experiments_, setIni_), "");
    EXPECT_EQ(contents(setIni_), before);
    EXPECT_EQ(fs::last_write_time(setIni_), stamp);
    EXPECT_EQ(experiments_.itemCount(), 1);
}

TEST_F(IniListsTest, deletingCheckedRowsKeepsTheRestAndComments) {
    put(setokIni_, "; notes\r\n[/a]\r\ntype=1\r\ntype1=x\r\n[/b]\r\ntype=2\r\n; about c\r\n[/c]\r\ntype=3\r\n");
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    checkRowsWithPath(identifications_, identification_column::kPath, {"/a", "/c"});
    ASSERT_EQ(DeleteCheckedIdentifications(identifications_, setokIni_), "");
    EXPECT_EQ(contents(setokIni_), "; notes\r\n[/b]\r\ntype=2\r\n; about c\r\n");
    EXPECT_EQ(column(identifications_, identification_column::kPath), std::vector<std::string>{"/b"});
    EXPECT_EQ(identifications_.checkState(0), check_state::kUnchecked);
}

TEST_F(IniListsTest, identificationRefusesPathsTheFileCannotHold) {
    IniDocument document;
    EXPECT_NE(RecordIdentification(document, "S", "/x/a\nb", "jpg"), "");
    EXPECT_NE(RecordIdentification(document, "S", " /x/a", "jpg"), "");
    EXPECT_NE(RecordIdentification(document, "S", "/x/a\t", "jpg"), "");
    EXPECT_NE(RecordIdentification(document, "S", "", "jpg"), "");
    EXPECT_FALSE(document.modified());
    // Everything else a file name may hold is stored and listed as it is.
    for (const std::string path : {"/x/a=b;c.txt", "/x/[1] \"q\" 'r'.bin", "/x/a b\xE3\x80\x80.c"})
        EXPECT_EQ(RecordIdentification(document, "S", path, "jpg"), "") << path;
    EXPECT_EQ(IdentificationRows(IniDocument::parse(document.serialise())).size(), 3u);
    EXPECT_EQ(IniDocument::parse(document.serialise()).sectionNames()[1], "/x/[1] \"q\" 'r'.bin");
}

TEST(PathWithoutExtension, cutsTheLastComponentsExtensionOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"/x/a.dat", "/x/a"},        {"/x/archive.tar.gz", "/x/archive.tar"},
        {"/x/readme", "/x/readme"},  {"/x.d/readme", "/x.d/readme"},
        {"  /x/a.txt  ", "/x/a"},
        {"/x/name.", "/x/name"},     {"plain", "plain"},
    };
    for (const auto& [input, expected] : cases) {
        std::string path = input;
        EXPECT_EQ(PathWithoutExtension(path), expected) << input;
    }
    std::string spaced = "  /x/a.txt  ";
    PathWithoutExtension(spaced);
    EXPECT_EQ(spaced, "/x/a.txt");
}

TEST(IsUsableExtension, refusesPlaceholdersSeparatorsAndControlCharacters) {
    for (const char* type : {"jpg", "tar.gz", "JPEG", "文本"}) EXPECT_TRUE(IsUsableExtension(type)) << type;
    for (const char* type : {"", "未知类型", "Un", "a/b", "x\ty", "x\x7f"}) EXPECT_FALSE(IsUsableExtension(type)) << type;
}

// ---- Renaming checked rows to their probable type.

struct RenameCase {
    const char* name;
    std::string fileName;  // created in the files folder (unless blank)
    std::string type;
    std::string expectedName;  // empty: not renamed
    bool listedAsFailure;
};

class RenameChecked : public IniListsTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameChecked, renamesWithinTheFolderAndMovesTheEntryOnlyOnSuccess) {
    const RenameCase& c = GetParam();
    const std::string path = file(c.fileName);
    recordIdentifications({{"FFD8FFE000104A464946", path, c.type}});
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    identifications_.setCheckState(0, check_state::kChecked);

    const RenameOutcome outcome = RenameCheckedFiles(identifications_, setokIni_);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.failed.size(), c.listedAsFailure ? 1u : 0u);
    ASSERT_EQ(identifications_.itemCount(), 1);
    if (c.expectedName.empty()) {
        EXPECT_TRUE(outcome.renamed.empty());
        EXPECT_TRUE(fs::exists(path));
        EXPECT_EQ(identifications_.itemText(0, identification_column::kPath), path);
        return;
    }
    const std::string expected = (dir_ / "files" / c.expectedName).string();
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(outcome.renamed[0], std::make_pair(path, expected));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(expected));
    EXPECT_EQ(identifications_.rows()[0].cells,
              (std::vector<std::string>{"1", c.type, "FFD8FFE000104A464946", expected, c.type}));
    EXPECT_EQ(contents(setokIni_), "[" + expected + "]\r\ntype1=" + c.type + "\r\ntype=FFD8FFE000104A464946\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameChecked,
    ::testing::Values(RenameCase{"replacesExtension", "a.dat", "jpg", "a.jpg", false},
                      RenameCase{"addsMissingExtension", "readme", "txt", "readme.txt", false},
                      RenameCase{"unknownTypeSkippedQuietly", "u.dat", "未知类型", "", false},
                      RenameCase{"readDefaultNeverAnExtension", "d.dat", "Un", "", true},
                      RenameCase{"slashInTypeRefused", "s.dat", "../evil", "", true},
                      RenameCase{"alreadyNamedAfterType", "p.jpg", "jpg", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IniListsTest, renameInsideDottedFolderStaysInThatFolder) {
    fs::create_directories(dir_ / "files" / "x.d");
    const std::string path = file("x.d/readme");
    recordIdentifications({{"S", path, "txt"}});
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    identifications_.setCheckState(0, check_state::kChecked);
    const RenameOutcome outcome = RenameCheckedFiles(identifications_, setokIni_);
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(outcome.renamed[0].second, path + ".txt");
    EXPECT_TRUE(fs::exists(path + ".txt"));
}

TEST_F(IniListsTest, renameNeverReplacesAndKeepsEntriesOfFailures) {
    const std::string a = file("a.dat", "original a"), taken = file("a.jpg", "someone else's");
    const std::string gone = (dir_ / "files" / "gone.dat").string();
    const std::string b = file("b.dat");
    recordIdentifications({{"1", a, "jpg"}, {"2", gone, "png"}, {"3", b, "gif"}});
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    for (int i = 0; i < 3; ++i) identifications_.setCheckState(i, check_state::kChecked);

    const RenameOutcome outcome = RenameCheckedFiles(identifications_, setokIni_);
    EXPECT_EQ(outcome.error, "");
    ASSERT_EQ(outcome.failed.size(), 2u);
    EXPECT_EQ(outcome.failed[0].first, a);
    EXPECT_EQ(outcome.failed[1].first, gone);
    EXPECT_EQ(contents(taken), "someone else's");
    EXPECT_EQ(contents(a), "original a");
    ASSERT_EQ(outcome.renamed.size(), 1u);
    EXPECT_EQ(column(identifications_, identification_column::kPath),
              (std::vector<std::string>{a, gone, (dir_ / "files" / "b.gif").string()}));
}

TEST_F(IniListsTest, renameUndoneWhenTheListFileCannotBeWritten) {
    const std::string a = file("a.dat");
    recordIdentifications({{"1", a, "jpg"}});
    const std::string before = contents(setokIni_);
    ASSERT_EQ(LoadIdentificationList(identifications_, setokIni_), "");
    identifications_.setCheckState(0, check_state::kChecked);
    setAtomicSaveWriteFunction([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    const RenameOutcome outcome = RenameCheckedFiles(identifications_, setokIni_);
    EXPECT_NE(outcome.error, "");
    EXPECT_TRUE(outcome.renamed.empty());
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(contents(setokIni_), before);
    EXPECT_EQ(column(identifications_, identification_column::kPath), std::vector<std::string>{a});
}

TEST_F(IniListsTest, readOnlyFolderReportsAndLosesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores permission bits";
    put(setIni_, "[/a]\r\n特征值=1\r\n");
    ASSERT_EQ(LoadExperimentList(experiments_, setIni_), "");
    experiments_.setCheckState(0, check_state::kChecked);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(DeleteCheckedExperiments(experiments_, setIni_), "");
    EXPECT_NE(ClearExperimentLibrary(experiments_, setIni_), "");
    EXPECT_EQ(contents(setIni_), "[/a]\r\n特征值=1\r\n");
    EXPECT_EQ(experiments_.itemCount(), 1);
}

}  // namespace
}  // namespace vex
