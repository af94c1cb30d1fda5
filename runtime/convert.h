#pragma once
// Conversions between typed values: to text, to hexadecimal text, to number and
// to date-time, with the date helpers they share. Numbers are formatted and read
// the same way whatever the process locale is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace vex {

// Date-times are valid from 100-01-01 to 9999-12-31; the first day also stands for "no date".
constexpr double kNoDate = -657434.0;
constexpr double kLastDate = 2958465.0;

struct DateTimeParts {
    int year = 100;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);

// Whole days from 1899-12-30 to the given Gregorian date (negative before it).
std::int64_t daysSinceEpoch(int year, int month, int day);

// The date-time value of the parts. Before 1899-12-30 the time of day is subtracted
// from the (negative) day number, so the fraction always reads as the time of day.
double dateTimeFromParts(const DateTimeParts& parts);

// The calendar parts of a value, rounded to the nearest second and first brought
// into the valid range (a value that is not a number counts as no date).
DateTimeParts dateTimeToParts(double value);

// Full-width forms turned to ASCII: U+FF01..U+FF5E to 0x21..0x7E, U+3000 to a blank,
// the wave dash U+301C to "~" and the stars U+2605/U+2606 to "*". Everything else is kept.
std::string toHalfWidth(std::string_view text);

// Reads year, month, day, hour, minute and second ("2012-2-29", "2012年2月29日 8时",
// "2012/02/29 08:05:09"); nullopt when the text does not parse or a part is out of range.
// The text is taken as it is: callers that accept full-width input convert it first.
std::optional<DateTime> parseDateTime(std::string_view text);

// "真"/"假" for bools, "%.13g" for doubles, "%.6g" for floats, dates as 年月日 with
// the time parts that are not zero, byte-sets up to their first zero byte.
std::string toText(const Value& value);

// "%X" of the value as 32 bits: -1 gives FFFFFFFF.
std::string toHexText(std::int32_t value);

// Texts are turned to half-width and read as a decimal number prefix (0 when there is
// none); numbers keep their value, bools give 1 or 0, anything else gives 0.
double toNumber(const Value& value);

// A date-time is returned as it is; a text is turned to half-width and parsed; anything
// else, or a text that does not parse, gives no date.
DateTime toDateTime(const Value& value);

}  // namespace vex
