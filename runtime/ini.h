#pragma once
// INI files in UTF-8, read and written by the rules the experiment and
// identification lists have always followed, so a list written earlier or
// edited by hand reads the same.
//
// IniDocument holds one file in memory: it parses the bytes, answers lookups,
// applies edits and serialises again. Every line it did not change comes out
// byte for byte as it went in (comments, blank lines, odd spacing, line endings,
// even bytes before the first section), so a file edited by hand survives our
// writes. The three configuration-item commands load a document, act on it and,
// for a write, save it atomically; a handler that records many files loads one
// document, edits it many times and saves it once.
//
// Matching rules:
// - section and key names compare ASCII case-insensitively;
// - a name passed in loses its leading and trailing spaces; a name in the file
//   loses its leading and trailing spaces, tabs and vertical tabs;
// - only the first of several equal sections or keys is read or changed, while
//   the list of section names repeats every copy in file order;
// - a value is the text after the first "=", trimmed, without one matching pair
//   of outer quotes; an empty value is not a missing key;
// - a line whose first non-blank character is ";" is a comment.
// Where the usual rules would lose data we depart from them on purpose: a
// section header's name ends at the LAST "]" of its line (so a path such as
// "photo [1].jpg" round-trips), a name or value with a line break is refused
// instead of being written as extra lines, a leading UTF-8 byte-order mark does
// not hide the first section, and there is no limit on the length of a value or
// of the section list.

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/files.h"

namespace vex {

class IniDocument {
public:
    // How section names compare. Keys always fold case. Lists of file paths
    // compare their section names exactly, as the file system compares paths.
    enum class SectionNames : std::uint8_t { FoldCase, Exact };

    IniDocument() : IniDocument(SectionNames::FoldCase) {}
    explicit IniDocument(SectionNames names);
    // The section index points into the document's own names, so a document moves but is never copied.
    IniDocument(IniDocument&&) = default;
    IniDocument& operator=(IniDocument&& other) noexcept;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    // Parses `bytes`; never fails (anything that is no header or key is kept as it is).
    // Lines beginning with `dropLinesStartingWith` (when not empty) are not kept: a
    // caller's own bookkeeping in the file, which a rewrite then leaves out.
    static IniDocument parse(std::string_view bytes, SectionNames names = SectionNames::FoldCase,
                             std::string_view dropLinesStartingWith = {});
    // The same, keeping `bytes` instead of a copy of them.
    static IniDocument parseOwned(FileBytes bytes, SectionNames names = SectionNames::FoldCase,
                                  std::string_view dropLinesStartingWith = {});

    // Calls `visit` with the name of each section header of `bytes` in file order,
    // as parse() reads them, without building a document: cheap enough to ask a
    // long file whether it names a few sections.
    static void forEachSectionName(std::string_view bytes,
                                   const std::function<void(std::string_view name)>& visit);
    // The same, with where each header's line begins in `bytes`.
    static void forEachSectionHeader(
        std::string_view bytes,
        const std::function<void(std::string_view name, std::size_t lineStart)>& visit);

    // Reads `path` into `out`. A missing file is an empty document and not an error.
    // Returns "" on success or a reason (unreadable file, not a regular file); then
    // `out` is empty and must not be saved over the file.
    static std::string load(const std::string& path, IniDocument& out,
                            SectionNames names = SectionNames::FoldCase);

    // Writes the document to `path` through the atomic save. Returns "" or the reason.
    std::string save(const std::string& path) const;

    std::string serialise() const;

    // True once an edit has changed the document since it was parsed.
    bool modified() const { return modified_; }
    // True while every change since parsing added whole new sections after the
    // parsed ones (or ended the file's last line): the file then changes by
    // appending newSectionsText(), preceded by a line ending when it lacked one.
    bool changedOnlyByNewSections() const { return onlyNewSections_; }
    // After the changes reached the file: they count as parsed, and nothing is modified.
    void markSaved();
    // The line ending new lines get.
    std::string_view lineEnding() const;
    // The sections added since parsing, as serialise() writes them.
    std::string newSectionsText() const;
    // New lines end as the first line of `bytes` ends (CRLF when it has none), as a parsed file's would.
    void adoptLineEnding(std::string_view bytes);

    // The value of `key` in the first section named `section`, or nothing when
    // the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // As value(), with `defaultValue` (trailing spaces removed) when it is missing.
    std::string read(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    bool hasSection(std::string_view section) const;
    // Where the first section of that name stands in the order forEachSection visits them (a rank,
    // not a count of names), or nothing: a few names are put in file order without visiting every section.
    std::optional<std::size_t> sectionRank(std::string_view section) const;
    // Every section's name in file order, duplicates repeated; an empty name "[]" is left out.
    std::vector<std::string> sectionNames() const;
    std::size_t sectionCount() const { return liveSections_; }
    // Makes room for `more` new sections, so a batch of records does not rehash the index as it grows.
    void reserveSections(std::size_t more) { index_.reserve(liveSections_ + more, sections_); }

    // Sets `key` = `value` in the first section named `section`, adding the key
    // after the section's last key, or a new section at the end of the file.
    // Returns "" or why the entry cannot be stored (empty name, line break, a key
    // that could never be read back).
    std::string setValue(std::string_view section, std::string_view key, std::string_view value);
    // Several keys of one section in one step, in order; nothing is written when any of them is refused.
    using Entry = std::pair<std::string_view, std::string_view>;
    std::string setValues(std::string_view section, std::initializer_list<Entry> entries);
    // Removes the first `key` line of the section; returns whether anything changed.
    bool removeKey(std::string_view section, std::string_view key);
    // Removes the first section of that name with its keys and blank lines; its
    // comment lines stay where they are. Returns whether anything changed.
    bool removeSection(std::string_view section);

    // What a listed section reads: the values of the first section of its name.
    class SectionReader {
    public:
        std::string read(std::string_view key, std::string_view defaultValue) const;

    private:
        friend class IniDocument;
        SectionReader(const IniDocument& document, const void* section)
            : document_(document), section_(section) {}
        const IniDocument& document_;
        const void* section_;
    };
    // Visits the sections sectionNames() lists, in that order, without a lookup per section.
    void forEachSection(
        const std::function<void(std::string_view name, const SectionReader& values)>& visit) const;

    // Carries what `changes` added, changed or removed into this document: a
    // changed section's lines replace those of the first section of its name here,
    // an added one is added. `changes` holds some of the sections of the file this
    // document was read from, read from it as they were.
    void takeChangedSections(const IniDocument& changes);

    // Why `name` cannot be used as a section name, or "" when it can.
    static std::string checkSectionName(std::string_view name);

private:
    enum class Eol : std::uint8_t { None, Lf, Cr, CrLf };
    // The document's texts live in its own arena: a drop of many files records them
    // without a heap allocation per line, and the whole document is freed at once.
    using Text = std::pmr::string;
    struct Line {
        Text text;
        Eol eol = Eol::None;
    };
    using Lines = std::pmr::vector<Line>;
    // A section read from a file stays as the bytes it was read as until it is
    // changed: a list of a million entries then costs a few words per entry, and
    // is written back by copying those bytes.
    struct Section {
        std::string_view name;  // in the source or the arena: never moves
        std::string_view raw;   // header and body lines as read, line endings included, while held whole
        std::uint32_t lines = kWhole;  // position in sectionLines_ once held line by line
        bool removed = false;
        bool firstOfName = false;      // the copy of its name that reads and writes go to
        bool generatedHeader = false;  // added by us: the header is "[" name "]", written out when saved
        bool parsed = false;           // read from the file, not added since
        bool whole() const { return lines == kWhole; }
    };
    static constexpr std::uint32_t kWhole = ~std::uint32_t(0);
    struct SectionLines {
        Line header;
        Lines body;  // in the arena too: a drop of many files adds a section and its keys per file
    };

    std::optional<std::string> valueIn(const Section& section, std::string_view key) const;
    void setInSection(Section& section, std::string_view key, std::string_view value);
    // The section's lines one by one, split from its bytes the first time they are asked for.
    SectionLines& linesOf(Section& section);
    const SectionLines& linesOf(const Section& section) const { return sectionLines_[section.lines]; }

    // Hands the document's bytes out in order: sections held whole as the bytes they
    // were read as (to `kept`), everything else in small pieces (to `made`).
    template <typename Kept, typename Made>
    void forEachPiece(Kept&& kept, Made&& made) const;

    const Section* findSection(std::string_view section) const;
    Section* findSection(std::string_view section);
    void indexSection(std::uint32_t position);
    Line* lastLine();
    void ensureLastLineEnds();
    std::pmr::memory_resource* arena();
    Text text(std::string_view bytes) { return Text(bytes, arena()); }
    Line newLine(std::string_view bytes) { return Line{text(bytes), newLineStyle_}; }
    // A copy of `bytes` in the arena, which stays where it is while the document lives.
    std::string_view kept(std::string_view bytes);
    Text joined(std::initializer_list<std::string_view> parts);

    // Section names hash and compare with A-Z folded, without building folded copies
    // (or byte for byte, for a document of exact section names).
    static constexpr std::uint32_t kNoSection = ~std::uint32_t(0);
    static constexpr std::uint32_t kRemovedName = kNoSection - 1;
    struct IndexEntry {
        std::uint32_t first = kNoSection;  // position in sections_ of the first live section of that name
        std::uint32_t copies = 0;          // live sections of that name
        std::uint32_t hash = 0;
    };
    // Names to the first live section of each, by open addressing over one array:
    // a million names cost a few megabytes and no allocation per name.
    class SectionIndex {
    public:
        explicit SectionIndex(bool exact) : exact_(exact) {}
        // The entry of `name`, or nullptr.
        IndexEntry* find(std::string_view name, const std::deque<Section>& sections);
        // Counts a live section at `position`; true when it is the first of its name.
        bool add(std::uint32_t position, const std::deque<Section>& sections);
        void erase(IndexEntry& entry) { entry.first = kRemovedName; }
        void reserve(std::size_t names, const std::deque<Section>& sections);
        bool equal(std::string_view a, std::string_view b) const;

    private:
        std::uint32_t hash(std::string_view name) const;
        void grow(std::size_t slots, const std::deque<Section>& sections);

        bool exact_;
        std::vector<IndexEntry> slots_;  // a power of two in size, at most half used
        std::size_t used_ = 0;           // live and erased slots
    };

    // First, so they are freed after every text and view in them.
    std::unique_ptr<std::pmr::monotonic_buffer_resource> arena_;
    FileBytes source_;  // the bytes parsed: whole sections and names view them
    std::vector<Line> preamble_;
    std::deque<Section> sections_;  // a deque, so the names the index views never move
    std::deque<SectionLines> sectionLines_;
    SectionIndex index_;
    std::size_t liveSections_ = 0;
    Eol newLineStyle_ = Eol::CrLf;
    bool modified_ = false;
    bool onlyNewSections_ = true;
};

// The configuration-item commands. File, section and key first lose leading
// bytes 0x01-0x20; when any of them is then empty the result is "" (not the default).
std::string readConfigurationItem(std::string_view file, std::string_view section, std::string_view key,
                                  std::string_view defaultValue = {});

// An omitted value deletes the key, an omitted key deletes the whole section.
// Returns true on success; otherwise false, with the reason in `error` when given.
// A file that cannot be read is never overwritten.
bool writeConfigurationItem(const std::string& file, std::optional<std::string_view> section,
                            std::optional<std::string_view> key, std::optional<std::string_view> value,
                            std::string* error = nullptr);

// Every section name of the file in file order; a missing or unreadable file gives none.
std::vector<std::string> getSectionNames(const std::string& file);

}  // namespace vex
