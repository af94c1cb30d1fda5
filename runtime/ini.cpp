#include "runtime/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "runtime/atomic_file.h"

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
    return std::memchr(text.data(), '\n', text.size()) || std::memchr(text.data(), '\r', text.size());
}

// Position of the first CR or LF at or after `from`, or npos.
std::size_t findLineBreak(std::string_view bytes, std::size_t from) {
    const std::string_view rest = bytes.substr(from);
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

std::string describeErrno(int error) { return std::strerror(error); }

// Built by appending: GCC 12 warns wrongly about overlapping copies in chains of "+" at -O3.
std::string joinedText(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

}  // namespace

IniDocument::IniDocument(SectionNames names)
    : index_(0, FoldedHash{names == SectionNames::Exact}, FoldedEqual{names == SectionNames::Exact}) {}

IniDocument IniDocument::parse(std::string_view bytes, SectionNames names) {
    IniDocument document(names);
    bool styleKnown = false;
    bool firstLine = true;
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t breakAt = findLineBreak(bytes, position);
        Line line{Text(document.arena()), Eol::None};
        std::size_t next;
        if (breakAt == std::string_view::npos) {
            line.text.assign(bytes.substr(position));
            next = bytes.size();
        } else {
            line.text.assign(bytes.substr(position, breakAt - position));
            if (bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n') {
                line.eol = Eol::CrLf;
                next = breakAt + 2;
            } else {
                line.eol = bytes[breakAt] == '\r' ? Eol::Cr : Eol::Lf;
                next = breakAt + 1;
            }
            if (!styleKnown) {
                // New lines follow the file's own line ending, so an LF file stays LF.
                document.newLineStyle_ = line.eol;
                styleKnown = true;
            }
        }
        position = next;

        std::string_view parsed = line.text;
        if (firstLine && parsed.starts_with(kUtf8Bom)) parsed.remove_prefix(kUtf8Bom.size());
        firstLine = false;
        if (auto name = headerName(parsed)) {
            document.sections_.push_back(document.newSection(*name, std::move(line)));
            document.indexSection(static_cast<std::uint32_t>(document.sections_.size() - 1));
        } else if (document.sections_.empty()) {
            document.preamble_.push_back(std::move(line));
        } else {
            document.sections_.back().body.push_back(std::move(line));
        }
    }
    return document;
}

std::string IniDocument::load(const std::string& path, IniDocument& out, SectionNames names) {
    out = IniDocument(names);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return {};
        return "Cannot read '" + path + "'. Reason: " + describeErrno(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return "Cannot read '" + path + "'. Reason: it is not a regular file";
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() + 4096);  // the file may have grown
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return "Cannot read '" + path + "'. Reason: " + describeErrno(error);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(filled);
    out = parse(bytes, names);
    return {};
}

std::string IniDocument::save(const std::string& path) const { return saveFileAtomically(path, serialise()); }

std::string IniDocument::serialise() const {
    std::size_t total = 0;
    auto measure = [&total](const Line& line) { total += line.text.size() + 2; };
    for (const Line& line : preamble_) measure(line);
    for (const Section& section : sections_) {
        measure(section.header);
        if (section.generatedHeader) total += section.name.size() + 2;
        for (const Line& line : section.body) measure(line);
    }
    std::string bytes;
    bytes.reserve(total);
    auto append = [&bytes](const Line& line) {
        bytes.append(line.text.data(), line.text.size());
        bytes += eolText(static_cast<std::uint8_t>(line.eol));
    };
    for (const Line& line : preamble_) append(line);
    for (const Section& section : sections_) {
        if (!section.removed) {
            if (section.generatedHeader)
                bytes.append("[").append(section.name.data(), section.name.size()).append("]");
            append(section.header);
        }
        for (const Line& line : section.body) append(line);
    }
    return bytes;
}

std::size_t IniDocument::FoldedHash::operator()(std::string_view name) const {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : name) {
        if (!exact && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool IniDocument::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
    return exact ? a == b : equalFolded(a, b);
}

IniDocument& IniDocument::operator=(IniDocument&& other) noexcept {
    if (this == &other) return *this;
    // The old texts go before the arena that holds them.
    preamble_ = std::move(other.preamble_);
    sections_ = std::move(other.sections_);
    index_ = std::move(other.index_);
    arena_ = std::move(other.arena_);
    liveSections_ = other.liveSections_;
    newLineStyle_ = other.newLineStyle_;
    modified_ = other.modified_;
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
    const auto [entry, added] = index_.try_emplace(sections_[position].name, IndexEntry{position, 1});
    if (!added) ++entry->second.copies;
    sections_[position].firstOfName = added;
    ++liveSections_;
}

const IniDocument::Section* IniDocument::findSection(std::string_view section) const {
    const auto found = index_.find(trimSpaces(section));
    return found == index_.end() ? nullptr : &sections_[found->second.first];
}

IniDocument::Section* IniDocument::findSection(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).findSection(section));
}

std::optional<std::string> IniDocument::valueIn(const Section& section, std::string_view key) {
    key = trimSpaces(key);
    for (const Line& line : section.body) {
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
    if (auto found = valueIn(*static_cast<const Section*>(section_), key)) return std::move(*found);
    while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

void IniDocument::forEachSection(
    const std::function<void(std::string_view name, const SectionReader& values)>& visit) const {
    for (const Section& section : sections_) {
        if (section.removed || section.name.empty()) continue;
        const Section* source = section.firstOfName ? &section : findSection(section.name);
        visit(section.name, SectionReader(source));
    }
}

std::string IniDocument::read(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
    if (auto found = value(section, key)) return std::move(*found);
    while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

bool IniDocument::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

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
        if (!section->body.empty()) return &section->body.back();
        if (!section->removed) return &section->header;
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
        sections_.push_back(newSection(section, newLine({})));
        sections_.back().generatedHeader = true;
        sections_.back().body.reserve(entries.size());
        indexSection(static_cast<std::uint32_t>(sections_.size() - 1));
        found = &sections_.back();
        modified_ = true;
    }
    for (const auto& [key, value] : entries) setInSection(*found, trimSpaces(key), value);
    return {};
}

void IniDocument::setInSection(Section& section, std::string_view key, std::string_view value) {
    std::size_t insertAt = 0;
    for (std::size_t i = 0; i < section.body.size(); ++i) {
        Line& line = section.body[i];
        const auto lineKey = keyOf(line.text);
        if (!lineKey) continue;
        if (equalFolded(*lineKey, key)) {
            // The file keeps its own spelling of the key; only the value changes.
            Text rewritten = joined({*lineKey, "=", value});
            if (rewritten != line.text || line.eol == Eol::None) {
                line.text = std::move(rewritten);
                if (line.eol == Eol::None) line.eol = newLineStyle_;
                modified_ = true;
            }
            return;
        }
        insertAt = i + 1;
    }
    // A new key goes right after the last key, so comments below it stay below.
    Line& before = insertAt == 0 ? section.header : section.body[insertAt - 1];
    if (before.eol == Eol::None) before.eol = newLineStyle_;
    section.body.insert(section.body.begin() + static_cast<std::ptrdiff_t>(insertAt),
                        Line{joined({key, "=", value}), newLineStyle_});
    modified_ = true;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    Section* found = findSection(section);
    if (!found) return false;
    key = trimSpaces(key);
    for (auto line = found->body.begin(); line != found->body.end(); ++line) {
        const auto lineKey = keyOf(line->text);
        if (lineKey && equalFolded(*lineKey, key)) {
            found->body.erase(line);
            modified_ = true;
            return true;
        }
    }
    return false;
}

bool IniDocument::removeSection(std::string_view section) {
    const auto entry = index_.find(trimSpaces(section));
    if (entry == index_.end()) return false;
    const IndexEntry removed = entry->second;
    index_.erase(entry);
    --liveSections_;
    Section& found = sections_[removed.first];
    if (removed.copies > 1) {
        // Rare (hand-edited duplicates): the next copy of the name becomes the one that is read.
        for (std::uint32_t next = removed.first + 1; next < sections_.size(); ++next) {
            if (!sections_[next].removed && equalFolded(sections_[next].name, found.name)) {
                index_.emplace(sections_[next].name, IndexEntry{next, removed.copies - 1});
                sections_[next].firstOfName = true;
                break;
            }
        }
    }
    found.removed = true;
    // Only comments stay. Any other line left behind could read as something new
    // once its header is gone (a line starting with a byte-order mark becomes a
    // section header when it ends up first in the file).
    std::erase_if(found.body, [](const Line& line) { return !isComment(line.text); });
    found.header.text.clear();
    modified_ = true;
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
