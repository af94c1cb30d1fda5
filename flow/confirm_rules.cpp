#include "flow/confirm_rules.h"

#include <cstdint>
#include <optional>

#include "ident/prefix_index.h"
#include "runtime/translation.h"

namespace vex {
namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The characters of `text`, or nothing when it is not valid UTF-8.
std::optional<std::u32string> decodeUtf8(std::string_view text) {
    std::u32string decoded;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point are no characters.
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return std::nullopt;
        decoded.push_back(code);
        i += 1 + extra;
    }
    return decoded;
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string signatureRefusal(std::string_view signature, std::string& stored) {
    stored.clear();
    if (signature.empty()) return message("the signature value is empty");
    for (char c : signature)
        if (isBlank(static_cast<unsigned char>(c)))
            return message("the signature value holds blanks; write its hexadecimal digits without spaces");
    if (signature.size() >= 2 && signature[0] == '0' && (signature[1] == 'x' || signature[1] == 'X'))
        return message("the signature value starts with '0x'; write its hexadecimal digits alone");
    for (char c : signature) {
        if (isHexDigit(c)) continue;
        // Blanks and control characters were refused above; a byte past ASCII is part of a wider character.
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return message("the signature value holds a character that is no hexadecimal digit");
        return message("the signature value holds '%1', which is no hexadecimal digit", {std::string(1, c)});
    }
    const std::string digits = std::to_string(signature.size());
    if (signature.size() < kShortestConfirmedSignature)
        return message("the signature value has %1 hexadecimal digits; at least %2 are needed",
                       {digits, std::to_string(kShortestConfirmedSignature)});
    if (signature.size() > kLongestConfirmedSignature)
        return message(
            "the signature value has %1 hexadecimal digits; at most %2 are read from a file, "
            "and a longer value is not cut",
            {digits, std::to_string(kLongestConfirmedSignature)});
    stored.reserve(signature.size());
    for (char c : signature) stored.push_back(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
    return {};
}

std::string typeRefusal(std::string_view type) {
    if (type.empty()) return message("the file type is empty");
    const std::optional<std::u32string> characters = decodeUtf8(type);
    if (!characters) return message("the file type is not valid UTF-8 text");
    for (char32_t c : *characters) {
        if (c == U'/') return message("the file type holds '/', which no file name can hold");
        if (isControl(c)) return message("the file type holds a control character");
    }
    if (characters->size() > kLongestConfirmedType)
        return message("the file type has %1 characters; at most %2 fit",
                       {std::to_string(characters->size()), std::to_string(kLongestConfirmedType)});
    if (type == kUnknownFileType)
        return message("'%1' is what identification answers when nothing matches", {kUnknownFileType});
    return {};
}

ConfirmCheck checkConfirmedPair(std::string_view signature, std::string_view type) {
    ConfirmCheck check;
    check.reason = signatureRefusal(signature, check.signature);
    if (check.reason.empty()) check.reason = typeRefusal(type);
    if (!check.reason.empty()) check.signature.clear();
    return check;
}

}  // namespace vex
