#include "ident/prefix_index.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "runtime/runtime_error.h"

namespace vex {
namespace {

constexpr std::string_view kExeValue = "4D5A9000030000000400";
constexpr std::string_view kTooShort = "无法读取，文件太短";

// The 17 prefix columns as the add operation fills them from `value`, which must outlive them.
std::array<std::string_view, kPrefixCount> storedPrefixes(std::string_view value) {
    std::array<std::string_view, kPrefixCount> prefixes;
    for (int i = 0; i < kPrefixCount; ++i) prefixes[i] = signaturePrefix(value, kLongestPrefix - i);
    return prefixes;
}

struct PrefixCase {
    std::string_view value;
    int length;
    std::string_view expected;
    friend void PrintTo(const PrefixCase& c, std::ostream* out) { *out << c.value << " to " << c.length; }
};

class SignaturePrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(SignaturePrefixTest, cutsBytesButNeverInsideACharacter) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(signaturePrefix(c.value, c.length), c.expected);
}

// The too-short text is 9 characters of 3 bytes each.
INSTANTIATE_TEST_SUITE_P(Cases, SignaturePrefixTest,
                         ::testing::Values(PrefixCase{kExeValue, 20, kExeValue},
                                           PrefixCase{kExeValue, 5, "4D5A9"},
                                           PrefixCase{kExeValue, 4, "4D5A"}, PrefixCase{"4D5A", 20, "4D5A"},
                                           PrefixCase{"", 20, ""}, PrefixCase{kTooShort, 20, "无法读取，文"},
                                           PrefixCase{kTooShort, 18, "无法读取，文"},
                                           PrefixCase{kTooShort, 17, "无法读取，"},
                                           PrefixCase{kTooShort, 4, "无"},
                                           PrefixCase{"ab\xff\xfe"
                                                      "cdef",
                                                      4, "ab\xff\xfe"}));

TEST(PrefixIndex, emptyLibraryKnowsNothing) {
    PrefixIndex index;
    EXPECT_EQ(index.lookup(kExeValue), kUnknownFileType);
    EXPECT_EQ(index.lookup(kTooShort), kUnknownFileType);
}

TEST(PrefixIndex, longestMatchingPrefixWinsOverEarlierShorterOnes) {
    PrefixIndex index;
    index.addRecord(Value("short"), storedPrefixes("4D5A"));
    index.addRecord(Value("exe"), storedPrefixes(kExeValue));
    EXPECT_EQ(index.lookup(kExeValue), "exe");
    EXPECT_EQ(index.lookup("4D5A5000020000000400"), "short");
}

TEST(PrefixIndex, matchOnlyAtFourCharactersStillGivesTheType) {
    PrefixIndex index;
    index.addRecord(Value("exe"), storedPrefixes(kExeValue));
    EXPECT_EQ(index.lookup("4D5A5000020000000400"), "exe");
    EXPECT_EQ(index.lookup("4D5B5000020000000400"), kUnknownFileType);
}

TEST(PrefixIndex, firstRecordWinsAmongEqualPrefixes) {
    PrefixIndex index;
    index.addRecord(Value("first"), storedPrefixes(kExeValue));
    index.addRecord(Value("second"), storedPrefixes(kExeValue));
    EXPECT_EQ(index.lookup(kExeValue), "first");
}

TEST(PrefixIndex, emptyTypeOfTheFirstRecordMovesOnToTheNextShorterPrefix) {
    std::array<std::string_view, kPrefixCount> onlyFullLength{};
    onlyFullLength[0] = kExeValue;
    PrefixIndex index;
    index.addRecord(Value(""), onlyFullLength);
    // Second at full length: that query only ever reads its first record.
    index.addRecord(Value("hidden"), onlyFullLength);
    index.addRecord(Value("nine"), storedPrefixes("4D5A90000"));
    EXPECT_EQ(index.lookup(kExeValue), "nine");
}

TEST(PrefixIndex, recordWithEmptyTypeShadowsLaterOnesAtEveryLengthItHolds) {
    PrefixIndex index;
    index.addRecord(Value(""), storedPrefixes(kExeValue));
    index.addRecord(Value("later"), storedPrefixes(kExeValue));
    EXPECT_EQ(index.lookup(kExeValue), kUnknownFileType);
}

TEST(PrefixIndex, shortStoredValueMatchesLongerSignaturesThatBeginWithIt) {
    PrefixIndex index;
    index.addRecord(Value("six"), storedPrefixes("4D5A90"));
    EXPECT_EQ(index.lookup("4D5A90"), "six");
    EXPECT_EQ(index.lookup(kExeValue), "six");  // "特征值6" holds 4D5A90
    EXPECT_EQ(index.lookup("4D5B90"), kUnknownFileType);
}

TEST(PrefixIndex, lettersCaseAndForeignTextMatchOnlyExactly) {
    PrefixIndex index;
    index.addRecord(Value("lower"), storedPrefixes("4d5a9000030000000400"));
    index.addRecord(Value("spaced"), storedPrefixes("4D 5A 90 00 03"));
    index.addRecord(Value("short"), storedPrefixes(kTooShort));
    EXPECT_EQ(index.lookup(kExeValue), kUnknownFileType);
    EXPECT_EQ(index.lookup("4d5a9000030000000400"), "lower");
    EXPECT_EQ(index.lookup("4D 5A 90 00 03"), "spaced");
    EXPECT_EQ(index.lookup(kTooShort), "short");
}

TEST(PrefixIndex, emptyStoredPrefixesNeverMatch) {
    PrefixIndex index;
    index.addRecord(Value("none"), std::array<std::string_view, kPrefixCount>{});
    EXPECT_EQ(index.lookup(kExeValue), kUnknownFileType);
}

// A library received from someone may hold any kind of value as a type: a whole
// number reads as its digits, anything else as no type, so the next shorter
// prefix decides. Nothing may end the program (it once did, with exit code 255).
TEST(PrefixIndex, deciderWithATypeThatIsNotTextIsReadAsTextOrPassedOver) {
    const std::pair<Value, std::string> cases[] = {
        {Value(std::int32_t{7}), "7"}, {Value(std::int64_t{-12}), "-12"},
        {Value(3.25), "early"},        {Value(ByteSet{0xDE, 0xAD}), "early"},
        {Value(true), "early"},        {Value(), "early"},
    };
    for (const auto& [type, expected] : cases) {
        PrefixIndex index;
        index.addRecord(Value("early"), storedPrefixes("4D5A"));
        index.addRecord(type, storedPrefixes(kExeValue));
        EXPECT_EQ(index.lookup(kExeValue), expected);
    }
}

}  // namespace
}  // namespace vex
