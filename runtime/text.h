#pragma once
// Text commands on UTF-8 texts. Lengths and positions count bytes, but no command
// ever matches or cuts inside a multi-byte character, so a store never receives a
// broken character. Broken input is tolerated: a byte that does not start a valid
// UTF-8 sequence counts as a character of its own.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace vex {

// Byte length (1..4) of the character that starts at `pos`; 1 for an invalid or
// truncated sequence, 0 at or past the end.
std::size_t characterLength(std::string_view text, std::size_t pos);

// True when `pos` does not lie inside a multi-byte character (0 and size() are boundaries).
bool isCharacterBoundary(std::string_view text, std::size_t pos);

// The longest prefix of at most `n` bytes that does not end inside a character.
// Storing and looking up signature prefixes both use this cut, so they agree.
std::string cutToBytes(std::string_view text, std::size_t n);

int textLength(std::string_view text);

// The first / last min(n, length) bytes, empty when n <= 0. A cut that would split a
// character leaves that character out.
std::string leftPart(std::string_view text, int n);
std::string rightPart(std::string_view text, int n);

// 1-based byte position of the last occurrence of `sought`, -1 when there is none.
// With `start`, only the bytes before position `start` are searched. `ignoreCase`
// folds ASCII letters only; other characters compare exactly.
int findTextFromEnd(std::string_view text, std::string_view sought, std::optional<int> start = std::nullopt,
                    bool ignoreCase = false);

// a-z to A-Z; every other byte is kept.
std::string toUpperCase(std::string_view text);

// Without leading and trailing blanks: the space and the ideographic space U+3000.
// Tabs and line breaks are not blanks.
std::string trimBothEnds(std::string_view text);

// Splits at `delimiter` (default ","). At most `maxCount` elements (none when
// negative or 0); the rest of the text after the last one is dropped. A delimiter at
// the very end adds no empty element; two touching delimiters give one.
TextArray splitText(std::string_view text, std::optional<std::string_view> delimiter = std::nullopt,
                    std::optional<int> maxCount = std::nullopt);

// Appends `field` to `out` as one CSV field (RFC 4180): a field holding a comma,
// a quote or a line break is quoted, its quotes doubled.
void appendCsvField(std::string& out, std::string_view field);

}  // namespace vex
