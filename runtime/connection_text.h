#pragma once
// The connection texts the database units build and read, defined here and
// nowhere else. They are kept byte for byte as they have always been written:
// stored connection texts and the callers that build, compare or parse them
// rely on exactly these forms. Here they are only text; nothing is loaded by
// the names they contain.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vex::connection_text {

// A value holding ";", "{" or "}" is written in braces, with each "}" inside
// doubled, as connection texts quote values: otherwise a folder named
// "lib;FIL=x" would end the file name at its ";" and name another file.
inline bool needsQuoting(std::string_view value) {
    return value.find_first_of(";{}") != std::string_view::npos;
}

inline std::string quotedValue(std::string_view value) {
    if (!needsQuoting(value)) return std::string(value);
    std::string quoted = "{";
    for (char c : value) {
        quoted += c;
        if (c == '}') quoted += '}';
    }
    quoted += '}';
    return quoted;
}

// A value in braces at the start of `text`: the value without them, "}}" read as
// "}", and in `length` how much of `text` it took. Nothing when `text` does not
// begin with a closed brace-quoted value.
inline std::optional<std::string> unquotedValue(std::string_view text, std::size_t& length) {
    if (text.empty() || text.front() != '{') return std::nullopt;
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '}') {
            value += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '}') {
            value += '}';
            ++i;
            continue;
        }
        length = i + 1;
        return value;
    }
    return std::nullopt;
}

// The database connection unit's text (record sets read and write through it):
//   "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=<file>"
// followed, when the password is not empty, by ";Jet OLEDB:Database Password=<password>;".
inline constexpr std::string_view kConnectionStart = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=";
inline constexpr std::string_view kDataSourceKey = "Data Source=";
inline constexpr std::string_view kPasswordOption = ";Jet OLEDB:Database Password=";
inline constexpr std::string_view kOptionsStart = ";Jet OLEDB:";  // the data source ends here
inline constexpr std::string_view kPasswordOptionEnd = ";";

// The external database unit's text (read-only lookups):
//   "ODBC;DBQ=<file>[;DefaultDir=<folder>];Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access
//    [;UID=<user>][;PWD=<password>];"
inline constexpr std::string_view kExternalStart = "ODBC;DBQ=";
inline constexpr std::string_view kFileKey = "DBQ=";
inline constexpr std::string_view kFolderKey = ";DefaultDir=";
inline constexpr std::string_view kDriverKey = ";Driver=";
inline constexpr std::string_view kDriverAndFormat =
    ";Driver={Microsoft Access Driver (*.mdb)};FIL=MS Access";
inline constexpr std::string_view kFormatKey = ";FIL=";
inline constexpr std::string_view kUserKey = ";UID=";
inline constexpr std::string_view kPasswordKey = ";PWD=";
inline constexpr std::string_view kExternalEnd = ";";

// The keys that can follow the file name in the external text, so a name may hold a ";".
inline constexpr std::string_view kKeysAfterFile[] = {kFolderKey, kDriverKey, kUserKey, kPasswordKey,
                                                      kFormatKey};

}  // namespace vex::connection_text
