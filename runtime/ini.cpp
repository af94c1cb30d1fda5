#include "runtime/ini.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "runtime/atomic_file.h"
#include "runtime/files.h"

namespace vex {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blanks around names and values inside the file.
bool isFileBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view trimFileBlanks(std::string_view text) {
    while (!text.empty() && isFileBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isFileBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Names handed to the configuration-item commands lose spaces only.
std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string_view skipLeadingControlAndSpace(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) >= 0x01 &&
           static_cast<unsigned char>(text.front()) <= 0x20)
        text.remove_prefix(1);
    return text;
}

// Only A-Z fold, so bytes of multi-byte characters never merge two names.
bool equalFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// memchr twice: find_first_of with a set of two runs one search per character.
bool hasLineBreak(std::string_view text) {
    if (text.empty()) return false;  // an empty view may have no bytes to point at
    return std::memchr(text.data(), '\n', text.size()) || std::memchr(text.data(), '\r', text.size());
}

// Position of the first CR or LF at or after `from`, or npos.
std::size_t findLineBreak(std::string_view bytes, std::size_t from) {
    const std::string_view rest = bytes.substr(from);
    if (rest.empty()) return std::string_view::npos;  // an empty view may have no bytes to point at
    const void* lf = std::memchr(rest.data(), '\n', rest.size());
    const std::size_t lfAt =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest.data()) : rest.size();
    const void* cr = std::memchr(rest.data(), '\r', lfAt);
    const std::size_t at = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - rest.data()) : lfAt;
    return at == rest.size() ? std::string_view::npos : from + at;
}

std::string_view withoutLeadingBlanks(std::string_view line) {
    while (!line.empty() && isFileBlank(line.front())) line.remove_prefix(1);
    return line;
}

// The name of a section header line, or nothing when the line is no header.
// The name ends at the last "]"; a header without "]" still names a section.
std::optional<std::string_view> headerName(std::string_view line) {
    line = withoutLeadingBlanks(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.rfind(']');
    if (close != std::string_view::npos) line = line.substr(0, close);
    return trimFileBlanks(line);
}

bool isComment(std::string_view line) {
    line = withoutLeadingBlanks(line);
    return !line.empty() && line.front() == ';';
}

// The key of a "key=value" line inside a section, or nothing for any other line.
std::optional<std::string_view> keyOf(std::string_view line) {
    if (isComment(line)) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trimFileBlanks(line.substr(0, equals));
}

std::string valueOf(std::string_view line) {
    std::string_view value = trimFileBlanks(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return std::string(value);
}

std::string_view eolText(std::uint8_t eol) {
    switch (eol) {
        case 1:
            return "\n";
        case 2:
            return "\r";
        case 3:
            return "\r\n";
        default:
            return {};
    }
}

// Built by appending: GCC 12 warns wrongly about overlapping copies in chains of "+" at -O3.
std::string joinedText(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

// One line of `bytes` from `position`: its text, its line ending (as Eol's
// values: 0 none, 1 LF, 2 CR, 3 CR LF) and where the next line starts.
struct LineSpan {
    std::string_view text;
    std::uint8_t eol;
    std::size_t next;
};
LineSpan lineAt(std::string_view bytes, std::size_t position) {
    const std::size_t breakAt = findLineBreak(bytes, position);
    if (breakAt == std::string_view::npos) return {bytes.substr(position), 0, bytes.size()};
    const std::string_view text = bytes.substr(position, breakAt - position);
    if (bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n')
        return {text, 3, breakAt + 2};
    return {text, static_cast<std::uint8_t>(bytes[breakAt] == '\r' ? 2 : 1), breakAt + 1};
}

}  // namespace

IniDocument::IniDocument(SectionNames names) : index_(names == SectionNames::Exact) {}

IniDocument IniDocument::parse(std::string_view bytes, SectionNames names,
                               std::string_view dropLinesStartingWith) {
    return parseOwned(FileBytes(bytes), names, dropLinesStartingWith);
}

IniDocument IniDocument::parseOwned(FileBytes input, SectionNames names,
                                    std::string_view dropLinesStartingWith) {
    IniDocument document(names);
    document.source_ = std::move(input);
    const std::string_view bytes = document.source_.view();
    // A list entry takes some 80 bytes: room for that many names spares the index its regrowing.
    document.index_.reserve(bytes.size() / 96, document.sections_);
    bool styleKnown = false;
    Section* current = nullptr;
    for (std::size_t position = 0; position < bytes.size();) {
        const LineSpan line = lineAt(bytes, position);
        if (!styleKnown && line.eol != 0) {
            // New lines follow the file's own line ending, so an LF file stays LF.
            document.newLineStyle_ = static_cast<Eol>(line.eol);
            styleKnown = true;
        }
        std::string_view parsed = line.text;
        if (position == 0 && parsed.starts_with(kUtf8Bom)) parsed.remove_prefix(kUtf8Bom.size());
        const std::string_view whole = bytes.substr(position, line.next - position);
        position = line.next;
        if (!dropLinesStartingWith.empty() && parsed.starts_with(dropLinesStartingWith)) {
            // What follows in this section can no longer be one run of the file's bytes.
            if (current) document.linesOf(*current);
            continue;
        }
        if (auto name = headerName(parsed)) {
            document.sections_.push_back(Section{*name, whole});
            current = &document.sections_.back();
            current->parsed = true;
            document.indexSection(static_cast<std::uint32_t>(document.sections_.size() - 1));
        } else if (!current) {
            document.preamble_.push_back(Line{document.text(line.text), static_cast<Eol>(line.eol)});
        } else if (current->whole()) {
            current->raw = std::string_view(current->raw.data(), current->raw.size() + whole.size());
        } else {
            document.linesOf(*current).body.push_back(
                Line{document.text(line.text), static_cast<Eol>(line.eol)});
        }
    }
    return document;
}

IniDocument::SectionLines& IniDocument::linesOf(Section& section) {
    if (!section.whole()) return sectionLines_[section.lines];
    SectionLines lines{Line{Text(arena()), Eol::None}, Lines(arena())};
    bool header = true;
    for (std::size_t position = 0; position < section.raw.size();) {
        const LineSpan line = lineAt(section.raw, position);
        position = line.next;
        Line& target = header ? lines.header : lines.body.emplace_back(Line{Text(arena()), Eol::None});
        target.text.assign(line.text);
        target.eol = static_cast<Eol>(line.eol);
        header = false;
    }
    section.lines = static_cast<std::uint32_t>(sectionLines_.size());
    section.raw = {};
    return sectionLines_.emplace_back(std::move(lines));
}

std::string_view IniDocument::kept(std::string_view bytes) {
    if (bytes.empty()) return {};
    char* copy = static_cast<char*>(arena()->allocate(bytes.size(), 1));
    std::memcpy(copy, bytes.data(), bytes.size());
    return {copy, bytes.size()};
}

void IniDocument::forEachSectionName(std::string_view bytes,
                                     const std::function<void(std::string_view name)>& visit) {
    forEachSectionHeader(bytes, [&visit](std::string_view name, std::size_t) { visit(name); });
}

void IniDocument::forEachSectionHeader(
    std::string_view bytes, const std::function<void(std::string_view name, std::size_t lineStart)>& visit) {
    const bool bom = bytes.starts_with(kUtf8Bom);
    // Headers are found by their "[", rare in the other lines of a list, so the
    // scan hops from one to the next instead of walking every line.
    for (std::size_t position = 0; position < bytes.size();) {
        const void* found = std::memchr(bytes.data() + position, '[', bytes.size() - position);
        if (!found) return;
        const std::size_t bracket = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
        std::size_t lineStart = bracket;
        while (lineStart > 0 && isFileBlank(bytes[lineStart - 1])) --lineStart;
        const bool startsLine = lineStart == 0 || bytes[lineStart - 1] == '\n' ||
                                bytes[lineStart - 1] == '\r' || (bom && lineStart == kUtf8Bom.size());
        const std::size_t breakAt = findLineBreak(bytes, bracket);
        const std::size_t end = breakAt == std::string_view::npos ? bytes.size() : breakAt;
        if (startsLine)
            if (auto name = headerName(bytes.substr(lineStart, end - lineStart))) visit(*name, lineStart);
        position = startsLine ? end : bracket + 1;
    }
}

void IniDocument::markSaved() {
    for (Section& section : sections_) section.parsed = true;
    modified_ = false;
    onlyNewSections_ = true;
}

std::string_view IniDocument::lineEnding() const { return eolText(static_cast<std::uint8_t>(newLineStyle_)); }

std::string IniDocument::load(const std::string& path, IniDocument& out, SectionNames names) {
    out = IniDocument(names);
    FileBytes bytes;
    if (std::string error = readRegularFile(path, bytes); !error.empty()) return error;
    out = parseOwned(std::move(bytes), names);
    return {};
}

template <typename Kept, typename Made>
void IniDocument::forEachPiece(Kept&& kept, Made&& made) const {
    auto line = [&made](const Line& each) {
        made(std::string_view(each.text.data(), each.text.size()));
        made(eolText(static_cast<std::uint8_t>(each.eol)));
    };
    for (const Line& each : preamble_) line(each);
    for (const Section& section : sections_) {
        if (section.whole()) {
            kept(section.raw);
            continue;
        }
        const SectionLines& lines = linesOf(section);
        if (!section.removed) {
            if (section.generatedHeader) {
                made("[");
                made(section.name);
                made("]");
            }
            line(lines.header);
        }
        for (const Line& each : lines.body) line(each);
    }
}

// A long list is written from the bytes it was read as, never copied whole into one
// string first: runs of kept sections go out as they lie in memory, and only what was
// made or changed, and kept runs too short to be worth a write of their own, is copied.
std::string IniDocument::save(const std::string& path) const {
    constexpr std::size_t kShortestKeptPart = 64 * 1024;
    std::string copied;
    struct Part {
        std::string_view kept;         // bytes held by the document
        std::size_t from = 0, to = 0;  // else a stretch of `copied`
    };
    std::vector<Part> parts;
    std::string_view run;  // kept sections lying one after another in memory, not yet placed
    auto copy = [&](std::string_view bytes) {
        if (parts.empty() || !parts.back().kept.empty()) parts.push_back({{}, copied.size(), copied.size()});
        copied.append(bytes);
        parts.back().to = copied.size();
    };
    auto placeRun = [&] {
        if (run.size() >= kShortestKeptPart)
            parts.push_back({run});
        else if (!run.empty())
            copy(run);
        run = {};
    };
    forEachPiece(
        [&](std::string_view bytes) {
            if (!run.empty() && run.data() + run.size() == bytes.data())
                run = {run.data(), run.size() + bytes.size()};
            else {
                placeRun();
                run = bytes;
            }
        },
        [&](std::string_view bytes) {
            placeRun();
            copy(bytes);
        });
    placeRun();
    std::vector<std::string_view> views;
    views.reserve(parts.size());
    for (const Part& part : parts)
        views.push_back(part.kept.empty() ? std::string_view(copied).substr(part.from, part.to - part.from)
                                          : part.kept);
    return saveFileAtomicallyInParts(path, views);
}

std::string IniDocument::newSectionsText() const {
    std::string bytes;
    for (const Section& section : sections_) {
        if (section.parsed || section.removed) continue;
        const SectionLines& lines = linesOf(section);
        bytes.append("[").append(section.name).append("]");
        bytes.append(lines.header.text.data(), lines.header.text.size());
        bytes += eolText(static_cast<std::uint8_t>(lines.header.eol));
        for (const Line& line : lines.body)
            bytes.append(line.text.data(), line.text.size()) += eolText(static_cast<std::uint8_t>(line.eol));
    }
    return bytes;
}

void IniDocument::adoptLineEnding(std::string_view bytes) {
    const std::size_t breakAt = findLineBreak(bytes, 0);
    if (breakAt == std::string_view::npos) return;
    if (bytes[breakAt] == '\n')
        newLineStyle_ = Eol::Lf;
    else
        newLineStyle_ = breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n' ? Eol::CrLf : Eol::Cr;
}

std::string IniDocument::serialise() const {
    std::size_t total = 0;
    forEachPiece([&total](std::string_view bytes) { total += bytes.size(); },
                 [&total](std::string_view bytes) { total += bytes.size(); });
    std::string bytes;
    bytes.reserve(total);
    auto append = [&bytes](std::string_view piece) { bytes.append(piece); };
    forEachPiece(append, append);
    return bytes;
}

std::uint32_t IniDocument::SectionIndex::hash(std::string_view name) const {
    if (exact_) return static_cast<std::uint32_t>(std::hash<std::string_view>()(name));
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

bool IniDocument::SectionIndex::equal(std::string_view a, std::string_view b) const {
    return exact_ ? a == b : equalFolded(a, b);
}

IniDocument::IndexEntry* IniDocument::SectionIndex::find(std::string_view name,
                                                         const std::deque<Section>& sections) {
    if (slots_.empty()) return nullptr;
    const std::uint32_t wanted = hash(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = wanted & mask;; i = (i + 1) & mask) {
        IndexEntry& slot = slots_[i];
        if (slot.first == kNoSection) return nullptr;
        if (slot.first != kRemovedName && slot.hash == wanted && equal(sections[slot.first].name, name))
            return &slot;
    }
}

bool IniDocument::SectionIndex::add(std::uint32_t position, const std::deque<Section>& sections) {
    const std::string_view name = sections[position].name;
    if (IndexEntry* entry = find(name, sections)) {
        ++entry->copies;
        return false;
    }
    if ((used_ + 1) * 2 > slots_.size()) grow(std::max<std::size_t>(16, slots_.size() * 2), sections);
    const std::uint32_t wanted = hash(name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = wanted & mask;
    while (slots_[i].first != kNoSection && slots_[i].first != kRemovedName) i = (i + 1) & mask;
    if (slots_[i].first == kNoSection) ++used_;
    slots_[i] = IndexEntry{position, 1, wanted};
    return true;
}

void IniDocument::SectionIndex::reserve(std::size_t names, const std::deque<Section>& sections) {
    std::size_t slots = std::max<std::size_t>(16, slots_.size());
    while (slots < names * 2) slots *= 2;
    if (slots > slots_.size()) grow(slots, sections);
}

void IniDocument::SectionIndex::grow(std::size_t slots, const std::deque<Section>&) {
    std::vector<IndexEntry> old(slots, IndexEntry{});
    old.swap(slots_);
    used_ = 0;
    const std::size_t mask = slots_.size() - 1;
    for (const IndexEntry& entry : old) {
        if (entry.first == kNoSection || entry.first == kRemovedName) continue;
        std::size_t i = entry.hash & mask;
        while (slots_[i].first != kNoSection) i = (i + 1) & mask;
        slots_[i] = entry;
        ++used_;
    }
}

IniDocument& IniDocument::operator=(IniDocument&& other) noexcept {
    if (this == &other) return *this;
    // The old texts and views go before the arena and the source that hold them.
    preamble_ = std::move(other.preamble_);
    sectionLines_ = std::move(other.sectionLines_);
    sections_ = std::move(other.sections_);
    index_ = std::move(other.index_);
    source_ = std::move(other.source_);
    arena_ = std::move(other.arena_);
    liveSections_ = other.liveSections_;
    newLineStyle_ = other.newLineStyle_;
    modified_ = other.modified_;
    onlyNewSections_ = other.onlyNewSections_;
    return *this;
}

std::pmr::memory_resource* IniDocument::arena() {
    if (!arena_) arena_ = std::make_unique<std::pmr::monotonic_buffer_resource>();
    return arena_.get();
}

IniDocument::Text IniDocument::joined(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size();
    Text joinedText(arena());
    joinedText.reserve(size);
    for (std::string_view part : parts) joinedText.append(part);
    return joinedText;
}

void IniDocument::indexSection(std::uint32_t position) {
    sections_[position].firstOfName = index_.add(position, sections_);
    ++liveSections_;
}

const IniDocument::Section* IniDocument::findSection(std::string_view section) const {
    const IndexEntry* found = const_cast<SectionIndex&>(index_).find(trimSpaces(section), sections_);
    return found ? &sections_[found->first] : nullptr;
}

IniDocument::Section* IniDocument::findSection(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).findSection(section));
}

std::optional<std::string> IniDocument::valueIn(const Section& section, std::string_view key) const {
    key = trimSpaces(key);
    if (section.whole()) {
        // The header line first, then the body's lines.
        for (std::size_t position = lineAt(section.raw, 0).next; position < section.raw.size();) {
            const LineSpan line = lineAt(section.raw, position);
            position = line.next;
            const auto lineKey = keyOf(line.text);
            if (lineKey && equalFolded(*lineKey, key)) return valueOf(line.text);
        }
        return std::nullopt;
    }
    for (const Line& line : linesOf(section).body) {
        const auto lineKey = keyOf(line.text);
        if (lineKey && equalFolded(*lineKey, key)) return valueOf(line.text);
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    const Section* found = findSection(section);
    if (!found) return std::nullopt;
    return valueIn(*found, key);
}

std::string IniDocument::SectionReader::read(std::string_view key, std::string_view defaultValue) const {
    if (auto found = document_.valueIn(*static_cast<const Section*>(section_), key)) return std::move(*found);
    while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

void IniDocument::forEachSection(
    const std::function<void(std::string_view name, const SectionReader& values)>& visit) const {
    for (const Section& section : sections_) {
        if (section.removed || section.name.empty()) continue;
        const Section* source = section.firstOfName ? &section : findSection(section.name);
        visit(section.name, SectionReader(*this, source));
    }
}

std::string IniDocument::read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    if (auto found = value(section, key)) return std::move(*found);
    while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

bool IniDocument::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

std::optional<std::size_t> IniDocument::sectionRank(std::string_view section) const {
    const IndexEntry* found = const_cast<SectionIndex&>(index_).find(trimSpaces(section), sections_);
    return found ? std::optional<std::size_t>(found->first) : std::nullopt;
}

std::vector<std::string> IniDocument::sectionNames() const {
    std::vector<std::string> names;
    names.reserve(liveSections_);
    for (const Section& section : sections_)
        if (!section.removed && !section.name.empty()) names.emplace_back(section.name);
    return names;
}

std::string IniDocument::checkSectionName(std::string_view name) {
    name = trimSpaces(name);
    if (name.empty()) return "an empty section name cannot be stored";
    if (hasLineBreak(name)) return "a name with a line break cannot be stored in an INI file";
    // The file loses tabs at either end of a name when it is read back.
    if (trimFileBlanks(name) != name)
        return joinedText(
            {"the section name '", name, "' begins or ends with a tab, which an INI file drops"});
    return {};
}

IniDocument::Line* IniDocument::lastLine() {
    for (auto section = sections_.rbegin(); section != sections_.rend(); ++section) {
        if (section->whole() && section->raw.empty()) continue;
        SectionLines& lines = linesOf(*section);
        if (!lines.body.empty()) return &lines.body.back();
        if (!section->removed) return &lines.header;
    }
    return preamble_.empty() ? nullptr : &preamble_.back();
}

void IniDocument::ensureLastLineEnds() {
    if (Line* last = lastLine(); last && last->eol == Eol::None) last->eol = newLineStyle_;
}

std::string IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    return setValues(section, {{key, value}});
}

std::string IniDocument::setValues(std::string_view section, std::initializer_list<Entry> entries) {
    if (std::string reason = checkSectionName(section); !reason.empty()) return reason;
    section = trimSpaces(section);
    for (auto [key, value] : entries) {
        key = trimSpaces(key);
        if (key.empty()) return "an empty key name cannot be stored";
        if (hasLineBreak(key) || hasLineBreak(value))
            return "a text with a line break cannot be stored in an INI file";
        if (key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[' ||
            trimFileBlanks(key) != key)
            return joinedText({"the key name '", key, "' could not be read back from an INI file"});
    }

    Section* found = findSection(section);
    if (!found) {
        ensureLastLineEnds();
        Section added{kept(section)};
        added.generatedHeader = true;
        added.lines = static_cast<std::uint32_t>(sectionLines_.size());
        sectionLines_.push_back(SectionLines{newLine({}), Lines(arena())});
        sectionLines_.back().body.reserve(entries.size());
        sections_.push_back(added);
        indexSection(static_cast<std::uint32_t>(sections_.size() - 1));
        found = &sections_.back();
        modified_ = true;
    }
    for (const auto& [key, value] : entries) setInSection(*found, trimSpaces(key), value);
    return {};
}

void IniDocument::setInSection(Section& section, std::string_view key, std::string_view value) {
    // An unchanged value leaves a whole section as it is.
    if (section.whole()) {
        const std::optional<std::string> current = valueIn(section, key);
        if (current && *current == value && !section.raw.empty() &&
            (section.raw.back() == '\n' || section.raw.back() == '\r')) {
            bool firstKeyIsPlain = false;  // the value reads back the same only when written plainly
            for (std::size_t position = lineAt(section.raw, 0).next; position < section.raw.size();) {
                const LineSpan line = lineAt(section.raw, position);
                position = line.next;
                const auto lineKey = keyOf(line.text);
                if (!lineKey || !equalFolded(*lineKey, key)) continue;
                firstKeyIsPlain = line.text == joinedText({*lineKey, "=", value});
                break;
            }
            if (firstKeyIsPlain) return;
        }
    }
    SectionLines& lines = linesOf(section);
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < lines.body.size(); ++i) {
        Line& line = lines.body[i];
        const auto lineKey = keyOf(line.text);
        if (!lineKey) continue;
        if (equalFolded(*lineKey, key)) {
            // The file keeps its own spelling of the key; only the value changes.
            Text rewritten = joined({*lineKey, "=", value});
            if (rewritten != line.text || line.eol == Eol::None) {
                line.text = std::move(rewritten);
                if (line.eol == Eol::None) line.eol = newLineStyle_;
                modified_ = true;
                if (section.parsed) onlyNewSections_ = false;
            }
            return;
        }
        insertAt = i + 1;
    }
    // A new key goes right after the last key, so comments below it stay below.
    Line& before = insertAt == 0 ? lines.header : lines.body[insertAt - 1];
    if (before.eol == Eol::None) before.eol = newLineStyle_;
    lines.body.insert(lines.body.begin() + static_cast<std::ptrdiff_t>(insertAt),
                      Line{joined({key, "=", value}), newLineStyle_});
    modified_ = true;
    if (section.parsed) onlyNewSections_ = false;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    Section* found = findSection(section);
    if (!found) return false;
    key = trimSpaces(key);
    if (found->whole() && !valueIn(*found, key)) return false;
    Lines& body = linesOf(*found).body;
    for (auto line = body.begin(); line != body.end(); ++line) {
        const auto lineKey = keyOf(line->text);
        if (lineKey && equalFolded(*lineKey, key)) {
            body.erase(line);
            modified_ = true;
            onlyNewSections_ = false;
            return true;
        }
    }
    return false;
}

void IniDocument::takeChangedSections(const IniDocument& changes) {
    for (const Section& changed : changes.sections_) {
        if (changed.removed) {
            if (changed.parsed) removeSection(changed.name);
            continue;
        }
        if (changed.whole()) continue;  // as it was read
        const SectionLines& lines = changes.linesOf(changed);
        auto copied = [this](const Line& line) { return Line{text(line.text), line.eol}; };
        Section* target = findSection(changed.name);
        if (!target) {
            ensureLastLineEnds();
            Section added{kept(changed.name)};
            added.generatedHeader = changed.generatedHeader;
            added.lines = static_cast<std::uint32_t>(sectionLines_.size());
            sectionLines_.push_back(SectionLines{copied(lines.header), Lines(arena())});
            sections_.push_back(added);
            indexSection(static_cast<std::uint32_t>(sections_.size() - 1));
            target = &sections_.back();
        }
        Lines& body = linesOf(*target).body;
        body.clear();
        for (const Line& line : lines.body) body.push_back(copied(line));
        modified_ = true;
        onlyNewSections_ = false;
    }
}

bool IniDocument::removeSection(std::string_view section) {
    IndexEntry* entry = index_.find(trimSpaces(section), sections_);
    if (!entry) return false;
    --liveSections_;
    Section& found = sections_[entry->first];
    found.firstOfName = false;
    if (entry->copies == 1) index_.erase(*entry);
    // Rare (hand-edited duplicates): the next copy of the name becomes the one that is read.
    for (std::uint32_t next = entry->first + 1; entry->copies > 1 && next < sections_.size(); ++next) {
        if (!sections_[next].removed && index_.equal(sections_[next].name, found.name)) {
            entry->first = next;
            --entry->copies;
            sections_[next].firstOfName = true;
            break;
        }
    }
    SectionLines& lines = linesOf(found);
    found.removed = true;
    // Only comments stay. Any other line left behind could read as something new
    // once its header is gone (a line starting with a byte-order mark becomes a
    // section header when it ends up first in the file).
    std::erase_if(lines.body, [](const Line& line) { return !isComment(line.text); });
    lines.header.text.clear();
    modified_ = true;
    onlyNewSections_ = false;
    return true;
}

std::string readConfigurationItem(std::string_view file, std::string_view section, std::string_view key,
                                  std::string_view defaultValue) {
    file = skipLeadingControlAndSpace(file);
    section = skipLeadingControlAndSpace(section);
    key = skipLeadingControlAndSpace(key);
    if (file.empty() || section.empty() || key.empty()) return {};
    IniDocument document;
    IniDocument::load(std::string(file), document);  // an unreadable file reads like a missing one
    return document.read(section, key, defaultValue);
}

bool writeConfigurationItem(const std::string& file, std::optional<std::string_view> section,
                            std::optional<std::string_view> key, std::optional<std::string_view> value,
                            std::string* error) {
    auto fail = [error](std::string reason) {
        if (error) *error = std::move(reason);
        return false;
    };
    if (file.empty()) return fail("no file name given");
    if (!section) return fail("no section name given");
    IniDocument document;
    if (std::string reason = IniDocument::load(file, document); !reason.empty()) return fail(reason);

    bool existed = ::access(file.c_str(), F_OK) == 0;
    if (key && value) {
        if (std::string reason = document.setValue(*section, *key, *value); !reason.empty())
            return fail("Cannot write to '" + file + "'. Reason: " + reason);
    } else if (key) {
        document.removeKey(*section, *key);
    } else {
        document.removeSection(*section);
    }
    // A delete that changes nothing leaves the file alone, but, as every write does,
    // still leaves an (empty) file behind where there was none.
    if (!document.modified() && existed) return true;
    if (std::string reason = document.save(file); !reason.empty()) return fail(reason);
    return true;
}

std::vector<std::string> getSectionNames(const std::string& file) {
    IniDocument document;
    IniDocument::load(file, document);
    return document.sectionNames();
}

}  // namespace vex
