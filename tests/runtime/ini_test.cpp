#include "runtime/ini.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/support/file_contents.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// ---- Lookups: which file bytes answer which (section, key).

struct LookupCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

class IniLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniLookup, findsTheValueTheProfileFunctionsWouldFind) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(IniDocument::parse(c.file).value(c.section, c.key), c.expected);
}

const LookupCase kLookups[] = {
    {"caseInsensitive", "[S]\r\nK=V\r\n", "s", "k", "V"},
    {"argumentSpacesIgnored", "[S]\r\nK=V\r\n", " S ", " K ", "V"},
    {"argumentTabsNotIgnored", "[S]\r\nK=V\r\n", "\tS", "K", std::nullopt},
    {"fileBlanksAroundKeyIgnored", "[S]\r\n\tK\v =V\r\n", "S", "K", "V"},
    {"fileBlanksInsideBracketsIgnored", "  [ \tx\v ]\r\nK=V\r\n", "x", "K", "V"},
    {"keyMatchIsWholeName", "[s]\r\ntype1=jpg\r\n", "s", "type", std::nullopt},
    {"keyNotConfusedWithLongerKey", "[s]\r\ntype1=jpg\r\ntype=4D5A\r\n", "s", "type", "4D5A"},
    {"quotesInNamesAreLiteral", "['S']\r\nK=V\r\n", "S", "K", std::nullopt},
    {"nameEndsAtLastBracket", "[photo [1].jpg]\r\ntype=X\r\n", "photo [1].jpg", "type", "X"},
    {"textAfterHeaderIsNoKey", "[S]K=V\r\n", "S", "K", std::nullopt},
    {"headerWithoutClosingBracket", "[S   \r\nK=V\r\n", "S", "K", "V"},
    {"noOpeningBracketNoSection", "S]\r\nK=V\r\n", "S", "K", std::nullopt},
    {"firstDuplicateSectionWins", "[S]\r\n[S]\r\nK=V\r\n", "S", "K", std::nullopt},
    {"firstDuplicateKeyWins", "[S]\r\nK=V\r\nK=W\r\n", "S", "K", "V"},
    {"keysBeforeFirstSectionUnreachable", "K=V\r\n[S]\r\n", "", "K", std::nullopt},
    {"emptySectionName", "[]\r\nK=V\r\n", "", "K", "V"},
    {"commentLineIsNoKey", "[S]\r\n ;K=V\r\n", "S", ";K", std::nullopt},
    {"semicolonInsideValueIsText", "[S]\r\nK=;nocomment\r\n", "S", "K", ";nocomment"},
    {"hashIsNoComment", "[S]\r\n#K=V\r\n", "S", "#K", "V"},
    {"valueTrimmed", "[S]\r\nK= \tV\v \r\n", "S", "K", "V"},
    {"valueKeepsFurtherEquals", "[S]\r\nK=a=b]\r\n", "S", "K", "a=b]"},
    {"outerDoubleQuotesRemoved", "[S]\r\nK=  \"   V   \"  \r\n", "S", "K", "   V   "},
    {"outerSingleQuotesRemoved", "[S]\r\nK='\"V\"'\r\n", "S", "K", "\"V\""},
    {"unmatchedQuotesKept", "[S]\r\nK=\"V'\r\n", "S", "K", "\"V'"},
    {"loneQuoteKept", "[S]\r\nK=\"\r\n", "S", "K", "\""},
    {"emptyValueIsNotMissing", "[s]\r\nname2=\r\n", "s", "name2", ""},
    {"lineWithoutEqualsIsNoKey", "[s]\r\nname3\r\n", "s", "name3", std::nullopt},
    {"crOnlyLines", "[S]\rK=V\r", "S", "K", "V"},
    {"lfOnlyLines", "[S]\nK=V", "S", "K", "V"},
    {"byteOrderMarkDoesNotHideFirstSection", "\xEF\xBB\xBF[S]\r\nK=V\r\n", "S", "K", "V"},
    {"nonAsciiLettersDoNotFold", "[\xC3\x89]\r\nK=V\r\n", "\xC3\xA9", "K", std::nullopt},
    {"multiByteNameMatchesItself", "[C:\\x\\\xE6\xB2\x92.jpg]\r\ntype=X\r\n", "c:\\X\\\xE6\xB2\x92.JPG",
     "type", "X"},
    {"binaryBytesAround", "\x01\x02\0garbage\r\n[S]\r\nK=V\0W\r\n"s, "S", "K", "V\0W"s},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniRead, defaultLosesTrailingSpacesOnly) {
    const IniDocument document = IniDocument::parse("[S]\r\nK=V\r\n");
    EXPECT_EQ(document.read("S", "missing", "   default   "), "   default");
    EXPECT_EQ(document.read("S", "missing", "\tdefault\t"), "\tdefault\t");
    EXPECT_EQ(document.read("missing", "K", "Unknown"), "Unknown");
    EXPECT_EQ(document.read("S", "K", "Unknown"), "V");
}

TEST(IniRead, sectionNamesInFileOrderWithDuplicatesAndNoLimit) {
    const IniDocument document = IniDocument::parse(
        "pre\r\n[ section1 ]\r\n[section2]\r\nk=v\r\n[Section1]\r\n[]\r\n[photo [1].jpg]\r\n");
    EXPECT_EQ(document.sectionNames(),
              (std::vector<std::string>{"section1", "section2", "Section1", "photo [1].jpg"}));

    // Far more names than a 204,800-byte buffer would hold, and a long value.
    IniDocument big;
    const std::string longValue(50'000, 'x');
    for (int i = 0; i < 20'000; ++i)
        ASSERT_EQ(big.setValue("/some/long/folder/name/" + std::to_string(i), "k", "v"), "");
    ASSERT_EQ(big.setValue("/some/long/folder/name/7", "long", longValue), "");
    const IniDocument reread = IniDocument::parse(big.serialise());
    ASSERT_EQ(reread.sectionNames().size(), 20'000u);
    EXPECT_EQ(reread.sectionNames().back(), "/some/long/folder/name/19999");
    EXPECT_EQ(reread.value("/some/long/folder/name/7", "long"), longValue);
}

// ---- Writes and deletes: exact bytes after a sequence of edits.

struct Edit {
    std::string section;
    std::optional<std::string> key;
    std::optional<std::string> value;
};

struct WriteCase {
    const char* name;
    std::string before;
    std::vector<Edit> edits;
    std::string after;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, producesTheBytesTheProfileWriterWould) {
    const WriteCase& c = GetParam();
    IniDocument document = IniDocument::parse(c.before);
    for (const Edit& edit : c.edits) {
        if (edit.key && edit.value)
            ASSERT_EQ(document.setValue(edit.section, *edit.key, *edit.value), "");
        else if (edit.key)
            document.removeKey(edit.section, *edit.key);
        else
            document.removeSection(edit.section);
    }
    EXPECT_EQ(document.serialise(), c.after);
}

const WriteCase kWrites[] = {
    {"newFile", "", {{"App", "key", "string"}}, "[App]\r\nkey=string\r\n"},
    {"sectionsInFirstWriteOrder",
     "",
     {{"App1", "key1", "string1"},
      {"App1", "key2", "string2"},
      {"App1", "key3", "string3"},
      {"App2", "key4", "string4"},
      {"App3", "key5", "string5"}},
     "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5="
     "string5\r\n"},
    {"existingKeysStayNewKeysAppend",
     "[S]\r\nb=value\r\na=value\r\n",
     {{"S", "z", ""}, {"S", "b", ""}, {"S", "y", ""}, {"S", "a", ""}},
     "[S]\r\nb=\r\na=\r\nz=\r\ny=\r\n"},
    {"fileSpellingKeptAndFinalBreakAdded",
     "[S]\r\nK=V",
     {{"SECTIONNAME", "K", "x"}, {"s", "k", "TestValue2"}},
     "[S]\r\nK=TestValue2\r\n[SECTIONNAME]\r\nK=x\r\n"},
    {"argumentSpacesTrimmedValueVerbatim", "", {{" sec ", " key ", " value "}}, "[sec]\r\nkey= value \r\n"},
    {"newKeyAfterLastKeyCommentsStay",
     ";comment0\r\n[S]\r\n;comment1\r\nb=value\r\n;comment2\r\na=value\r\n;tail\r\n",
     {{"S", "z", ""}, {"S", "y", ""}, {"S", "a", ""}, {"S", "b", ""}},
     ";comment0\r\n[S]\r\n;comment1\r\nb=\r\n;comment2\r\na=\r\nz=\r\ny=\r\n;tail\r\n"},
    {"newKeyBeforeBlankLinesOfSection",
     "[A]\r\nk=1\r\n\r\n[B]\r\nk=2\r\n",
     {{"A", "j", "3"}},
     "[A]\r\nk=1\r\nj=3\r\n\r\n[B]\r\nk=2\r\n"},
    {"bytesBeforeFirstSectionPreserved",
     "Data \0 before \0 first \0 section"s,
     {{"section1", "key1", "string1"}},
     "Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n"s},
    {"byteOrderMarkKept", "\xEF\xBB\xBF", {{"name", "K", "V"}}, "\xEF\xBB\xBF\r\n[name]\r\nK=V\r\n"},
    {"lfFileStaysLf", "[A]\nk=v\n", {{"B", "k", "v"}, {"A", "j", "w"}}, "[A]\nk=v\nj=w\n[B]\nk=v\n"},
    {"keyAddedToHeaderWithoutBreak", "[A]", {{"A", "k", "v"}}, "[A]\r\nk=v\r\n"},
    {"deleteKeyLeavesHeader", "[S]\r\nK=V\r\n", {{"S", "K", std::nullopt}}, "[S]\r\n"},
    {"deleteAbsentKeyChangesNothing",
     "[S]\r\nK=V",
     {{"S", "X", std::nullopt}, {"T", "K", std::nullopt}},
     "[S]\r\nK=V"},
    {"deleteSections",
     "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n",
     {{"App1", std::nullopt, "string1"}, {"app2", std::nullopt, std::nullopt}},
     "[App3]\r\nkey5=string5\r\n"},
    {"deleteSectionKeepsComments",
     ";comment0\r\n[S]\r\n;comment1\r\nk=v\r\n\r\n[S2]\r\n;comment2\r\n",
     {{"S", std::nullopt, std::nullopt}, {"S2", std::nullopt, std::nullopt}},
     ";comment0\r\n;comment1\r\n;comment2\r\n"},
    {"deleteThenWriteMovesToEnd",
     "[A]\r\nk=1\r\n[B]\r\nk=2\r\n",
     {{"A", std::nullopt, std::nullopt}, {"A", "k", "3"}},
     "[B]\r\nk=2\r\n[A]\r\nk=3\r\n"},
    {"deleteFirstOfDuplicatesOnly",
     "[A]\r\nk=1\r\n[a]\r\nk=2\r\n",
     {{"A", std::nullopt, std::nullopt}, {"A", "k", "3"}},
     "[a]\r\nk=3\r\n"},
    {"lastBracketNameRoundTrips",
     "",
     {{"/x/photo [1].jpg", "type", "X"}, {"/x/photo [1].JPG", "type1", "jpg"}},
     "[/x/photo [1].jpg]\r\ntype=X\r\ntype1=jpg\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniWrite, refusesWhatTheFormatCannotHoldAndChangesNothing) {
    const std::string before = "[S]\r\nK=V\r\n";
    IniDocument document = IniDocument::parse(before);
    EXPECT_NE(document.setValue("/x/a\nb.jpg", "type", "X"), "");
    EXPECT_NE(document.setValue("S", "K", "two\r\nlines"), "");
    EXPECT_NE(document.setValue("S", "a\rb", "V"), "");
    EXPECT_NE(document.setValue("S", "k=ey", "V"), "");
    EXPECT_NE(document.setValue("S", ";key", "V"), "");
    EXPECT_NE(document.setValue("  ", "K", "V"), "");
    EXPECT_NE(document.setValue("S", "", "V"), "");
    EXPECT_FALSE(document.modified());
    EXPECT_EQ(document.serialise(), before);
}

TEST(IniWrite, sameValueAgainIsNoChange) {
    IniDocument document = IniDocument::parse("[S]\r\nK=V\r\n");
    ASSERT_EQ(document.setValue("s", "k", "V"), "");
    EXPECT_FALSE(document.modified());
}

// Whatever a hand-edited file holds, parsing and serialising it again gives
// the same bytes, and reading a value never crashes.
TEST(IniDocumentRoundTrip, untouchedFilesComeBackByteForByte) {
    std::mt19937 random(20261207);
    const std::string alphabet = "[]=;' \"\t\v\r\n\r\nab\0\xC3\xA9"s;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 80);
        for (int i = 0; i < length; ++i) bytes += alphabet[random() % alphabet.size()];
        const IniDocument document = IniDocument::parse(bytes);
        ASSERT_EQ(document.serialise(), bytes) << "round " << round;
        for (const std::string& name : document.sectionNames()) (void)document.value(name, "a");
    }
}

// Random edits on random files must leave every untouched entry readable and
// every written entry reading back as written.
TEST(IniDocumentRoundTrip, editsSurviveReparsing) {
    std::mt19937 random(7);
    const std::vector<std::string> names = {"A", "a", "B", "/x/y [1].z", "C:\\d", "e f"};
    const std::vector<std::string> keys = {"type", "type1", "k"};
    for (int round = 0; round < 300; ++round) {
        IniDocument document = IniDocument::parse(round % 2 ? ";c\n[A]\nk=1\n\n[b]\r\ntype=2" : "");
        for (int step = 0; step < 20; ++step) {
            const std::string& section = names[random() % names.size()];
            const std::string& key = keys[random() % keys.size()];
            switch (random() % 4) {
                case 0:
                    document.removeSection(section);
                    break;
                case 1:
                    document.removeKey(section, key);
                    break;
                default: {
                    const std::string value = "v" + std::to_string(step);
                    ASSERT_EQ(document.setValue(section, key, value), "");
                    ASSERT_EQ(document.value(section, key), value);
                }
            }
            const IniDocument reread = IniDocument::parse(document.serialise());
            ASSERT_EQ(reread.sectionNames(), document.sectionNames());
            std::vector<std::string> visited;
            document.forEachSection([&](std::string_view name, const IniDocument::SectionReader& values) {
                visited.emplace_back(name);
                for (const std::string& k : keys) ASSERT_EQ(values.read(k, "?"), document.read(name, k, "?"));
            });
            ASSERT_EQ(visited, document.sectionNames());
            for (const std::string& name : names)
                for (const std::string& k : keys) ASSERT_EQ(reread.value(name, k), document.value(name, k));
        }
    }
}

TEST(IniDocumentScale, hundredThousandSectionsEditedWithoutQuadraticCost) {
    IniDocument document;
    for (int i = 0; i < 100'000; ++i) {
        const std::string path = "/data/recovered/FILE" + std::to_string(i) + ".CHK";
        ASSERT_EQ(document.setValue(path, "type", "4D5A9000030000000400"), "");
        ASSERT_EQ(document.setValue(path, "type1", "exe"), "");
    }
    for (int i = 0; i < 100'000; i += 2)
        document.removeSection("/data/recovered/file" + std::to_string(i) + ".chk");
    const IniDocument reread = IniDocument::parse(document.serialise());
    EXPECT_EQ(reread.sectionCount(), 50'000u);
    EXPECT_EQ(reread.read("/data/recovered/FILE99999.CHK", "type1", "Un"), "exe");
    EXPECT_EQ(reread.read("/data/recovered/FILE99998.CHK", "type1", "Un"), "Un");
}

// ---- The configuration-item commands on real files.

class IniFileCommands : public ::testing::Test {
protected:
    static std::string contents(const std::string& path) { return test::readAll(path); }
    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    test::TempDir temp_;
    fs::path dir_{temp_.path()};
    std::string file_ = temp_.file("set.ini");
};

// A long document is saved from the bytes it was read as, in parts: edited densely
// or sparsely, with new sections or none, the file must hold what serialise() gives.
TEST_F(IniFileCommands, aDocumentSavedInPartsHoldsWhatItSerialisesTo) {
    std::mt19937 random(3);
    std::string text = ";list\r\n";
    for (int i = 0; i < 20'000; ++i) text += "[/f/" + std::to_string(i) + "]\r\ntype=0102\r\ntype1=bin\r\n";
    for (int round = 0; round < 8; ++round) {
        IniDocument document = IniDocument::parse(text, IniDocument::SectionNames::Exact);
        for (int edit = 0; edit < round * 30; ++edit) {
            const std::string name = "/f/" + std::to_string(random() % (round % 2 ? 300 : 20'500));
            if (random() % 3 == 0)
                document.removeSection(name);
            else
                ASSERT_EQ(document.setValue(name, "type1", "v" + std::to_string(edit)), "");
        }
        ASSERT_EQ(document.save(file_), "");
        ASSERT_TRUE(contents(file_) == document.serialise()) << "round " << round;  // no diff of megabytes
    }
}

TEST_F(IniFileCommands, readSkipsLeadingControlBytesAndEmptyNamesGiveEmptyText) {
    put(file_, "[S]\r\nK=V\r\n");
    EXPECT_EQ(readConfigurationItem(" \t" + file_, "\x01 S", "\nK", "d"), "V");
    EXPECT_EQ(readConfigurationItem(file_, "S", "", "default"), "");
    EXPECT_EQ(readConfigurationItem(file_, " ", "K", "default"), "");
    EXPECT_EQ(readConfigurationItem("", "S", "K", "default"), "");
    EXPECT_EQ(readConfigurationItem(file_, "S", "missing", "default"), "default");
    EXPECT_EQ(readConfigurationItem((dir_ / "none.ini").string(), "S", "K", "Un"), "Un");
}

TEST_F(IniFileCommands, writeCreatesRewritesAndDeletes) {
    ASSERT_TRUE(writeConfigurationItem(file_, "S", "K", "V"));
    EXPECT_EQ(contents(file_), "[S]\r\nK=V\r\n");
    ASSERT_TRUE(writeConfigurationItem(file_, "S", "K", std::nullopt));
    EXPECT_EQ(contents(file_), "[S]\r\n");
    ASSERT_TRUE(writeConfigurationItem(file_, "S", std::nullopt, std::nullopt));
    EXPECT_EQ(contents(file_), "");
    EXPECT_EQ(getSectionNames(file_), std::vector<std::string>{});
}

TEST_F(IniFileCommands, deleteInMissingFileLeavesEmptyFile) {
    ASSERT_TRUE(writeConfigurationItem(file_, "App", std::nullopt, "string"));
    ASSERT_TRUE(fs::exists(file_));
    EXPECT_EQ(fs::file_size(file_), 0u);
}

TEST_F(IniFileCommands, refusedWritesLeaveTheFileAlone) {
    const std::string before = "; mine\n[S]\nK=V\n";
    put(file_, before);
    std::string error;
    EXPECT_FALSE(writeConfigurationItem(file_, "/x/a\nb", "type", "X", &error));
    EXPECT_NE(error.find("line break"), std::string::npos) << error;
    EXPECT_FALSE(writeConfigurationItem(file_, std::nullopt, "K", "V", &error));
    EXPECT_FALSE(writeConfigurationItem("", "S", "K", "V", &error));
    EXPECT_EQ(contents(file_), before);
}

TEST_F(IniFileCommands, unreadableFileIsNeverReplaced) {
    fs::create_directory(file_);  // a folder where the INI file should be
    std::string error;
    EXPECT_FALSE(writeConfigurationItem(file_, "S", "K", "V", &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(fs::is_directory(file_));
    EXPECT_EQ(readConfigurationItem(file_, "S", "K", "d"), "d");
    EXPECT_TRUE(getSectionNames(file_).empty());
}

TEST_F(IniFileCommands, fifoIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
    EXPECT_EQ(readConfigurationItem(file_, "S", "K", "d"), "d");
    std::string error;
    EXPECT_FALSE(writeConfigurationItem(file_, "S", "K", "V", &error));
    EXPECT_NE(error, "");
}

TEST_F(IniFileCommands, readOnlyFolderReportsAndKeepsTheFile) {
    // The file itself may be written; only the folder, where the new copy must go, may not.
    const std::string locked = temp_.file("locked");
    fs::create_directory(locked);
    const std::string file = locked + "/set.ini";
    put(file, "[S]\r\nK=V\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    EXPECT_TRUE(test::runUnprivileged(temp_, [&] {
        std::string error;
        return !writeConfigurationItem(file, "S", "K", "W", &error) && !error.empty();
    }));
    EXPECT_EQ(contents(file), "[S]\r\nK=V\r\n");
}

// Ranking names puts them in the order the document visits its sections, with
// sections removed and added after parsing and names repeated: checked against the visit itself.
TEST(IniSectionRank, ordersNamesAsTheDocumentVisitsThem) {
    std::mt19937 random(11);
    for (int round = 0; round < 30; ++round) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += "[s" + std::to_string(random() % 30) + "]\nk=v\n";
        IniDocument document = IniDocument::parse(text, IniDocument::SectionNames::Exact);
        for (int edit = 0; edit < 20; ++edit) {
            const std::string name = "s" + std::to_string(random() % 45);
            if (random() % 2)
                document.removeSection(name);
            else
                ASSERT_EQ(document.setValue(name, "k", "w"), "");
        }
        std::vector<std::string> visited;  // first copy of each name, in visiting order
        document.forEachSection([&](std::string_view name, const IniDocument::SectionReader&) {
            if (std::find(visited.begin(), visited.end(), name) == visited.end()) visited.emplace_back(name);
        });
        std::vector<std::string> ranked;
        for (int i = 0; i < 45; ++i) {
            const std::string name = "s" + std::to_string(i);
            ASSERT_EQ(document.sectionRank(name).has_value(), document.hasSection(name)) << name;
            if (document.hasSection(name)) ranked.push_back(name);
        }
        std::sort(ranked.begin(), ranked.end(), [&](const std::string& a, const std::string& b) {
            return *document.sectionRank(a) < *document.sectionRank(b);
        });
        EXPECT_EQ(ranked, visited) << text;
    }
}

}  // namespace
}  // namespace vex
