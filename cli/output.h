#pragma once
// How every command prints its rows: one writer per format, chosen once by
// --format, so a key means the same thing and has the same kind of value in
// every command. Rows are written as they come, so a listing of a million
// entries never holds them all as text at once.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vex::cli {

enum class Format { Tsv, Csv, Json, Jsonl };

// "tsv", "csv", "json" or "jsonl"; nothing for any other text.
std::optional<Format> formatNamed(std::string_view name);

// One value of a row. A key's kind is fixed by its name (see kindOfKey): `index`, `digits` and
// `record` are numbers, `alternatives` a list of texts, `error` a text that is left out when empty.
class Cell {
public:
    Cell() = default;
    Cell(std::string text) : value_(std::move(text)) {}
    Cell(const char* text) : value_(std::string(text)) {}
    Cell(std::string_view text) : value_(std::string(text)) {}
    Cell(std::int64_t number) : value_(number) {}
    Cell(int number) : value_(std::int64_t{number}) {}
    Cell(std::size_t number) : value_(static_cast<std::int64_t>(number)) {}
    Cell(std::vector<std::string> items) : value_(std::move(items)) {}

    const std::variant<std::monostate, std::string, std::int64_t, std::vector<std::string>>& value() const {
        return value_;
    }

private:
    std::variant<std::monostate, std::string, std::int64_t, std::vector<std::string>> value_;
};

using Row = std::vector<Cell>;

enum class KeyKind { Text, Number, TextList, OptionalText };
KeyKind kindOfKey(std::string_view key);

struct OutputStyle {
    Format format = Format::Tsv;
    bool header = false;  // a header row before TSV (CSV always has one)
};

// Writes rows of `keys` to `out` in one format; the closing of a JSON array is written by finish()
// or, failing that, by the destructor.
class RowWriter {
public:
    RowWriter(std::ostream& out, OutputStyle style, std::vector<std::string> keys);
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    void add(const Row& row);
    void finish();

private:
    void appendCell(std::size_t column, const Cell& cell);
    void flushIfFull();

    std::ostream& out_;
    OutputStyle style_;
    std::vector<std::string> keys_;
    std::vector<KeyKind> kinds_;
    std::string block_;  // written in blocks: a stream write per row costs more than a long listing's rest
    std::size_t rows_ = 0;
    bool finished_ = false;
};

}  // namespace vex::cli
