#pragma once
// The program's texts in the user's language. Each text is written once in the
// code, the window's in Chinese and the messages in English, and looked up by
// context and source text in a catalogue compiled from i18n/*.ts and built into
// the program. A text without a translation shows as written. Stored values
// (types, signature values, "未知类型") are data: they never pass through here.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace vex {

enum class Language { Chinese, English };

namespace text_context {
// Captions, pages, column titles and the help text of the windows' layouts.
inline constexpr const char* kWindow = "Window";
// Messages and refusal reasons of the operations and the window's handlers.
inline constexpr const char* kMessages = "Messages";
}  // namespace text_context

// The language a locale name asks for: "zh..." Chinese, any other named
// language English; nothing for an empty name, "C" and "POSIX".
std::optional<Language> languageOfLocale(std::string_view localeName);
// The language the environment asks for: the first entry of LANGUAGE, else
// LC_ALL, LC_MESSAGES, LANG, as gettext reads them. LANGUAGE counts only
// when the locale is not C, as with gettext.
std::optional<Language> requestedLanguage();

// Loads the catalogue of `language` for every later lookup, and when a Qt
// application exists, Qt's own translations, so its dialogs speak the same
// language. False when a catalogue could not be loaded (the texts then show as written).
bool useLanguage(Language language);
// The language in use; Chinese until useLanguage chose another.
Language currentLanguage();

// `source` in the language in use.
std::string translated(const char* context, std::string_view source);
// The same, with %1, %2, ... replaced by `arguments`, which are never translated.
std::string translatedWith(const char* context, std::string_view source,
                           std::initializer_list<std::string_view> arguments);
// A message text in the language in use: translated(text_context::kMessages, ...).
inline std::string message(std::string_view source) { return translated(text_context::kMessages, source); }
inline std::string message(std::string_view source, std::initializer_list<std::string_view> arguments) {
    return translatedWith(text_context::kMessages, source, arguments);
}

}  // namespace vex
