// Splitting any text, broken UTF-8 included, must never crash, and without a maximum
// count the parts joined by the delimiter must give back the text (a delimiter at the
// very end adds no part). The first byte chooses the delimiter and the maximum count.
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/text.h"

namespace {

constexpr std::string_view kDelimiters[] = {",", "|", "\r\n", "\xE4\xB8\xAD", "\xAD\xE4", "ab", ""};

std::string join(const vex::TextArray& parts, std::string_view delimiter) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += delimiter;
        joined += parts[i];
    }
    return joined;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view delimiter = kDelimiters[control % std::size(kDelimiters)];
    const int maxCount = (control >> 4) - 2;  // -2 … 13

    const vex::TextArray limited = vex::splitText(text, delimiter, maxCount);
    if (limited.size() > static_cast<std::size_t>(maxCount < 0 ? 0 : maxCount)) __builtin_trap();

    const vex::TextArray parts = vex::splitText(text, delimiter);
    if (!delimiter.empty()) {
        const std::string joined = join(parts, delimiter);
        if (joined != text && joined + std::string(delimiter) != text) __builtin_trap();
    }
    for (const std::string& part : parts) {
        if (vex::cutToBytes(part, part.size()) != part) __builtin_trap();
    }
    const std::string left = vex::leftPart(text, maxCount);
    if (!vex::isCharacterBoundary(text, left.size())) __builtin_trap();
    (void)vex::findTextFromEnd(text, delimiter, maxCount, control & 1);
    (void)vex::trimBothEnds(text);
    return 0;
}
