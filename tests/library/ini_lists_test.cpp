#include "library/ini_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class IniListsTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_.file("files")); }
    static std::string contents(const std::string& path) { return test::readAll(path); }
    static void put(const std::string& path, const std::string& bytes) { test::writeAll(path, bytes); }
    std::string file(const std::string& name, const std::string& bytes = "0123456789") {
        const std::string path = dir_.file("files/" + name);
        put(path, bytes);
        return path;
    }
    template <class Entry, class Field>
    static std::vector<std::string> column(const std::vector<Entry>& entries, Field field) {
        std::vector<std::string> texts;
        for (const Entry& entry : entries) texts.push_back(entry.*field);
        return texts;
    }
    template <class List>
    static auto entriesOf(const std::string& file) {
        List list(file);
        EXPECT_EQ(list.load(), "");
        return list.entries();
    }

    test::TempDir dir_;
    std::string setIni_ = dir_.file("set.ini");
    std::string setokIni_ = dir_.file("setok.ini");
};

// Paths compare as the file system compares them: two names that differ only in
// case are two files, and neither entry may take the other's values.
TEST_F(IniListsTest, samePathInAnyCaseIsOneExperimentWithLaterValues) {
    ExperimentList list(setIni_);
    ASSERT_EQ(list.load(), "");
    std::string first = "/x/PHOTO.dat", second = "/x/photo.dat";
    ASSERT_EQ(list.record("FFD8FFE0", first), "");
    ASSERT_EQ(list.record("25504446", second), "");
    ASSERT_EQ(list.save(), "");
    const std::vector<ExperimentEntry> entries = entriesOf<ExperimentList>(setIni_);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, "/x/PHOTO.dat");
    EXPECT_EQ(entries[0].signature, "FFD8FFE0");
    EXPECT_EQ(entries[1].path, "/x/photo.dat");
    EXPECT_EQ(entries[1].signature, "25504446");

    IdentificationList results(setokIni_);
    ASSERT_EQ(results.load(), "");
    ASSERT_EQ(results.record("89504E47", "/x/PHOTO.dat", "png"), "");
    ASSERT_EQ(results.record("25504446", "/x/photo.dat", "pdf"), "");
    EXPECT_TRUE(results.remove("/x/photo.dat"));
    EXPECT_FALSE(results.remove("/x/Photo.dat"));
    ASSERT_EQ(results.find("/x/PHOTO.dat").value().type, "png");
    // With copies of a name listed by hand, removing the first hands the name to its
    // next copy, never to a name that differs only in case.
    put(setokIni_, "[/x/A]\r\ntype1=a1\r\n[/x/a]\r\ntype1=lower\r\n[/x/A]\r\ntype1=a2\r\n");
    IdentificationList copies(setokIni_);
    ASSERT_EQ(copies.load(), "");
    EXPECT_TRUE(copies.remove("/x/A"));
    EXPECT_EQ(copies.find("/x/A").value().type, "a2");
    EXPECT_EQ(copies.find("/x/a").value().type, "lower");
    // The profile layer still folds case for everything else: keys, and sections outside the lists.
    IniDocument profile;
    ASSERT_EQ(profile.setValue("Section", "Key", "1"), "");
    EXPECT_EQ(profile.read("SECTION", "KEY", "none"), "1");
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
    EXPECT_EQ(document.sectionNames(), std::vector<std::string>{dir_.file("files/other.bin")});
}

TEST_F(IniListsTest, handEditedFilesShowDefaultsDuplicatesAndOrder) {
    put(setIni_,
        "; my notes\n[/b/no-keys]\n\n[/a/only-signature]\n  特征值 = 4D5A \r\n[/a/only-class]\n文件类型=exe");
    put(setokIni_,
        "[/x/a.d/readme]\r\ntype=1234\r\n[/x/b.bin]\r\ntype1=zip\r\n[/x/a.d/"
        "readme]\r\ntype=5678\r\ntype1=txt\r\n");
    const std::vector<ExperimentEntry> experiments = entriesOf<ExperimentList>(setIni_);
    EXPECT_EQ(column(experiments, &ExperimentEntry::fileClass),
              (std::vector<std::string>{"未知", "未知", "exe"}));
    EXPECT_EQ(column(experiments, &ExperimentEntry::signature),
              (std::vector<std::string>{"Unknown", "4D5A", "Unknown"}));
    EXPECT_EQ(column(experiments, &ExperimentEntry::path),
              (std::vector<std::string>{"/b/no-keys", "/a/only-signature", "/a/only-class"}));

    const std::vector<IdentificationEntry> identifications = entriesOf<IdentificationList>(setokIni_);
    // The second copy of a section is listed again but reads the first one's values.
    EXPECT_EQ(column(identifications, &IdentificationEntry::fileClass),
              (std::vector<std::string>{"无类型", "bin", "无类型"}));
    EXPECT_EQ(column(identifications, &IdentificationEntry::signature),
              (std::vector<std::string>{"1234", "Unknown", "1234"}));
    EXPECT_EQ(column(identifications, &IdentificationEntry::type),
              (std::vector<std::string>{"Un", "zip", "Un"}));
}

TEST_F(IniListsTest, missingOrEmptyFilesGiveEmptyLists) {
    EXPECT_TRUE(entriesOf<ExperimentList>(setIni_).empty());
    EXPECT_FALSE(fs::exists(setIni_)) << "loading never creates the file";
    put(setokIni_, "");
    EXPECT_TRUE(entriesOf<IdentificationList>(setokIni_).empty());
}

TEST_F(IniListsTest, unreadableListFileIsReportedAndNeverOverwritten) {
    fs::create_directory(setokIni_);
    IdentificationList list(setokIni_);
    EXPECT_NE(list.load(), "");
    EXPECT_TRUE(list.entries().empty());
    EXPECT_NE(list.clear(), "");
    EXPECT_TRUE(fs::is_directory(setokIni_));
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
    ASSERT_EQ(document.save(setokIni_), "");
    const std::vector<IdentificationEntry> listed = entriesOf<IdentificationList>(setokIni_);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].path, "/x/[1] \"q\" 'r'.bin");
}

// What a fresh reader sees of an identification list: path -> (signature, type), in order.
std::vector<std::string> listedAs(const std::string& file) {
    IdentificationList list(file);
    EXPECT_EQ(list.load(), "");
    std::vector<std::string> rows;
    for (const IdentificationEntry& entry : list.entries())
        rows.push_back(entry.path + "=" + entry.signature + "/" + entry.type);
    return rows;
}

// Damage done to a list's index between two drops: each must cost a scan, never a wrong entry.
void damageIndex(const std::string& list, std::mt19937& random) {
    const std::string index = ListNameIndex::pathFor(list);
    std::string bytes = test::readAll(index);
    if (bytes.empty()) return;
    switch (random() % 4) {
        case 0:
            fs::remove(index);
            break;
        case 1:
            test::writeAll(index, bytes.substr(0, random() % bytes.size()));
            break;
        case 2: {
            // A crash of the machine that kept the header but not the slots, which the index
            // no longer waits for: whole and well summed, but written in the boot before.
            constexpr std::size_t kBootAt = 80, kChecksumAt = 88, kSlotsAt = 96;
            std::fill(bytes.begin() + kSlotsAt, bytes.end(), '\0');
            bytes[kBootAt] ^= 1;
            const std::uint64_t sum = listNameHash({bytes.data(), kChecksumAt});
            std::memcpy(bytes.data() + kChecksumAt, &sum, sizeof sum);
            test::writeAll(index, bytes);
            break;
        }
        default:
            bytes[random() % 96] ^= static_cast<char>(1 + random() % 255);  // somewhere in the header
            test::writeAll(index, bytes);
    }
}

// Random recordings, some new, some of listed paths, some repeated unchanged, and
// removals, saved after random batches through either way of loading, with the
// list's index or without, the index damaged and the list edited by hand between
// batches: a fresh reader must always see what a plain in-memory reference says.
TEST_F(IniListsTest, appendsAndRewritesAlwaysReadBackAsTheReference) {
    for (const bool indexed : {false, true}) {
        ListNameIndex::setSmallestIndexedList(indexed ? 0 : std::uint64_t{1} << 40);
        std::mt19937 random(20261208);
        std::vector<std::pair<std::string, std::string>> reference;  // path, "signature/type", in list order
        auto referenceRows = [&] {
            std::vector<std::string> rows;
            for (const auto& [path, values] : reference) rows.push_back(path + "=" + values);
            return rows;
        };
        // A hand-made start: LF endings, no line break at the end.
        put(setokIni_, "; kept\n[/p/0]\ntype=00\ntype1=t0");
        reference.emplace_back("/p/0", "00/t0");
        for (int batch = 0; batch < 80; ++batch) {
            std::vector<std::pair<std::string, std::string>> changes;
            const int size = 1 + static_cast<int>(random() % 5);
            for (int i = 0; i < size; ++i) {
                const std::string path = "/p/" + std::to_string(random() % 40);
                changes.emplace_back(path,
                                     std::to_string(random() % 3) + "/t" + std::to_string(random() % 2));
            }
            if (random() % 8 == 0) damageIndex(setokIni_, random);
            if (random() % 10 == 0) {
                const std::string path = "/hand/" + std::to_string(batch);
                put(setokIni_, contents(setokIni_) + "\n[" + path + "]\ntype=7\ntype1=h\n");
                reference.emplace_back(path, "7/h");
            }
            const bool removes = random() % 6 == 0;
            IdentificationList list(setokIni_);
            std::vector<std::string> names;
            for (const auto& change : changes) names.push_back(change.first);
            ASSERT_EQ(removes || random() % 2 ? list.load() : list.loadToRecord(names), "");
            if (removes && !reference.empty()) {
                const std::string gone = reference[random() % reference.size()].first;
                EXPECT_TRUE(list.remove(gone));
                std::erase_if(reference, [&](const auto& entry) { return entry.first == gone; });
            }
            for (const auto& [path, values] : changes) {
                const std::size_t slash = values.find('/');
                ASSERT_EQ(list.record(values.substr(0, slash), path, values.substr(slash + 1)), "");
                auto listed =
                    std::find_if(reference.begin(), reference.end(),
                                 [&, &changed = path](const auto& entry) { return entry.first == changed; });
                if (listed == reference.end())
                    reference.emplace_back(path, values);
                else
                    listed->second = values;
            }
            ASSERT_EQ(list.save(), "");
            ASSERT_EQ(listedAs(setokIni_), referenceRows())
                << "batch " << batch << (indexed ? " indexed" : "");
        }
        EXPECT_NE(contents(setokIni_).find("; kept"), std::string::npos);
        IdentificationList last(setokIni_);
        ASSERT_EQ(last.loadToRecord({"/last"}), "");
        EXPECT_EQ(fs::exists(ListNameIndex::pathFor(setokIni_)), indexed);
    }
    ListNameIndex::setSmallestIndexedList(std::uint64_t{1} << 20);
}

// The index beside a list is the program's own: a link planted under its name is replaced, never written
// through.
TEST_F(IniListsTest, aLinkUnderTheIndexsNameIsNeverWrittenThrough) {
    ListNameIndex::setSmallestIndexedList(0);
    const std::string precious = file("precious", "keep me");
    put(setokIni_, "[/a]\r\ntype=01\r\ntype1=aa\r\n");
    fs::create_symlink(precious, ListNameIndex::pathFor(setokIni_));
    IdentificationList list(setokIni_);
    ASSERT_EQ(list.loadToRecord({"/b"}), "");
    EXPECT_EQ(contents(precious), "keep me");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(ListNameIndex::pathFor(setokIni_))));
    ListNameIndex::setSmallestIndexedList(std::uint64_t{1} << 20);
}

// An append cut short at any byte, or whose bytes never reached the disk (zeros),
// is left out whole; the next save cuts it off and the list goes on as before.
TEST_F(IniListsTest, anAppendCutShortAnywhereIsLeftOutAndCutOff) {
    put(setokIni_, "[/a]\r\ntype=01\r\ntype1=aa\r\n");
    const std::string before = contents(setokIni_);
    IdentificationList list(setokIni_);
    ASSERT_EQ(list.loadToRecord({"/b", "/c"}), "");
    ASSERT_EQ(list.record("02", "/b", "bb"), "");
    ASSERT_EQ(list.record("03", "/c", "cc"), "");
    ASSERT_EQ(list.save(), "");
    const std::string whole = contents(setokIni_);
    ASSERT_EQ(listedAs(setokIni_), (std::vector<std::string>{"/a=01/aa", "/b=02/bb", "/c=03/cc"}));

    std::vector<std::string> torn;
    for (std::size_t cut = before.size() + 1; cut < whole.size() - 2; ++cut)
        torn.push_back(whole.substr(0, cut));
    std::string zeroed = whole;
    std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(before.size()) + 30, zeroed.end() - 30, '\0');
    torn.push_back(zeroed);
    for (const std::string& bytes : torn) {
        put(setokIni_, bytes);
        ASSERT_EQ(listedAs(setokIni_), std::vector<std::string>{"/a=01/aa"}) << bytes.size();
        IdentificationList again(setokIni_);
        ASSERT_EQ(again.loadToRecord({"/d"}), "");
        ASSERT_EQ(again.record("04", "/d", "dd"), "");
        ASSERT_EQ(again.save(), "");
        ASSERT_EQ(listedAs(setokIni_), (std::vector<std::string>{"/a=01/aa", "/d=04/dd"})) << bytes.size();
    }
}

// A list that changes nothing is not written; a file changed behind the lock is never appended to.
TEST_F(IniListsTest, nothingIsWrittenWithoutAChangeOrOverAnotherProgramsChange) {
    put(setokIni_, "[/a]\r\ntype=01\r\ntype1=aa\r\n");
    const fs::file_time_type earlier = fs::last_write_time(setokIni_) - std::chrono::hours(1);
    fs::last_write_time(setokIni_, earlier);
    IdentificationList same(setokIni_);
    ASSERT_EQ(same.loadToRecord({"/a"}), "");
    ASSERT_EQ(same.record("01", "/a", "aa"), "");
    ASSERT_EQ(same.save(), "");
    EXPECT_EQ(fs::last_write_time(setokIni_), earlier);

    IdentificationList list(setokIni_);
    ASSERT_EQ(list.loadToRecord({"/b"}), "");
    ASSERT_EQ(list.record("02", "/b", "bb"), "");
    put(setokIni_, "[/x]\r\ntype=09\r\ntype1=xx\r\n");
    EXPECT_NE(list.save(), "");
    EXPECT_EQ(contents(setokIni_), "[/x]\r\ntype=09\r\ntype1=xx\r\n");
}

TEST(PathWithoutExtension, cutsTheLastComponentsExtensionOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"/x/a.dat", "/x/a"},       {"/x/archive.tar.gz", "/x/archive.tar"},
        {"/x/readme", "/x/readme"}, {"/x.d/readme", "/x.d/readme"},
        {"  /x/a.txt  ", "/x/a"},   {"/x/name.", "/x/name"},
        {"plain", "plain"},
    };
    for (const auto& [input, expected] : cases) {
        std::string path = input;
        EXPECT_EQ(PathWithoutExtension(path), expected) << input;
    }
    std::string spaced = "  /x/a.txt  ";
    PathWithoutExtension(spaced);
    EXPECT_EQ(spaced, "/x/a.txt");
}

TEST(isUsableExtension, refusesPlaceholdersSeparatorsAndControlCharacters) {
    for (const char* type : {"jpg", "tar.gz", "JPEG", "文本"}) EXPECT_TRUE(isUsableExtension(type)) << type;
    for (const char* type : {"", "未知类型", "Un", "a/b", "x\ty", "x\x7f"})
        EXPECT_FALSE(isUsableExtension(type)) << type;
}

}  // namespace
}  // namespace vex
