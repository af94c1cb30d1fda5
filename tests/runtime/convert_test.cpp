#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace vex {
namespace {

struct ToTextCase {
    Value value;
    std::string expected;
};

class ToTextTest : public ::testing::TestWithParam<ToTextCase> {};

TEST_P(ToTextTest, formatsEveryType) { EXPECT_EQ(toText(GetParam().value), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, ToTextTest,
    ::testing::Values(
        ToTextCase{Value("abc"), "abc"}, ToTextCase{Value(std::uint8_t{255}), "255"},
        ToTextCase{Value(std::int16_t{-5}), "-5"},
        ToTextCase{Value(std::int32_t{-2147483647 - 1}), "-2147483648"},
        ToTextCase{Value(std::int64_t{9007199254740993}), "9007199254740993"}, ToTextCase{Value(0.1f), "0.1"},
        ToTextCase{Value(4.0), "4"}, ToTextCase{Value(0.5), "0.5"},
        ToTextCase{Value(1.0 / 3), "0.3333333333333"}, ToTextCase{Value(1e20), "1e+20"},
        ToTextCase{Value(true), "真"}, ToTextCase{Value(false), "假"},
        ToTextCase{Value(ByteSet{'a', 'b', 0, 'c'}), "ab"}, ToTextCase{Value(ByteSet{}), ""},
        ToTextCase{Value(), ""}, ToTextCase{Value(UnitRef{1, 2}), ""},
        ToTextCase{Value(Subroutine{0x1234}), ""},
        // Numeric arrays give their stored bytes up to the first zero byte.
        ToTextCase{Value(NumericArray::of(TypeTag::Byte, std::vector<std::uint8_t>{'o', 'k', 0, 'x'})), "ok"},
        // 0x00636261 is stored as 61 62 63 00 on the little-endian machines we build for.
        ToTextCase{Value(NumericArray::of(TypeTag::Int, std::vector<std::int32_t>{0x00636261, 0x64})), "abc"},
        ToTextCase{Value(NumericArray::of(TypeTag::Short, std::vector<std::int16_t>{})), ""},
        // Date-times: the time parts are shown down to the last one that is not zero.
        ToTextCase{Value(DateTime{0}), "1899年12月30日"},
        ToTextCase{Value(DateTime{0.5}), "1899年12月30日12时"},
        ToTextCase{Value(DateTime{2 + 30.0 / 1440}), "1900年1月1日0时30分"},
        ToTextCase{Value(DateTime{2 + 1.0 / 86400}), "1900年1月1日0时0分1秒"},
        ToTextCase{Value(DateTime{-1.25}), "1899年12月29日6时"},
        ToTextCase{Value(DateTime{0.99999999}), "1899年12月31日"},
        ToTextCase{Value(DateTime{kNoDate}), "100年1月1日"},
        ToTextCase{Value(DateTime{-1e12}), "100年1月1日"},
        ToTextCase{Value(DateTime{1e12}), "9999年12月31日"},
        ToTextCase{Value(DateTime{kLastDate + 0.5}), "9999年12月31日12时"},
        ToTextCase{Value(DateTime{std::numeric_limits<double>::quiet_NaN()}), "100年1月1日"}));

TEST(NumericArrayValue, carriesItsElementTagWithTheArrayFlag) {
    EXPECT_EQ(
        static_cast<std::uint32_t>(Value(NumericArray::of(TypeTag::Int, std::vector<std::int32_t>{1})).tag()),
        0xA0000301u);
    EXPECT_EQ(
        static_cast<std::uint32_t>(Value(NumericArray::of(TypeTag::Double, std::vector<double>{})).tag()),
        0xA0000601u);
    EXPECT_EQ(toNumber(Value(NumericArray::of(TypeTag::Byte, std::vector<std::uint8_t>{'7'}))), 0);
}

TEST(ToHexTextTest, formatsThirtyTwoBitsUpperCase) {
    EXPECT_EQ(toHexText(255), "FF");
    EXPECT_EQ(toHexText(-1), "FFFFFFFF");
    EXPECT_EQ(toHexText(0), "0");
    EXPECT_EQ(toHexText(0x7ABCDEF0), "7ABCDEF0");
}

struct ToNumberCase {
    Value value;
    double expected;
};

class ToNumberTest : public ::testing::TestWithParam<ToNumberCase> {};

TEST_P(ToNumberTest, readsTheLongestDecimalPrefix) {
    EXPECT_DOUBLE_EQ(toNumber(GetParam().value), GetParam().expected) << toText(GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToNumberTest,
    ::testing::Values(
        ToNumberCase{Value("１２.5"), 12.5}, ToNumberCase{Value("abc"), 0}, ToNumberCase{Value(""), 0},
        ToNumberCase{Value("  3.5kg"), 3.5}, ToNumberCase{Value("\t7"), 7}, ToNumberCase{Value("　８"), 8},
        ToNumberCase{Value("－５"), -5}, ToNumberCase{Value("-2e3"), -2000}, ToNumberCase{Value("1e"), 1},
        ToNumberCase{Value("1e+"), 1}, ToNumberCase{Value(".5"), 0.5}, ToNumberCase{Value("5."), 5},
        ToNumberCase{Value("+4"), 4}, ToNumberCase{Value("-"), 0}, ToNumberCase{Value("."), 0},
        // Only decimal numbers: no hexadecimal, infinity or NaN spelled out.
        ToNumberCase{Value("0x10"), 0}, ToNumberCase{Value("inf"), 0}, ToNumberCase{Value("nan"), 0},
        ToNumberCase{Value(std::uint8_t{200}), 200}, ToNumberCase{Value(std::int16_t{-3}), -3},
        ToNumberCase{Value(std::int32_t{-7}), -7},
        ToNumberCase{Value(std::int64_t{1} << 40), 1099511627776.0}, ToNumberCase{Value(2.5f), 2.5},
        ToNumberCase{Value(true), 1}, ToNumberCase{Value(false), 0},
        ToNumberCase{Value(Subroutine{4096}), 4096}, ToNumberCase{Value(DateTime{5}), 0},
        ToNumberCase{Value(ByteSet{'1'}), 0}, ToNumberCase{Value(), 0}));

TEST(ToNumberTest, saturatesLikeTheCLibrary) {
    EXPECT_TRUE(std::isinf(toNumber(Value("1e999"))));
    EXPECT_EQ(toNumber(Value("1e-999")), 0.0);
}

TEST(ToHalfWidthTest, mapsFullWidthFormsAndKeepsTheRest) {
    EXPECT_EQ(toHalfWidth("！～０Ａｚ"), "!~0Az");
    EXPECT_EQ(toHalfWidth("　〜☆★"), " ~**");
    EXPECT_EQ(toHalfWidth("中文，ｘ"), "中文,x");
    EXPECT_EQ(toHalfWidth("\xEF\xBC"), "\xEF\xBC");  // a truncated character stays as it is
}

struct ParseCase {
    std::string text;
    std::optional<DateTimeParts> expected;  // nullopt: the text must not parse
};

class ParseDateTimeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDateTimeTest, readsSixPartsWithRangeChecks) {
    const ParseCase& c = GetParam();
    const DateTime parsed = toDateTime(Value(c.text));
    if (c.expected) {
        EXPECT_EQ(parsed.days, dateTimeFromParts(*c.expected)) << c.text;
        EXPECT_EQ(dateTimeToParts(parsed.days), *c.expected) << c.text;
    } else {
        EXPECT_EQ(parsed.days, kNoDate) << c.text;
        EXPECT_FALSE(parseDateTime(toHalfWidth(c.text))) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDateTimeTest,
    ::testing::Values(ParseCase{"2012年2月29日", DateTimeParts{2012, 2, 29, 0, 0, 0}},
                      ParseCase{"2012-2-29", DateTimeParts{2012, 2, 29, 0, 0, 0}},
                      ParseCase{"2012/02/29 08:05:09", DateTimeParts{2012, 2, 29, 8, 5, 9}},
                      ParseCase{"2012.2.29.8.5.9秒", DateTimeParts{2012, 2, 29, 8, 5, 9}},
                      ParseCase{"2012年2月29日8时5分9秒", DateTimeParts{2012, 2, 29, 8, 5, 9}},
                      ParseCase{"２０１２－２－２９　１２：３０", DateTimeParts{2012, 2, 29, 12, 30, 0}},
                      ParseCase{"20120229", DateTimeParts{2012, 2, 29, 0, 0, 0}},
                      ParseCase{"2000-2-29", DateTimeParts{2000, 2, 29, 0, 0, 0}},
                      ParseCase{"100-1-1", DateTimeParts{100, 1, 1, 0, 0, 0}},
                      ParseCase{"9999-12-31 23:59:59", DateTimeParts{9999, 12, 31, 23, 59, 59}},
                      ParseCase{"1899-12-29 6:00", DateTimeParts{1899, 12, 29, 6, 0, 0}},
                      ParseCase{"2012-02-30", std::nullopt}, ParseCase{"1900-2-29", std::nullopt},
                      ParseCase{"2011-2-29", std::nullopt}, ParseCase{"99-1-1", std::nullopt},
                      ParseCase{"2012-13-1", std::nullopt}, ParseCase{"2012-0-1", std::nullopt},
                      ParseCase{"2012-1-0", std::nullopt}, ParseCase{"2012-1-1 24:00", std::nullopt},
                      ParseCase{"2012-1-1 1:60", std::nullopt}, ParseCase{"2012-1-1 1:1:60", std::nullopt},
                      ParseCase{"2012-1-1 1:1:1 ", std::nullopt}, ParseCase{"2012-1-1x", std::nullopt},
                      ParseCase{"2012 1 1", std::nullopt}, ParseCase{"2012", std::nullopt},
                      ParseCase{"", std::nullopt}, ParseCase{"abc", std::nullopt},
                      ParseCase{" 2012-1-1", std::nullopt}, ParseCase{"2012-1-1秒秒", std::nullopt}));

TEST(ToDateTimeTest, keepsDateTimesAndRefusesOtherTypes) {
    EXPECT_EQ(toDateTime(Value(DateTime{5.5})).days, 5.5);
    EXPECT_EQ(toDateTime(Value(std::int32_t{5})).days, kNoDate);
    EXPECT_EQ(toDateTime(Value()).days, kNoDate);
}

TEST(DateHelpersTest, countDaysFromTheEndOf1899) {
    EXPECT_EQ(daysSinceEpoch(1899, 12, 30), 0);
    EXPECT_EQ(daysSinceEpoch(1900, 1, 1), 2);
    EXPECT_EQ(daysSinceEpoch(100, 1, 1), static_cast<std::int64_t>(kNoDate));
    EXPECT_EQ(daysSinceEpoch(9999, 12, 31), static_cast<std::int64_t>(kLastDate));
    EXPECT_EQ(dateTimeFromParts({1899, 12, 29, 6, 0, 0}), -1.25);
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(2012, 13), 0);
}

TEST(DateHelpersTest, partsRoundTripAcrossTheWholeRange) {
    for (int year = 100; year <= 9999; year += 97) {
        for (int month = 1; month <= 12; month += 5) {
            const DateTimeParts parts{year, month, daysInMonth(year, month), 23, 59, 59};
            EXPECT_EQ(dateTimeToParts(dateTimeFromParts(parts)), parts) << year << "-" << month;
        }
    }
}

}  // namespace
}  // namespace vex
