#include "runtime/convert.h"

#include <locale.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "runtime/text.h"

namespace vex {
namespace {

constexpr int kSecondsPerDay = 86400;
// The last second of a day, as a fraction of the day: the range check keeps the time of day.
constexpr double kLastSecondOfDay = (kSecondsPerDay - 1) / static_cast<double>(kSecondsPerDay);

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(std::int64_t z, DateTimeParts& parts) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    parts.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    parts.year = static_cast<int>(yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0));
}

const std::int64_t kEpochFromUnix = daysFromCivil(1899, 12, 30);

bool partsInRange(const DateTimeParts& p) {
    return p.year >= 100 && p.year <= 9999 && p.month >= 1 && p.month <= 12 && p.day >= 1 &&
           p.day <= daysInMonth(p.year, p.month) && p.hour >= 0 && p.hour <= 23 && p.minute >= 0 &&
           p.minute <= 59 && p.second >= 0 && p.second <= 59;
}

char32_t threeByteCodePoint(std::string_view c) {
    return static_cast<char32_t>(((static_cast<unsigned char>(c[0]) & 0x0F) << 12) |
                                 ((static_cast<unsigned char>(c[1]) & 0x3F) << 6) |
                                 (static_cast<unsigned char>(c[2]) & 0x3F));
}

// The ASCII stand-in of a full-width character, or 0 when it has none.
char halfWidthOf(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5E) return static_cast<char>(cp - 0xFF01 + 0x21);
    switch (cp) {
        case 0x3000:
            return ' ';
        case 0x301C:
            return '~';  // the wave dash some code-page tables give for the full-width tilde
        case 0x2605:
        case 0x2606:
            return '*';
        default:
            return 0;
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to `maxDigits` digits at `pos`; no digits read as 0.
int readNumberPart(std::string_view text, std::size_t& pos, int maxDigits) {
    int value = 0;
    for (int n = 0; n < maxDigits && pos < text.size() && isDigit(text[pos]); ++n, ++pos) {
        value = value * 10 + (text[pos] - '0');
    }
    return value;
}

bool skipSeparator(std::string_view text, std::size_t& pos, int partIndex) {
    static constexpr std::array<std::string_view, 5> kUnits = {"年", "月", "日", "时", "分"};
    if (pos >= text.size()) return false;
    const char c = text[pos];
    if (c == '-' || c == '/' || c == '.' || c == ':' || (partIndex == 2 && c == ' ')) {
        ++pos;
        return true;
    }
    if (text.substr(pos).starts_with(kUnits[static_cast<std::size_t>(partIndex)])) {
        pos += kUnits[static_cast<std::size_t>(partIndex)].size();
        return true;
    }
    return false;
}

template <class T>
std::string formatGeneral(T value, int precision) {
    // to_chars formats as printf's %g would in the C locale, whatever locale the process runs in.
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, precision);
    return std::string(buffer.data(), result.ptr);
}

std::string dateTimeText(double value) {
    const DateTimeParts p = dateTimeToParts(value);
    std::string text =
        std::to_string(p.year) + "年" + std::to_string(p.month) + "月" + std::to_string(p.day) + "日";
    if (p.second != 0) {
        text +=
            std::to_string(p.hour) + "时" + std::to_string(p.minute) + "分" + std::to_string(p.second) + "秒";
    } else if (p.minute != 0) {
        text += std::to_string(p.hour) + "时" + std::to_string(p.minute) + "分";
    } else if (p.hour != 0) {
        text += std::to_string(p.hour) + "时";
    }
    return text;
}

bool isBlankForNumber(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Length of the longest decimal number at the start of `text`: sign, digits, point,
// digits, exponent. Hexadecimal, "inf" and "nan" are not decimal numbers.
std::size_t decimalPrefixLength(std::string_view text) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    std::size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) ++pos, ++digits;
    }
    if (digits == 0) return 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            while (exponent < text.size() && isDigit(text[exponent])) ++exponent;
            pos = exponent;
        }
    }
    return pos;
}

double readDecimal(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && isBlankForNumber(text[start])) ++start;
    const std::string number(text.substr(start, decimalPrefixLength(text.substr(start))));
    if (number.empty()) return 0;
    // strtod rounds and saturates (to +-HUGE_VAL or 0) as the C library does; the C locale
    // keeps "." as the decimal point even after Qt has applied the user's locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(number.c_str(), nullptr, cLocale);
}

std::string textUpToZero(const ByteSet& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        text.push_back(static_cast<char>(b));
    }
    return text;
}

}  // namespace

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

std::int64_t daysSinceEpoch(int year, int month, int day) {
    return daysFromCivil(year, month, day) - kEpochFromUnix;
}

double dateTimeFromParts(const DateTimeParts& parts) {
    const double days = static_cast<double>(daysSinceEpoch(parts.year, parts.month, parts.day));
    const double timeOfDay = (parts.hour * 3600 + parts.minute * 60 + parts.second) / double{kSecondsPerDay};
    return days >= 0 ? days + timeOfDay : days - timeOfDay;
}

DateTimeParts dateTimeToParts(double value) {
    if (std::isnan(value)) value = kNoDate;
    // Out of range goes to the first or last day; times within those days are kept.
    if (value < kNoDate - kLastSecondOfDay) value = kNoDate;
    if (value > kLastDate + kLastSecondOfDay) value = kLastDate;
    std::int64_t day = static_cast<std::int64_t>(std::trunc(value));
    std::int64_t seconds = std::llround(std::fabs(value - static_cast<double>(day)) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    if (day > static_cast<std::int64_t>(kLastDate)) {
        day = static_cast<std::int64_t>(kLastDate);
        seconds = kSecondsPerDay - 1;
    }
    DateTimeParts parts;
    civilFromDays(day + kEpochFromUnix, parts);
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

std::string toHalfWidth(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = characterLength(text, pos);
        const std::string_view character = text.substr(pos, length);
        const char ascii = length == 3 ? halfWidthOf(threeByteCodePoint(character)) : 0;
        if (ascii != 0) {
            result.push_back(ascii);
        } else {
            result.append(character);
        }
        pos += length;
    }
    return result;
}

std::optional<DateTime> parseDateTime(std::string_view text) {
    std::array<int, 6> values{};
    std::size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        values[static_cast<std::size_t>(i)] = readNumberPart(text, pos, i == 0 ? 4 : 2);
        if (i < 5) skipSeparator(text, pos, i);
    }
    const std::string_view rest = text.substr(pos);
    if (!rest.empty() && rest != "秒") return std::nullopt;
    const DateTimeParts parts{values[0], values[1], values[2], values[3], values[4], values[5]};
    if (!partsInRange(parts)) return std::nullopt;
    return DateTime{dateTimeFromParts(parts)};
}

std::string toText(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "真" : "假";
            } else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                                 std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, float>) {
                return formatGeneral(v, 6);
            } else if constexpr (std::is_same_v<T, double>) {
                return formatGeneral(v, 13);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return dateTimeText(v.days);
            } else if constexpr (std::is_same_v<T, ByteSet>) {
                return textUpToZero(v);
            } else if constexpr (std::is_same_v<T, NumericArray>) {
                return textUpToZero(v.data);
            } else {
                return {};
            }
        },
        value.storage());
}

std::string toHexText(std::int32_t value) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%X", static_cast<unsigned>(value));
    return buffer.data();
}

double toNumber(const Value& value) {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return readDecimal(toHalfWidth(v));
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? 1.0 : 0.0;
            } else if constexpr (std::is_arithmetic_v<T>) {
                return static_cast<double>(v);
            } else if constexpr (std::is_same_v<T, Subroutine>) {
                return static_cast<double>(v.address);
            } else {
                return 0.0;
            }
        },
        value.storage());
}

DateTime toDateTime(const Value& value) {
    if (const DateTime* dateTime = value.get_if<DateTime>()) return *dateTime;
    if (const std::string* text = value.get_if<std::string>()) {
        return parseDateTime(toHalfWidth(*text)).value_or(DateTime{kNoDate});
    }
    return DateTime{kNoDate};
}

}  // namespace vex
