#include "runtime/text.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace vex {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

unsigned char byteAt(std::string_view text, std::size_t pos) { return static_cast<unsigned char>(text[pos]); }

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Range of the byte after the lead byte that keeps the sequence valid: this refuses
// overlong forms, surrogates and code points above U+10FFFF.
struct LeadInfo {
    std::size_t length;
    unsigned char secondMin;
    unsigned char secondMax;
};

LeadInfo leadInfo(unsigned char lead) {
    if (lead < 0x80) return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    return {1, 0, 0};  // a stray continuation byte or a byte that never starts a character
}

int clampToInt(std::size_t n) {
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool bytesEqual(std::string_view a, std::string_view b, bool ignoreCase) {
    if (!ignoreCase) return a == b;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// A match counts only when it covers whole characters of the text.
bool matchesAt(std::string_view text, std::size_t pos, std::string_view sought, bool ignoreCase) {
    if (pos + sought.size() > text.size()) return false;
    return bytesEqual(text.substr(pos, sought.size()), sought, ignoreCase) &&
           isCharacterBoundary(text, pos + sought.size());
}

}  // namespace

std::size_t characterLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const LeadInfo info = leadInfo(byteAt(text, pos));
    if (info.length == 1 || pos + info.length > text.size()) return 1;
    const unsigned char second = byteAt(text, pos + 1);
    if (second < info.secondMin || second > info.secondMax) return 1;
    for (std::size_t i = 2; i < info.length; ++i) {
        if (!isContinuation(byteAt(text, pos + i))) return 1;
    }
    return info.length;
}

bool isCharacterBoundary(std::string_view text, std::size_t pos) {
    if (pos == 0 || pos >= text.size()) return true;
    if (!isContinuation(byteAt(text, pos))) return true;
    // Only a valid sequence that starts at most three bytes earlier can cover `pos`;
    // every byte that is not a continuation byte starts a character.
    const std::size_t earliest = pos >= 3 ? pos - 3 : 0;
    for (std::size_t start = pos; start-- > earliest;) {
        if (!isContinuation(byteAt(text, start))) return start + characterLength(text, start) <= pos;
    }
    return true;
}

std::string cutToBytes(std::string_view text, std::size_t n) {
    if (n >= text.size()) return std::string(text);
    while (!isCharacterBoundary(text, n)) --n;
    return std::string(text.substr(0, n));
}

int textLength(std::string_view text) { return clampToInt(text.size()); }

std::string leftPart(std::string_view text, int n) {
    if (n <= 0) return {};
    return cutToBytes(text, static_cast<std::size_t>(n));
}

std::string rightPart(std::string_view text, int n) {
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) >= text.size()) return std::string(text);
    std::size_t start = text.size() - static_cast<std::size_t>(n);
    while (!isCharacterBoundary(text, start)) ++start;
    return std::string(text.substr(start));
}

int findTextFromEnd(std::string_view text, std::string_view sought, std::optional<int> start,
                    bool ignoreCase) {
    std::string_view stretch = text;
    if (start) {
        const std::size_t limit = *start <= 1 ? 0 : static_cast<std::size_t>(*start - 1);
        if (limit < stretch.size()) {
            std::size_t cut = limit;
            while (!isCharacterBoundary(text, cut)) --cut;
            stretch = text.substr(0, cut);
        }
    }
    if (sought.empty()) return stretch.empty() ? -1 : 1;
    if (sought.size() > stretch.size()) return -1;
    for (std::size_t pos = stretch.size() - sought.size() + 1; pos-- > 0;) {
        if (isCharacterBoundary(stretch, pos) && matchesAt(stretch, pos, sought, ignoreCase)) {
            return clampToInt(pos + 1);
        }
    }
    return -1;
}

std::string toUpperCase(std::string_view text) {
    std::string result(text);
    // Bytes of multi-byte UTF-8 characters are all >= 0x80, so a per-byte pass never touches them.
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    return result;
}

std::string trimBothEnds(std::string_view text) {
    auto startsWithBlank = [](std::string_view t) {
        return t.starts_with(' ') || t.starts_with(kIdeographicSpace);
    };
    while (startsWithBlank(text)) text.remove_prefix(text.front() == ' ' ? 1 : kIdeographicSpace.size());
    while (!text.empty()) {
        if (text.ends_with(' ')) {
            text.remove_suffix(1);
        } else if (text.ends_with(kIdeographicSpace) &&
                   isCharacterBoundary(text, text.size() - kIdeographicSpace.size())) {
            text.remove_suffix(kIdeographicSpace.size());
        } else {
            break;
        }
    }
    return std::string(text);
}

TextArray splitText(std::string_view text, std::optional<std::string_view> delimiter,
                    std::optional<int> maxCount) {
    const std::string_view delim = delimiter.value_or(",");
    const std::size_t limit =
        !maxCount ? SIZE_MAX : (*maxCount < 0 ? 0 : static_cast<std::size_t>(*maxCount));
    TextArray parts;
    if (text.empty() || limit == 0) return parts;
    if (delim.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t cut = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, delim, false)) {
            parts.emplace_back(text.substr(cut, pos - cut));
            if (parts.size() >= limit) return parts;
            pos += delim.size();
            cut = pos;
        } else {
            pos += characterLength(text, pos);
        }
    }
    if (cut < text.size()) parts.emplace_back(text.substr(cut));
    return parts;
}

void appendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace vex
