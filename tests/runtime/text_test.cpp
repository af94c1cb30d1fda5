#include "runtime/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vex {
namespace {

// 中 is three bytes in UTF-8, é two, 😀 four.
const std::string kZhong = "\xE4\xB8\xAD";
const std::string kIdeoSpace = "\xE3\x80\x80";

struct CutCase {
    std::string text;
    int n;
    std::string left;
    std::string right;
};

class LeftRightPartTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(LeftRightPartTest, cutsWholeCharactersOnly) {
    const CutCase& c = GetParam();
    EXPECT_EQ(leftPart(c.text, c.n), c.left);
    EXPECT_EQ(rightPart(c.text, c.n), c.right);
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftRightPartTest,
                         ::testing::Values(CutCase{"abc", 5, "abc", "abc"}, CutCase{"abc", 0, "", ""},
                                           CutCase{"abc", -3, "", ""}, CutCase{"abc", 2, "ab", "bc"},
                                           // A cut inside a character leaves that character out.
                                           CutCase{kZhong + "ab", 1, "", "b"},
                                           CutCase{kZhong + "ab", 2, "", "ab"},
                                           CutCase{kZhong + "ab", 3, kZhong, "ab"},
                                           CutCase{"ab" + kZhong, 4, "ab", "b" + kZhong},
                                           CutCase{"ab" + kZhong, 3, "ab", kZhong},
                                           CutCase{"a\xF0\x9F\x98\x80", 4, "a", "\xF0\x9F\x98\x80"},
                                           // Broken UTF-8: every stray byte is a character of its own.
                                           CutCase{"\xE4\xB8x", 1, "\xE4", "x"},
                                           CutCase{"\x80\x80\x80\x80", 2, "\x80\x80", "\x80\x80"},
                                           CutCase{"\xFF\xFE", 1, "\xFF", "\xFE"}));

TEST(CutToBytesTest, neverEndsInsideACharacter) {
    const std::string text = "AB" + kZhong + "\xC3\xA9" + "\xF0\x9F\x98\x80";
    for (std::size_t n = 0; n <= text.size() + 2; ++n) {
        const std::string cut = cutToBytes(text, n);
        EXPECT_LE(cut.size(), n);
        EXPECT_TRUE(isCharacterBoundary(text, cut.size())) << n;
        EXPECT_EQ(text.compare(0, cut.size(), cut), 0);
    }
    EXPECT_EQ(cutToBytes(text, 4), "AB");
    EXPECT_EQ(cutToBytes(text, 5), "AB" + kZhong);
}

TEST(CharacterLengthTest, refusesOverlongSurrogateAndTruncatedSequences) {
    EXPECT_EQ(characterLength("\xC3\xA9", 0), 2u);
    EXPECT_EQ(characterLength("\xC0\xAF", 0), 1u);          // overlong "/"
    EXPECT_EQ(characterLength("\xED\xA0\x80", 0), 1u);      // surrogate half
    EXPECT_EQ(characterLength("\xF4\x90\x80\x80", 0), 1u);  // above U+10FFFF
    EXPECT_EQ(characterLength("\xE4\xB8", 0), 1u);          // truncated at the end
    EXPECT_EQ(characterLength("x", 1), 0u);
}

struct FindCase {
    std::string text;
    std::string sought;
    std::optional<int> start;
    bool ignoreCase;
    int expected;
};

class FindTextFromEndTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindTextFromEndTest, findsLastWholeCharacterMatch) {
    const FindCase& c = GetParam();
    EXPECT_EQ(findTextFromEnd(c.text, c.sought, c.start, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindTextFromEndTest,
    ::testing::Values(FindCase{"a.b.txt", ".", {}, false, 4}, FindCase{"readme", ".", {}, false, -1},
                      FindCase{"a.b.txt", ".", 4, false, 2},   // only the bytes before position 4
                      FindCase{"a.b.txt", ".", 1, false, -1},  // start <= 1 searches nothing
                      FindCase{"a.b.txt", ".", 100, false, 4}, FindCase{"abc", "", {}, false, 1},
                      FindCase{"", "", {}, false, -1}, FindCase{"abc", "", 1, false, -1},
                      FindCase{"x.TXT", ".txt", {}, false, -1}, FindCase{"x.TXT", ".txt", {}, true, 2},
                      FindCase{"ab", "abc", {}, false, -1},
                      // The tail of one character never matches the start of the next.
                      FindCase{kZhong + kZhong, "\xAD\xE4", {}, false, -1},
                      // A sought text that stops inside a character of the text is no match.
                      FindCase{kZhong, "\xE4\xB8", {}, false, -1},
                      FindCase{"a" + kZhong + "b" + kZhong, kZhong, {}, false, 6},
                      // A start that falls inside a character excludes that character.
                      FindCase{kZhong + kZhong, kZhong, 6, false, 1}));

TEST(ToUpperCaseTest, changesAsciiLettersOnly) {
    EXPECT_EQ(toUpperCase("abc.Txt-z"), "ABC.TXT-Z");
    EXPECT_EQ(toUpperCase(kZhong + "\xC3\xA9x"), kZhong + "\xC3\xA9X");
}

TEST(TrimBothEndsTest, removesSpacesAndIdeographicSpacesOnly) {
    EXPECT_EQ(trimBothEnds(kIdeoSpace + kIdeoSpace + "x "), "x");
    EXPECT_EQ(trimBothEnds("  a b  "), "a b");
    EXPECT_EQ(trimBothEnds("\ta\r\n"), "\ta\r\n");
    EXPECT_EQ(trimBothEnds(" " + kIdeoSpace + " "), "");
    EXPECT_EQ(trimBothEnds(""), "");
    EXPECT_EQ(trimBothEnds("\x80\x80 "), "\x80\x80");
}

struct SplitCase {
    std::string text;
    std::optional<std::string> delimiter;
    std::optional<int> maxCount;
    std::vector<std::string> expected;
};

class SplitTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, splitsAtWholeCharacterDelimiters) {
    const SplitCase& c = GetParam();
    std::optional<std::string_view> delimiter;
    if (c.delimiter) delimiter = *c.delimiter;
    EXPECT_EQ(splitText(c.text, delimiter, c.maxCount), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTextTest,
    ::testing::Values(SplitCase{"4D|5A|", "|", {}, {"4D", "5A"}}, SplitCase{"a||b", "|", {}, {"a", "", "b"}},
                      SplitCase{"a,b,c", {}, 2, {"a", "b"}}, SplitCase{"a,b,c", {}, {}, {"a", "b", "c"}},
                      SplitCase{",a", {}, {}, {"", "a"}}, SplitCase{",", {}, {}, {""}},
                      SplitCase{"", ",", {}, {}}, SplitCase{"a,b", ",", 0, {}}, SplitCase{"a,b", ",", -1, {}},
                      SplitCase{"a,b", "", {}, {"a,b"}}, SplitCase{"a,b", {}, 2, {"a", "b"}},
                      SplitCase{"abc", ",", {}, {"abc"}},
                      SplitCase{"/p/1\r\n/p/2\r\n", "\r\n", {}, {"/p/1", "/p/2"}},
                      SplitCase{"a" + kZhong + "b", kZhong, {}, {"a", "b"}},
                      // A delimiter made of the tail of one character and the head of the next never matches.
                      SplitCase{kZhong + kZhong, "\xAD\xE4", {}, {kZhong + kZhong}},
                      // Broken UTF-8 still splits, byte by byte.
                      SplitCase{"\xE4,\xB8", ",", {}, {"\xE4", "\xB8"}}));

}  // namespace
}  // namespace vex
