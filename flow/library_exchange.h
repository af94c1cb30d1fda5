#pragma once
// Moving the confirmed library between machines and people: export to, and
// import from, CSV (RFC 4180, header "signature,type", UTF-8) and JSON (an
// array of {"signature", "type"} objects).
//
// An import checks every row with the confirm rules, names each bad row by its
// line, skips values the library holds already (a different type there is a
// conflict, reported and left as it is), and adds the rest in one transaction,
// warning of each added row's conflicts with other types as confirm does.
// A file with any bad row changes nothing unless the caller lets bad rows be
// skipped.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "library/signature_store.h"

namespace vex {

enum class ExchangeFormat { Csv, Json };

// "csv" or "json"; nothing for any other name.
std::optional<ExchangeFormat> exchangeFormatNamed(std::string_view name);

// One row read from an exchange file, with the line it starts on (1 = the first line).
struct ExchangeRow {
    std::size_t line = 0;
    std::string signature;
    std::string type;
};

struct ParsedExchange {
    std::vector<ExchangeRow> rows;
    // Rows (or the whole file) that could not be read, each subject "line N".
    std::vector<Refusal> bad;
};

// Reads CSV: a UTF-8 byte order mark is allowed, lines may end in CRLF or LF,
// the header's first two fields must be "signature" and "type" (further
// columns, such as the starter set's, are read past), and every row must have
// as many fields as the header. Blank lines are passed over.
ParsedExchange parseCsv(std::string_view text);
// Reads a JSON array of objects with the text members "signature" and "type";
// other members are passed over.
ParsedExchange parseJson(std::string_view text);
// By `format`; without one, a text whose first character (past blanks and a
// byte order mark) is "[" is JSON, anything else CSV.
ParsedExchange parseExchange(std::string_view text, std::optional<ExchangeFormat> format);

// The records in the given format and order.
std::string writeExchange(const std::vector<StoredSignature>& records, ExchangeFormat format);

struct ImportOutcome : Outcome {
    // The records stored, in file order, in their stored form.
    std::vector<StoredSignature> added;
    std::size_t skipped = 0;  // rows whose value the library holds with the same type
    // Rows whose value the library holds with another type: left as stored.
    std::vector<Refusal> conflicts;
    // Stored rows that conflict with records or samples of other types, one
    // line per conflict, as confirm warns (flow/conflicts.h).
    std::vector<Refusal> warnings;
    // Rows that break a confirm rule, repeat an earlier row, or cannot be read.
    std::vector<Refusal> bad;
    // True when bad rows kept the import from changing anything.
    bool stoppedByBadRows = false;
};

// Imports `text` into the library. With `skipBad`, bad rows are reported and
// the good ones stored; without it, one bad row stores nothing.
ImportOutcome importConfirmed(const DataDirectory& data, std::string_view text,
                              std::optional<ExchangeFormat> format, bool skipBad);
// Reads `path` (format from its ".json" or ".csv" ending, else from its content) and imports it.
ImportOutcome importConfirmedFile(const DataDirectory& data, const std::string& path,
                                  std::optional<ExchangeFormat> format, bool skipBad);

// One summary line: "added N, skipped N, conflicts N, bad rows N".
std::string describeImport(const ImportOutcome& outcome);

struct ExportOutcome : Outcome {
    std::size_t exported = 0;
    std::string text;  // the file's content, when no path was given
};
// Writes the library in `format` to `path` (replaced atomically), or into `text` when `path` is empty.
ExportOutcome exportConfirmed(const DataDirectory& data, ExchangeFormat format, const std::string& path);

}  // namespace vex
