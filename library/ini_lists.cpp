#include "library/ini_lists.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "ident/prefix_index.h"
#include "ident/signature.h"
#include "runtime/atomic_file.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "runtime/translation.h"

namespace vex {
namespace {

bool isFormatBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

bool isControlCharacter(unsigned char c) { return c < 0x20 || c == 0x7F; }

// An append is written between these two lines; any line starting with
// kAppendMark is ours and is left out when the list is read.
constexpr std::string_view kAppendMark = ";vexorin-append";
constexpr std::string_view kAppendBegin = ";vexorin-append begin";
constexpr std::string_view kAppendEnd = ";vexorin-append end";

bool startsLine(std::string_view bytes, std::size_t at) {
    return at == 0 || bytes[at - 1] == '\n' || bytes[at - 1] == '\r';
}

// Where the last line starting with `text` begins, or npos. Marks start with ';',
// which is rare in a list, so looking back for it is quick even in a long file.
std::size_t lastLineStarting(std::string_view bytes, std::string_view text) {
    std::size_t end = bytes.size();
    while (end > 0) {
        const void* found = ::memrchr(bytes.data(), text.front(), end);
        if (!found) return std::string_view::npos;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
        if (startsLine(bytes, at) && bytes.substr(at).starts_with(text)) return at;
        end = at;
    }
    return std::string_view::npos;
}

// The length of `bytes` without an append a crash cut short. The last mark
// line tells: an end mark closes the last block, which must then hold no NUL
// byte (what a file system may leave where data never reached the disk); any
// other mark (a begin, or an end cut short) opens a block that never ended. A
// last line cut short inside a begin mark is no entry either. Only the last
// block is looked at.
std::size_t wholeLength(std::string_view bytes) {
    const std::size_t lineStart = bytes.find_last_of("\r\n") + 1;  // npos + 1 == 0
    const std::string_view lastLine = bytes.substr(lineStart);
    if (!lastLine.empty() && lastLine.size() < kAppendBegin.size() && kAppendBegin.starts_with(lastLine))
        bytes = bytes.substr(0, lineStart);
    const std::size_t lastMark = lastLineStarting(bytes, kAppendMark);
    if (lastMark == std::string_view::npos) return bytes.size();
    const std::size_t begin = bytes.substr(lastMark).starts_with(kAppendBegin)
                                  ? lastMark
                                  : lastLineStarting(bytes.substr(0, lastMark), kAppendBegin);
    const bool ended = bytes.substr(lastMark).starts_with(kAppendEnd);
    if (!ended) return begin == std::string_view::npos ? lastMark : begin;
    if (begin != std::string_view::npos &&
        bytes.substr(begin, lastMark - begin).find('\0') != std::string_view::npos)
        return begin;
    return bytes.size();
}

// Why a list is not saved when another program changed it after it was read.
std::string changedMeanwhile(const std::string& file) {
    return message("Cannot save '%1'. Reason: %2",
                   {file, message("another program changed it while this one was recording")});
}

// Each section header of `bytes` with the extent of its section, counted from `base`.
void forEachSectionExtent(std::string_view bytes, std::uint64_t base,
                          const std::function<void(std::string_view name, SectionExtent extent)>& visit) {
    std::string_view lastName;
    std::size_t lastStart = 0;
    bool any = false;
    IniDocument::forEachSectionHeader(bytes, [&](std::string_view name, std::size_t lineStart) {
        if (any) visit(lastName, {base + lastStart, lineStart - lastStart});
        lastName = name;
        lastStart = lineStart;
        any = true;
    });
    if (any) visit(lastName, {base + lastStart, bytes.size() - lastStart});
}

// Reads the sections at `listed` (an extent and the name its header must show)
// from the list open at `fd`, end to end in list order. False when one of them
// is not what the index said, or cannot be read.
bool readSections(int fd, std::vector<std::pair<SectionExtent, std::string_view>>& listed, std::string& out) {
    std::sort(listed.begin(), listed.end(),
              [](const auto& a, const auto& b) { return a.first.offset < b.first.offset; });
    std::uint64_t previousEnd = 0;
    for (const auto& [extent, listedName] : listed) {
        const std::string_view name = listedName;  // clang before 16 cannot capture a structured binding
        if (!out.empty() && extent.offset < previousEnd) {
            if (extent.offset + extent.length == previousEnd) continue;  // the same name dropped twice
            return false;
        }
        const std::size_t at = out.size();
        out.resize(at + extent.length);
        if (::pread(fd, out.data() + at, extent.length, static_cast<off_t>(extent.offset)) !=
            static_cast<ssize_t>(extent.length))
            return false;
        int headers = 0;
        bool named = false;
        IniDocument::forEachSectionHeader(std::string_view(out).substr(at),
                                          [&](std::string_view header, std::size_t lineStart) {
                                              named = ++headers == 1 && lineStart == 0 && header == name;
                                          });
        if (headers != 1 || !named) return false;
        previousEnd = extent.offset + extent.length;
    }
    return true;
}

}  // namespace

void ListFile::readFrom(FileBytes bytes, std::size_t wholeSize, bool parse) {
    wholeSize_ = wholeSize;
    bytes.cut(wholeSize_);
    const std::string_view whole = bytes.view();
    endsWithLineBreak_ = whole.empty() || whole.back() == '\n' || whole.back() == '\r';
    scannedOnly_ = !parse;
    partial_ = false;
    index_.reset();
    if (parse) {
        document_ = IniDocument::parseOwned(std::move(bytes), IniDocument::SectionNames::Exact, kAppendMark);
    } else {
        document_ = IniDocument(IniDocument::SectionNames::Exact);
        document_.adoptLineEnding(whole);
    }
}

std::string ListFile::load() {
    FileBytes bytes;
    document_ = IniDocument(IniDocument::SectionNames::Exact);
    if (std::string error = readRegularFile(file_, bytes, &stamp_); !error.empty()) return error;
    const std::size_t wholeSize = wholeLength(bytes.view());
    readFrom(std::move(bytes), wholeSize, true);
    return {};
}

ListShape ListFile::shape() const {
    return {wholeSize_, endsWithLineBreak_, std::string(document_.lineEnding())};
}

std::string ListFile::loadToRecord(std::vector<std::string> names) {
    document_ = IniDocument(IniDocument::SectionNames::Exact);
    index_.reset();
    partial_ = false;
    if (loadThroughIndex(names)) {
        scannedNames_ = std::move(names);
        return {};
    }
    FileBytes bytes;
    if (std::string error = readRegularFile(file_, bytes, &stamp_); !error.empty()) return error;
    const std::unordered_set<std::string_view> wanted(names.begin(), names.end());
    bool listed = false;
    const std::size_t wholeSize = wholeLength(bytes.view());
    const bool indexed = wholeSize >= ListNameIndex::smallestIndexedList();
    std::vector<IndexedSection> sections;
    if (indexed) sections.reserve(wholeSize / 64);
    forEachSectionExtent(bytes.view().substr(0, wholeSize), 0,
                         [&](std::string_view name, SectionExtent extent) {
                             listed = listed || wanted.count(name);
                             if (indexed) sections.push_back({listNameHash(name), extent});
                         });
    readFrom(std::move(bytes), wholeSize, listed);
    if (indexed)
        index_ = ListNameIndex::write(file_, stamp_, shape(), sections);
    else if (stamp_.exists)
        ::unlink(ListNameIndex::pathFor(file_).c_str());  // a list grown short again leaves no stale index
    if (scannedOnly_) scannedNames_ = std::move(names);
    return {};
}

bool ListFile::loadThroughIndex(const std::vector<std::string>& names) {
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const FileStamp stamp = regular ? fileStampOf(info) : FileStamp{};
    std::optional<ListNameIndex> index;
    if (regular) index = ListNameIndex::open(file_, stamp);
    std::vector<std::pair<SectionExtent, std::string_view>> listed;
    for (const std::string& name : names) {
        if (!index) break;
        SectionExtent extent;
        const ListNameIndex::Listed found = index->find(name, extent);
        if (found == ListNameIndex::Listed::Unsure) index.reset();
        if (found == ListNameIndex::Listed::Yes) listed.emplace_back(extent, name);
    }
    std::string sections;
    if (index && !listed.empty() && !readSections(fd, listed, sections)) index.reset();
    ::close(fd);
    if (!index) return false;
    stamp_ = stamp;
    wholeSize_ = index->shape().wholeSize;
    endsWithLineBreak_ = index->shape().endsWithLineBreak;
    scannedOnly_ = true;
    partial_ = !sections.empty();
    if (partial_)
        document_ =
            IniDocument::parseOwned(FileBytes(sections), IniDocument::SectionNames::Exact, kAppendMark);
    document_.adoptLineEnding("-" + index->shape().lineEnding);
    index_ = std::move(index);
    return true;
}

std::string ListFile::save() {
    if (!document_.modified()) return {};
    std::string error;
    if (document_.changedOnlyByNewSections() && stamp_.exists)
        error = append();
    else if (partial_)
        error = rewriteWithChanges();
    else if (scannedOnly_ && stamp_.exists)  // only a missing file is held whole by a scanned list
        error = "internal error: a list loaded to record only was changed otherwise";
    else
        error = document_.save(file_);
    if (error.empty()) document_.markSaved();
    return error;
}

// A change to listed entries of a list loaded in part: the file is read whole
// and rewritten with them. It must still be the one the part was read from.
std::string ListFile::rewriteWithChanges() {
    FileBytes bytes;
    FileStamp stamp;
    if (std::string error = readRegularFile(file_, bytes, &stamp); !error.empty()) return error;
    if (stamp != stamp_) return changedMeanwhile(file_);
    bytes.cut(wholeLength(bytes.view()));
    IniDocument whole =
        IniDocument::parseOwned(std::move(bytes), IniDocument::SectionNames::Exact, kAppendMark);
    whole.takeChangedSections(document_);
    index_.reset();  // the list gets a new inode: its index is stale, and is built again at the next drop
    return whole.save(file_);
}

// Appends the new entries in one write. The file must still be the one read (a
// program that changed it in between did not hold the data directory's lock):
// otherwise nothing is written.
std::string ListFile::append() {
    const std::string newSections = document_.newSectionsText();
    if (scannedOnly_) {
        const std::unordered_set<std::string_view> scanned(scannedNames_.begin(), scannedNames_.end());
        bool unscanned = false;
        IniDocument::forEachSectionName(
            newSections, [&](std::string_view name) { unscanned = unscanned || !scanned.count(name); });
        if (unscanned)
            return "internal error: an entry was recorded under a name the list was not scanned for";
    }
    const int fd = ::open(file_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return message("Cannot save '%1'. Reason: %2", {file_, std::strerror(errno)});
    auto fail = [&](const std::string& reason) {
        // What was written of a failed append is cut off again; were that to fail too, the missing end mark
        // leaves it out.
        [[maybe_unused]] const int cut = ::ftruncate(fd, static_cast<off_t>(wholeSize_));
        ::close(fd);
        return message("Cannot save '%1'. Reason: %2", {file_, reason});
    };
    if (fileStampOf(fd) != stamp_) {
        ::close(fd);
        return changedMeanwhile(file_);
    }
    const std::string_view eol = document_.lineEnding();
    std::string block;
    if (!endsWithLineBreak_) block += eol;
    block.append(kAppendBegin).append(eol);
    block += newSections;
    block.append(kAppendEnd).append(eol);
    if (static_cast<std::size_t>(stamp_.size) != wholeSize_ &&
        ::ftruncate(fd, static_cast<off_t>(wholeSize_)) != 0)
        return fail(std::strerror(errno));
    std::size_t written = 0;
    while (written < block.size()) {
        const ssize_t got = ::pwrite(fd, block.data() + written, block.size() - written,
                                     static_cast<off_t>(wholeSize_ + written));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return fail(std::strerror(got < 0 ? errno : ENOSPC));
        written += static_cast<std::size_t>(got);
    }
    if (::fdatasync(fd) != 0) return fail(std::strerror(errno));
    const std::uint64_t sectionsAt = wholeSize_ + block.find(newSections.empty() ? kAppendEnd : newSections);
    wholeSize_ += block.size();
    endsWithLineBreak_ = true;
    stamp_ = fileStampOf(fd);
    ::close(fd);
    if (index_) {
        std::vector<IndexedSection> added;
        forEachSectionExtent(newSections, sectionsAt, [&added](std::string_view name, SectionExtent extent) {
            added.push_back({listNameHash(name), extent});
        });
        index_->add(added, stamp_, shape());
    }
    return {};
}

std::string checkListPath(const std::string& path) {
    if (path.empty()) return message("an empty path cannot be recorded");
    if (path.find('\n') != std::string::npos || path.find('\r') != std::string::npos)
        return message("the path '%1' holds a line break, which the list file cannot store", {path});
    if (isFormatBlank(path.front()) || isFormatBlank(path.back()))
        return message("the path '%1' begins or ends with a blank, which the list file cannot store", {path});
    return {};
}

std::string ListFile::clear() {
    std::string error = TruncateFile(file_);
    if (error.empty()) {
        document_ = IniDocument(IniDocument::SectionNames::Exact);
        stamp_ = {};
        scannedOnly_ = false;
        partial_ = false;
        index_.reset();
    }
    return error;
}

std::string ExperimentList::record(const std::string& signature, std::string& path) {
    return RecordExperiment(document_, signature, path);
}

void ExperimentList::forEachEntry(const std::function<void(const ExperimentEntry&)>& visit) const {
    ExperimentEntry entry;
    document_.forEachSection([&](std::string_view name, const IniDocument::SectionReader& values) {
        entry.path.assign(name);
        entry.fileClass = values.read(kExperimentClassKey, kExperimentClassDefault);
        entry.signature = values.read(kExperimentSignatureKey, kExperimentSignatureDefault);
        visit(entry);
    });
}

std::vector<ExperimentEntry> ExperimentList::entries() const {
    std::vector<ExperimentEntry> entries;
    entries.reserve(document_.sectionCount());
    forEachEntry([&entries](const ExperimentEntry& entry) { entries.push_back(entry); });
    return entries;
}

std::string IdentificationList::record(const std::string& signature, const std::string& path,
                                       const std::string& type) {
    return RecordIdentification(document_, signature, path, type);
}

void IdentificationList::forEachEntry(const std::function<void(const IdentificationEntry&)>& visit) const {
    IdentificationEntry entry;
    document_.forEachSection([&](std::string_view name, const IniDocument::SectionReader& values) {
        entry.path.assign(name);
        entry.fileClass = FileClassOf(entry.path);
        entry.path.assign(name);  // FileClassOf trims the path it is given
        entry.signature = values.read(kIdentificationSignatureKey, kIdentificationSignatureDefault);
        entry.type = values.read(kIdentificationTypeKey, kIdentificationTypeDefault);
        visit(entry);
    });
}

std::vector<IdentificationEntry> IdentificationList::entries() const {
    std::vector<IdentificationEntry> entries;
    entries.reserve(document_.sectionCount());
    forEachEntry([&entries](const IdentificationEntry& entry) { entries.push_back(entry); });
    return entries;
}

std::optional<IdentificationEntry> IdentificationList::find(const std::string& path) const {
    if (!document_.hasSection(path)) return std::nullopt;
    std::string named = path;
    std::string fileClass = FileClassOf(named);
    return IdentificationEntry{
        path, std::move(fileClass),
        document_.read(path, kIdentificationSignatureKey, kIdentificationSignatureDefault),
        document_.read(path, kIdentificationTypeKey, kIdentificationTypeDefault)};
}

void IdentificationList::move(const std::string& path, const std::string& newPath,
                              const std::string& signature, const std::string& type) {
    document_.removeSection(path);
    document_.setValues(newPath, {{kIdentificationTypeKey, type}, {kIdentificationSignatureKey, signature}});
}

std::string RecordExperiment(IniDocument& experiments, const std::string& signature, std::string& path) {
    const std::string given = path;
    const std::string fileClass = FileClassOf(path);
    // Blanks around a dropped path are noise, but blanks that belong to an existing
    // file's name are not: recorded without them the entry would name another file.
    if (path != given && fileExists(given))
        return message("the file name '%1' begins or ends with blanks, which the list file cannot keep",
                       {given});
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return experiments.setValues(path,
                                 {{kExperimentSignatureKey, signature}, {kExperimentClassKey, fileClass}});
}

std::string RecordIdentification(IniDocument& identifications, const std::string& signature,
                                 const std::string& path, const std::string& type) {
    if (std::string reason = checkListPath(path); !reason.empty()) return reason;
    return identifications.setValues(
        path, {{kIdentificationSignatureKey, signature}, {kIdentificationTypeKey, type}});
}

std::string TruncateFile(const std::string& file) { return saveFileAtomically(file, {}); }

std::string PathWithoutExtension(std::string& path) {
    path = trimBothEnds(path);
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t stop = path.rfind('.');
    if (stop == std::string::npos || stop < nameStart) return path;
    return path.substr(0, stop);
}

bool isUsableExtension(std::string_view type) {
    // "无类型" says the sample had no extension; as an extension it would name no format.
    if (type.empty() || type == kUnknownFileType || type == kIdentificationTypeDefault ||
        type == kNoClassText)
        return false;
    return std::none_of(type.begin(), type.end(),
                        [](char c) { return c == '/' || isControlCharacter(static_cast<unsigned char>(c)); });
}

}  // namespace vex
