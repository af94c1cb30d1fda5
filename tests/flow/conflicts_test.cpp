// Warnings of values that share a beginning with records or samples of other types.

#include "flow/conflicts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "flow/confirm.h"
#include "flow/library_exchange.h"
#include "library/store.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Kind = RecordConflict::Kind;

struct Found {
    Kind kind;
    std::int64_t key;
    int digits;
    bool operator==(const Found&) const = default;
};

struct ConflictCase {
    const char* name;
    std::vector<KeyedSignature> library;
    std::string signature;
    std::string type;
    std::vector<Found> expected;
};

class Conflicts : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(Conflicts, namesTheRecordsOfOtherTypesThatShareTheBeginning) {
    const ConflictCase& c = GetParam();
    ConflictFinder finder;
    for (const KeyedSignature& record : c.library) finder.addRecord(record);
    std::vector<Found> found;
    for (const RecordConflict& conflict : finder.conflictsOf(c.signature, c.type).records)
        found.push_back({conflict.kind, conflict.record.key, conflict.digits});
    EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Conflicts,
    ::testing::Values(
        ConflictCase{"longerValueShadowsAShortRecord",
                     {{107, "exe", "4D5A"}},
                     "4D5A90000300",
                     "dll",
                     {{Kind::Extends, 107, 4}}},
        ConflictCase{"shortValueIsHiddenByALongerRecord",
                     {{107, "dll", "4D5A90000300"}},
                     "4D5A",
                     "exe",
                     {{Kind::ExtendedBy, 107, 4}}},
        ConflictCase{"eightSharedDigitsConflict",
                     {{5, "so", "7F454C4602010100AAAA"}},
                     "7F454C4602010100BBBB",
                     "o",
                     {{Kind::SharesPrefix, 5, 16}}},
        ConflictCase{"sevenSharedDigitsDoNot", {{5, "so", "7F454C4AAAAA"}}, "7F454C4BBBBB", "o", {}},
        ConflictCase{"sameTypeInAnotherCaseIsNoConflict",
                     {{5, "JPG", "FFD8FFE000104A464946"}},
                     "FFD8FFE000104A46",
                     "jpg",
                     {}},
        ConflictCase{"longestSharedPrefixFirst",
                     {{1, "zip", "504B0304AA"}, {2, "jar", "504B03041400080008"}, {3, "zip", "504B"}},
                     "504B030414000800FFFF",
                     "docx",
                     {{Kind::SharesPrefix, 2, 16}, {Kind::SharesPrefix, 1, 8}, {Kind::Extends, 3, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The index must find exactly what comparing with every record finds.
TEST(ConflictFinder, agreesWithComparingEveryRecord) {
    std::mt19937 random(7);
    // Few digits and types, so that shared beginnings and prefixes are common.
    auto value = [&] {
        std::string text;
        const int length = 4 + static_cast<int>(random() % 17);
        for (int i = 0; i < length; ++i) text += "AB"[random() % 2];
        return text;
    };
    const char* types[] = {"a", "b", "A"};
    ConflictFinder finder;
    std::vector<KeyedSignature> records;
    for (int key = 1; key <= 400; ++key) {
        KeyedSignature record{key, types[random() % 3], value()};
        std::vector<std::int64_t> expected;
        for (const KeyedSignature& earlier : records) {
            const std::string& a = earlier.signature;
            const std::string& b = record.signature;
            std::size_t shared = 0;
            while (shared < a.size() && shared < b.size() && a[shared] == b[shared]) ++shared;
            const bool oneBeginsTheOther = shared == std::min(a.size(), b.size());
            const bool otherType = (earlier.type == "b") != (record.type == "b");
            if (otherType && (shared >= 8 || oneBeginsTheOther)) expected.push_back(earlier.key);
        }
        std::vector<std::int64_t> found;
        for (const RecordConflict& conflict : finder.conflictsOf(record.signature, record.type).records)
            found.push_back(conflict.record.key);
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, expected) << record.signature;
        finder.addRecord(record);
        records.push_back(record);
    }
}

TEST(ConflictFinder, countsTheOtherClassesOfSamplesSharingTheBeginning) {
    ConflictFinder finder;
    for (int i = 0; i < 3; ++i) finder.addSample("7F454C46020101000000", "o");
    finder.addSample("7F454C46020101000000", "so");
    finder.addSample("7F454C46020101000001", "无类型");
    finder.addSample("7F454C47020101000000", "o");  // shares only 7 digits
    finder.addSample(std::string("无法读取，文件太短"), "txt");
    const ValueConflicts conflicts = finder.conflictsOf("7F454C4602010100", "so");
    ASSERT_EQ(conflicts.samples.size(), 2u);
    EXPECT_EQ(conflicts.samples[0].fileClass, "o");
    EXPECT_EQ(conflicts.samples[0].count, 3u);
    EXPECT_EQ(conflicts.samples[1].fileClass, "无类型");
    EXPECT_THAT(describeConflicts(conflicts, "7F454C4602010100", "so"),
                ElementsAre(HasSubstr("o ×3, 无类型 ×1")));
    // A value shorter than 8 digits: the samples that begin with it.
    EXPECT_EQ(finder.conflictsOf("7F454C47", "so").samples.size(), 1u);
}

class ConfirmWarnings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ensureStoreExists(data_.libraryPath()).outcome, StoreCreation::Written);
    }
    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
};

TEST_F(ConfirmWarnings, storesAndWarnsWithoutNamingTheNewRecord) {
    ASSERT_EQ(AddConfirmedSignature(data_, "4D5A", "exe").result, ConfirmOutcome::Result::Added);
    const ConfirmOutcome shadowing = AddConfirmedSignature(data_, "4D5A90000300", "dll");
    EXPECT_EQ(shadowing.result, ConfirmOutcome::Result::Added);
    EXPECT_THAT(shadowing.warnings, ElementsAre(HasSubstr("record 107 (exe, 4D5A)")));
    const ConfirmOutcome same = AddConfirmedSignature(data_, "4D5A90000301", "dll");
    EXPECT_THAT(same.warnings, ElementsAre(HasSubstr("record 107")));
}

// Only the samples that begin as the confirmed value does are counted, however
// the experiment list mixes them with others.
TEST_F(ConfirmWarnings, namesTheSampleClassesThatBeginAsTheValueDoes) {
    const std::pair<const char*, const char*> samples[] = {
        {"ABCDEF0102030405AAAA", "o"}, {"ABCDEF0102FFFFFFFFFF", "o"},
        {"ABCDEF0199", "so"},          {"ABCDEF0", "q"},
        {"ABCDEE0102030405AAAA", "o"}, {"abcdef0102030405AAAA", "lower"},
        {"ABCDEF01ZZ", "nohex"}};
    std::ofstream list(data_.experimentListPath());
    for (const auto& [signature, fileClass] : samples)
        list << "[/s/" << fileClass << signature << "]\n特征值=" << signature << "\n文件类型=" << fileClass
             << "\n";
    list.close();
    const struct {
        const char* value;
        const char* classes;  // as the warning names them; "" for no warning about samples
    } cases[] = {
        {"ABCDEF0102030405", "o ×2, so ×1"},
        {"ABCDEF", "o ×2, q ×1, so ×1"},
        {"ABCDEE01", "o ×1"},
        {"0123456789", ""},
    };
    for (const auto& c : cases) {
        const ConfirmOutcome outcome = AddConfirmedSignature(data_, c.value, "x");
        ASSERT_EQ(outcome.result, ConfirmOutcome::Result::Added) << c.value << outcome.reason;
        std::string named;
        for (const std::string& warning : outcome.warnings)
            if (warning.find("sampled files") != std::string::npos) named = warning;
        if (*c.classes == '\0')
            EXPECT_EQ(named, "") << c.value;
        else
            EXPECT_THAT(named, HasSubstr(std::string("seen as ") + c.classes)) << c.value;
    }
}

TEST_F(ConfirmWarnings, importWarnsOfConflictsWithTheLibraryAndWithEarlierRows) {
    ASSERT_EQ(AddConfirmedSignature(data_, "504B0304", "zip").result, ConfirmOutcome::Result::Added);
    const ImportOutcome outcome =
        importConfirmed(data_, "signature,type\n504B030414000800,jar\n89504E47,png\n504B030414000801,docx\n",
                        std::nullopt, false);
    ASSERT_EQ(outcome.added.size(), 3u);
    std::vector<std::string> subjects;
    for (const Refusal& warning : outcome.warnings) subjects.push_back(warning.subject);
    // Line 2 shares 8 digits with the zip record; line 4 with it and with line 2.
    EXPECT_EQ(subjects, (std::vector<std::string>{"line 2", "line 4", "line 4"}));
    EXPECT_THAT(outcome.warnings[1].reason, HasSubstr("(jar, 504B030414000800)"));
}

}  // namespace
}  // namespace vex
