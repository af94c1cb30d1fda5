// Any bytes a user may leave in "set.ini" or "setok.ini" must load without a crash, and
// the document must come out byte for byte as it went in, so hand-written lines survive.
// Edits taken from the input must read back the same from memory and after a save and
// reload: what the list shows is what the file holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/ini.h"

namespace {

// Splits the input at the first three zero bytes: the document, then a section, key and value to write.
std::string_view nextPart(std::string_view& rest) {
    const auto zero = rest.find('\0');
    const std::string_view part = rest.substr(0, zero);
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    return part;
}

void expectSameContent(const vex::IniDocument& a, const vex::IniDocument& b, std::string_view section,
                       std::string_view key) {
    if (a.sectionNames() != b.sectionNames()) __builtin_trap();
    if (a.value(section, key) != b.value(section, key)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view bytes = nextPart(rest);
    const std::string_view section = nextPart(rest);
    const std::string_view key = nextPart(rest);
    const std::string_view value = rest;

    vex::IniDocument document = vex::IniDocument::parse(bytes);
    if (document.serialise() != bytes) __builtin_trap();
    for (const std::string& name : document.sectionNames()) {
        if (!document.hasSection(name)) __builtin_trap();
        (void)document.read(name, key, "Unknown");
    }

    if (document.setValue(section, key, value).empty()) {
        if (!document.value(section, key)) __builtin_trap();
        expectSameContent(document, vex::IniDocument::parse(document.serialise()), section, key);
    }
    document.removeKey(section, key);
    expectSameContent(document, vex::IniDocument::parse(document.serialise()), section, key);
    document.removeSection(section);
    expectSameContent(document, vex::IniDocument::parse(document.serialise()), section, key);
    return 0;
}
