#include "runtime/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace vex {
namespace {

struct Catalogue {
    std::mutex mutex;
    Language language = Language::Chinese;
    std::unique_ptr<QTranslator> own;
    std::unique_ptr<QTranslator> qt;
};

Catalogue& catalogue() {
    static Catalogue instance;
    return instance;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Where our catalogues are built into the program (i18n/CMakeLists.txt).
QString ownCatalogue(Language language) {
    return language == Language::English ? QStringLiteral(":/i18n/vexorin_en.qm")
                                         : QStringLiteral(":/i18n/vexorin_zh_CN.qm");
}

QString qtCatalogueName(Language language) {
    return language == Language::English ? QStringLiteral("qtbase_en") : QStringLiteral("qtbase_zh_CN");
}

}  // namespace

std::optional<Language> languageOfLocale(std::string_view localeName) {
    if (localeName.empty() || localeName == "C" || localeName == "POSIX" || localeName.starts_with("C.") ||
        localeName.starts_with("POSIX."))
        return std::nullopt;
    if (localeName.starts_with("zh")) return Language::Chinese;
    return Language::English;
}

std::optional<Language> requestedLanguage() {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.empty()) break;
    }
    const std::optional<Language> fromLocale = languageOfLocale(locale);
    if (!fromLocale) return std::nullopt;
    const std::string languages = environment("LANGUAGE");
    const std::string first = languages.substr(0, languages.find(':'));
    if (const std::optional<Language> fromList = languageOfLocale(first)) return fromList;
    return fromLocale;
}

bool useLanguage(Language language) {
    Catalogue& c = catalogue();
    std::lock_guard lock(c.mutex);
    const bool application = QCoreApplication::instance() != nullptr;
    for (auto* old : {c.own.get(), c.qt.get()})
        if (old != nullptr && application) QCoreApplication::removeTranslator(old);
    c.own = std::make_unique<QTranslator>();
    c.qt.reset();
    c.language = language;
    const bool loaded = c.own->load(ownCatalogue(language));
    if (!loaded) c.own.reset();
    // Qt's own texts are only ever shown through an application; without one (the command line) they are not
    // read.
    if (application) {
        c.qt = std::make_unique<QTranslator>();
        if (!c.qt->load(qtCatalogueName(language), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            c.qt.reset();
    }
    if (application) {
        if (c.qt) QCoreApplication::installTranslator(c.qt.get());
        if (c.own) QCoreApplication::installTranslator(c.own.get());
    }
    return loaded;
}

Language currentLanguage() {
    Catalogue& c = catalogue();
    std::lock_guard lock(c.mutex);
    return c.language;
}

std::string translated(const char* context, std::string_view source) {
    Catalogue& c = catalogue();
    std::lock_guard lock(c.mutex);
    if (!c.own || source.empty()) return std::string(source);
    const std::string key(source);
    const QString text = c.own->translate(context, key.c_str());
    return text.isEmpty() ? key : text.toStdString();
}

std::string translatedWith(const char* context, std::string_view source,
                           std::initializer_list<std::string_view> arguments) {
    const std::string pattern = translated(context, source);
    // One pass, so an argument holding "%2" is never replaced in turn.
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (index < arguments.size()) {
                text += *(arguments.begin() + index);
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    return text;
}

}  // namespace vex
