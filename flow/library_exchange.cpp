#include "flow/library_exchange.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unordered_map>

#include "flow/confirm_rules.h"
#include "flow/conflicts.h"
#include "flow/lists.h"
#include "library/store_lock.h"
#include "runtime/atomic_file.h"
#include "runtime/text.h"
#include "runtime/translation.h"

namespace vex {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Far beyond any library (100,000 rows take about 3 MB), and small enough to read whole.
constexpr std::uintmax_t kLargestImportFile = 256u << 20;

std::string lineSubject(std::size_t line) { return "line " + std::to_string(line); }

// The warnings of the added rows, each checked against the records before it
// (the library as it was, then the rows stored ahead of it) and the samples,
// as a confirm of each row in turn would warn. One reading of the library.
void warnOfConflicts(const DataDirectory& data, SignatureStore& store,
                     const std::vector<StoredSignature>& added,
                     const std::unordered_map<std::string, std::size_t>& lineOf, ImportOutcome& outcome) {
    if (added.empty()) return;
    std::vector<KeyedSignature> records;
    if (!store.listKeyed(records)) return;
    std::unordered_map<std::string_view, std::size_t> addedLine;
    addedLine.reserve(added.size());
    for (const StoredSignature& record : added)
        addedLine.emplace(record.signature, lineOf.at(record.signature));
    ConflictFinder finder;
    ExperimentList samples(data.experimentListPath());
    if (samples.load().empty()) finder.addSamples(samples.entries());
    for (KeyedSignature& record : records) {
        if (auto line = addedLine.find(record.signature); line != addedLine.end()) {
            const ValueConflicts conflicts = finder.conflictsOf(record.signature, record.type);
            for (std::string& warning : describeConflicts(conflicts, record.signature, record.type))
                outcome.warnings.push_back({lineSubject(line->second), record.signature + " (" + record.type +
                                                                           ") " + std::move(warning)});
        }
        finder.addRecord(std::move(record));
    }
}

std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    return text;
}

bool isBlankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// One RFC 4180 record: its fields, the line it starts on, and what is wrong with it.
struct CsvRecord {
    std::size_t line = 0;
    std::vector<std::string> fields;
    std::string error;
    bool blank = false;  // the line holds nothing at all
};

class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    CsvRecord next() {
        CsvRecord record;
        record.line = line_;
        const std::size_t start = pos_;
        std::string field;
        while (true) {
            if (pos_ < text_.size() && text_[pos_] == '"') {
                if (!readQuoted(field, record)) return record;
            } else if (!readPlain(field, record)) {
                return record;
            }
            record.fields.push_back(std::move(field));
            field.clear();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            endLine();
            break;
        }
        record.blank = record.fields.size() == 1 && record.fields[0].empty() && !quotedSeen(start);
        return record;
    }

private:
    bool quotedSeen(std::size_t start) const { return start < text_.size() && text_[start] == '"'; }

    bool atLineEnd() const {
        return pos_ >= text_.size() || text_[pos_] == '\n' ||
               (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n');
    }

    void endLine() {
        if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
            ++line_;
        }
    }

    // After a malformed field the rest of its line is passed over, so the next record starts on a line of its
    // own.
    void skipLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        endLine();
    }

    bool readPlain(std::string& field, CsvRecord& record) {
        while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd()) {
            if (text_[pos_] == '"') {
                record.error =
                    "a quote inside a field that does not start with one; enclose the field in "
                    "quotes and double the quote";
                skipLine();
                return false;
            }
            field.push_back(text_[pos_++]);
        }
        return true;
    }

    bool readQuoted(std::string& field, CsvRecord& record) {
        const std::size_t opened = line_;
        ++pos_;
        while (true) {
            if (pos_ >= text_.size()) {
                record.error =
                    "the quoted field opened on line " + std::to_string(opened) + " is never closed";
                return false;
            }
            const char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    field.push_back('"');
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c == '\n') ++line_;
            field.push_back(c);
        }
        if (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd()) {
            record.error =
                "text follows the closing quote of a field; a quote inside a quoted field is doubled";
            skipLine();
            return false;
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

std::string emptyFileReason(ExchangeFormat format) {
    return format == ExchangeFormat::Csv ? "the file is empty; it must start with the header 'signature,type'"
                                         : "the file is empty; it must hold a JSON array";
}

// The line each element of the top-level array starts on, in order.
std::vector<std::size_t> jsonElementLines(std::string_view text) {
    std::vector<std::size_t> lines;
    std::size_t line = 1;
    int depth = 0;
    bool inString = false, escaped = false, expectElement = false;
    for (char c : text) {
        if (c == '\n') ++line;
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (expectElement && !blank && c != ']') {
            lines.push_back(line);
            expectElement = false;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
            if (c == '[' && depth == 1) expectElement = true;
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 1) {
            expectElement = true;
        }
    }
    return lines;
}

std::size_t lineAtByte(std::string_view text, std::size_t byte) {
    byte = std::min(byte, text.size());
    return 1 + static_cast<std::size_t>(
                   std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(byte), '\n'));
}

void sortByLine(std::vector<Refusal>& refusals) {
    auto lineOf = [](const Refusal& r) { return std::stoull(r.subject.substr(5)); };
    std::stable_sort(refusals.begin(), refusals.end(),
                     [&](const Refusal& a, const Refusal& b) { return lineOf(a) < lineOf(b); });
}

}  // namespace

std::optional<ExchangeFormat> exchangeFormatNamed(std::string_view name) {
    if (name == "csv") return ExchangeFormat::Csv;
    if (name == "json") return ExchangeFormat::Json;
    return std::nullopt;
}

ParsedExchange parseCsv(std::string_view text) {
    ParsedExchange parsed;
    text = withoutByteOrderMark(text);
    if (isBlankText(text)) {
        parsed.bad.push_back({lineSubject(1), emptyFileReason(ExchangeFormat::Csv)});
        return parsed;
    }
    CsvReader reader(text);
    std::size_t columns = 0;
    while (!reader.atEnd()) {
        CsvRecord record = reader.next();
        if (record.blank) continue;
        if (!record.error.empty()) {
            parsed.bad.push_back({lineSubject(record.line), record.error});
            if (columns == 0) return parsed;  // without a header no row can be read
            continue;
        }
        if (columns == 0) {
            if (record.fields.size() < 2 || record.fields[0] != "signature" || record.fields[1] != "type") {
                std::string read;
                for (std::size_t i = 0; i < record.fields.size(); ++i)
                    read += (i ? "," : "") + record.fields[i];
                parsed.bad.push_back(
                    {lineSubject(record.line),
                     "the header must begin with 'signature,type'; it reads '" + read + "'"});
                return parsed;
            }
            columns = record.fields.size();
            continue;
        }
        if (record.fields.size() != columns) {
            parsed.bad.push_back({lineSubject(record.line), std::to_string(record.fields.size()) +
                                                                " fields, where the header has " +
                                                                std::to_string(columns)});
            continue;
        }
        parsed.rows.push_back({record.line, std::move(record.fields[0]), std::move(record.fields[1])});
    }
    return parsed;
}

ParsedExchange parseJson(std::string_view text) {
    ParsedExchange parsed;
    text = withoutByteOrderMark(text);
    if (isBlankText(text)) {
        parsed.bad.push_back({lineSubject(1), emptyFileReason(ExchangeFormat::Json)});
        return parsed;
    }
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        parsed.bad.push_back({lineSubject(lineAtByte(text, error.byte == 0 ? 0 : error.byte - 1)),
                              std::string("the file is no valid JSON: ") + error.what()});
        return parsed;
    }
    if (!document.is_array()) {
        parsed.bad.push_back(
            {lineSubject(1), "the file must hold a JSON array of {\"signature\", \"type\"} objects"});
        return parsed;
    }
    const std::vector<std::size_t> lines = jsonElementLines(text);
    for (std::size_t i = 0; i < document.size(); ++i) {
        const std::size_t line = i < lines.size() ? lines[i] : 1;
        const nlohmann::json& element = document[i];
        if (!element.is_object()) {
            parsed.bad.push_back(
                {lineSubject(line), "an element that is no {\"signature\", \"type\"} object"});
            continue;
        }
        const auto signature = element.find("signature");
        const auto type = element.find("type");
        if (signature == element.end() || type == element.end()) {
            parsed.bad.push_back(
                {lineSubject(line), "an object without a \"signature\" or a \"type\" member"});
            continue;
        }
        if (!signature->is_string() || !type->is_string()) {
            parsed.bad.push_back({lineSubject(line), "\"signature\" and \"type\" must be texts"});
            continue;
        }
        parsed.rows.push_back({line, signature->get<std::string>(), type->get<std::string>()});
    }
    return parsed;
}

ParsedExchange parseExchange(std::string_view text, std::optional<ExchangeFormat> format) {
    if (!format) {
        const std::string_view body = withoutByteOrderMark(text);
        const std::size_t first = body.find_first_not_of(" \t\r\n");
        format = first != std::string_view::npos && body[first] == '[' ? ExchangeFormat::Json
                                                                       : ExchangeFormat::Csv;
    }
    return *format == ExchangeFormat::Json ? parseJson(text) : parseCsv(text);
}

std::string writeExchange(const std::vector<StoredSignature>& records, ExchangeFormat format) {
    if (format == ExchangeFormat::Json) {
        // One object per line: readable, and easy to compare line by line.
        std::string out = "[";
        for (std::size_t i = 0; i < records.size(); ++i) {
            const nlohmann::ordered_json object = {{"signature", records[i].signature},
                                                   {"type", records[i].type}};
            out += i == 0 ? "\n" : ",\n";
            // A hand-made library may hold broken UTF-8; it is replaced rather than failing the export.
            out += object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        }
        return out + "\n]\n";
    }
    std::string out = "signature,type\r\n";
    out.reserve(records.size() * 32);
    for (const StoredSignature& record : records) {
        appendCsvField(out, record.signature);
        out += ',';
        appendCsvField(out, record.type);
        out += "\r\n";
    }
    return out;
}

ImportOutcome importConfirmed(const DataDirectory& data, std::string_view text,
                              std::optional<ExchangeFormat> format, bool skipBad) {
    ImportOutcome outcome;
    ParsedExchange parsed = parseExchange(text, format);
    outcome.bad = std::move(parsed.bad);

    std::vector<StoredSignature> candidates;
    std::vector<std::size_t> candidateLines;
    candidates.reserve(parsed.rows.size());
    candidateLines.reserve(parsed.rows.size());
    std::unordered_map<std::string, std::size_t> firstLineOf;
    firstLineOf.reserve(parsed.rows.size());
    for (ExchangeRow& row : parsed.rows) {
        ConfirmCheck check = checkConfirmedPair(row.signature, row.type);
        if (!check.accepted()) {
            outcome.bad.push_back({lineSubject(row.line), check.reason});
            continue;
        }
        const auto [earlier, isFirst] = firstLineOf.try_emplace(check.signature, row.line);
        if (!isFirst) {
            outcome.bad.push_back({lineSubject(row.line), "the value '" + check.signature +
                                                              "' is given on line " +
                                                              std::to_string(earlier->second) + " already"});
            continue;
        }
        candidates.push_back({std::move(row.type), std::move(check.signature)});
        candidateLines.push_back(row.line);
    }
    sortByLine(outcome.bad);
    if (!outcome.bad.empty() && !skipBad) {
        outcome.stoppedByBadRows = true;
        return outcome;
    }
    if (candidates.empty()) return outcome;

    std::optional<DataLock> lock = DataLock::acquire(data, outcome.error);
    if (!lock) return outcome;
    std::optional<SignatureStore> store = openConfirmedLibrary(data, outcome.error);
    if (!store) return outcome;
    std::vector<std::optional<std::string>> heldTypes;
    std::string reason;
    if (!store->addAll(candidates, heldTypes, &reason)) {
        outcome.error = "Cannot import into the confirmed library. Reason: " + reason;
        return outcome;
    }
    std::unordered_map<std::string, std::size_t> lineOf;
    lineOf.reserve(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!heldTypes[i]) {
            lineOf.emplace(candidates[i].signature, candidateLines[i]);
            outcome.added.push_back(std::move(candidates[i]));
        } else if (*heldTypes[i] == candidates[i].type) {
            ++outcome.skipped;
        } else {
            outcome.conflicts.push_back(
                {lineSubject(candidateLines[i]), "the library holds '" + candidates[i].signature + "' as '" +
                                                     *heldTypes[i] + "', not '" + candidates[i].type +
                                                     "'; it stays as it is"});
        }
    }
    warnOfConflicts(data, *store, outcome.added, lineOf, outcome);
    return outcome;
}

ImportOutcome importConfirmedFile(const DataDirectory& data, const std::string& path,
                                  std::optional<ExchangeFormat> format, bool skipBad) {
    ImportOutcome outcome;
    auto refuse = [&](const std::string& why) {
        outcome.error = "Cannot read the file '" + path + "'. Reason: " + why;
        return outcome;
    };
    std::error_code error;
    // A FIFO or device would block the read or never end; only a file holds an import.
    if (!std::filesystem::is_regular_file(path, error))
        return refuse(error ? error.message() : "it is no regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return refuse(error.message());
    if (size > kLargestImportFile) return refuse("it is larger than 256 MB");
    std::ifstream file(path, std::ios::binary);
    if (!file) return refuse(std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) return refuse("the file could not be read to its end");
    if (!format) {
        std::string extension = std::filesystem::path(path).extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension.size() > 1) format = exchangeFormatNamed(extension.substr(1));
    }
    return importConfirmed(data, content.str(), format, skipBad);
}

std::string describeImport(const ImportOutcome& outcome) {
    return message("added %1, skipped %2, conflicts %3, bad rows %4",
                   {std::to_string(outcome.added.size()), std::to_string(outcome.skipped),
                    std::to_string(outcome.conflicts.size()), std::to_string(outcome.bad.size())});
}

ExportOutcome exportConfirmed(const DataDirectory& data, ExchangeFormat format, const std::string& path) {
    ExportOutcome outcome;
    Listing<StoredSignature> listing = listConfirmed(data);
    if (!listing.error.empty()) {
        outcome.error = std::move(listing.error);
        return outcome;
    }
    outcome.exported = listing.entries.size();
    std::string text = writeExchange(listing.entries, format);
    if (path.empty()) {
        outcome.text = std::move(text);
        return outcome;
    }
    if (std::string error = saveFileAtomically(path, text); !error.empty())
        outcome.error = "Cannot write the file '" + path + "'. Reason: " + error;
    return outcome;
}

}  // namespace vex
