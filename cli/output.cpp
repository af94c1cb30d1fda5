#include "cli/output.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "runtime/text.h"

namespace vex::cli {
namespace {

constexpr std::size_t kBlock = 1 << 16;

bool isWholeNumber(std::string_view text) {
    const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
    return !digits.empty() && digits.size() < 19 &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void appendJsonString(std::string& out, std::string_view text) {
    // Paths need not be valid UTF-8; broken bytes are replaced rather than refused.
    out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string joinedItems(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        if (!joined.empty()) joined += ',';
        joined += item;
    }
    return joined;
}

// The cell as one line of text, for TSV and CSV.
std::string plainText(const Cell& cell) {
    return std::visit(
        [](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, std::string>)
                return value;
            else if constexpr (std::is_same_v<T, std::int64_t>)
                return std::to_string(value);
            else
                return joinedItems(value);
        },
        cell.value());
}

bool isAbsent(const Cell& cell) {
    if (std::holds_alternative<std::monostate>(cell.value())) return true;
    const auto* text = std::get_if<std::string>(&cell.value());
    return text && text->empty();
}

}  // namespace

std::optional<Format> formatNamed(std::string_view name) {
    if (name == "tsv") return Format::Tsv;
    if (name == "csv") return Format::Csv;
    if (name == "json") return Format::Json;
    if (name == "jsonl") return Format::Jsonl;
    return std::nullopt;
}

KeyKind kindOfKey(std::string_view key) {
    if (key == "index" || key == "digits" || key == "record") return KeyKind::Number;
    if (key == "alternatives") return KeyKind::TextList;
    if (key == "error") return KeyKind::OptionalText;
    return KeyKind::Text;
}

RowWriter::RowWriter(std::ostream& out, OutputStyle style, std::vector<std::string> keys)
    : out_(out), style_(style), keys_(std::move(keys)) {
    kinds_.reserve(keys_.size());
    for (const std::string& key : keys_) kinds_.push_back(kindOfKey(key));
    block_.reserve(kBlock + 4096);
    const bool header = style_.format == Format::Csv || (style_.format == Format::Tsv && style_.header);
    if (!header) return;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (i > 0) block_ += style_.format == Format::Csv ? ',' : '\t';
        block_ += keys_[i];
    }
    block_ += style_.format == Format::Csv ? "\r\n" : "\n";
}

RowWriter::~RowWriter() { finish(); }

void RowWriter::appendCell(std::size_t column, const Cell& cell) {
    const KeyKind kind = column < kinds_.size() ? kinds_[column] : KeyKind::Text;
    switch (style_.format) {
        case Format::Tsv:
            block_ += plainText(cell);
            return;
        case Format::Csv:
            appendCsvField(block_, plainText(cell));
            return;
        case Format::Json:
        case Format::Jsonl:
            break;
    }
    if (const auto* number = std::get_if<std::int64_t>(&cell.value())) {
        block_ += std::to_string(*number);
    } else if (const auto* items = std::get_if<std::vector<std::string>>(&cell.value())) {
        block_ += '[';
        for (std::size_t i = 0; i < items->size(); ++i) {
            if (i > 0) block_ += ',';
            appendJsonString(block_, (*items)[i]);
        }
        block_ += ']';
    } else if (const auto* text = std::get_if<std::string>(&cell.value());
               text && kind == KeyKind::Number && isWholeNumber(*text)) {
        block_ += *text;
    } else if (kind == KeyKind::TextList) {
        block_ += text && !text->empty() ? "[" : "[]";
        if (text && !text->empty()) {
            appendJsonString(block_, *text);
            block_ += ']';
        }
    } else if (kind == KeyKind::Number && !text) {
        block_ += "null";
    } else {
        appendJsonString(block_, text ? *text : std::string());
    }
}

void RowWriter::add(const Row& row) {
    const bool json = style_.format == Format::Json || style_.format == Format::Jsonl;
    if (style_.format == Format::Json) block_ += rows_ == 0 ? "[" : ",";
    if (json) {
        block_ += '{';
        bool first = true;
        for (std::size_t i = 0; i < row.size() && i < keys_.size(); ++i) {
            if (kinds_[i] == KeyKind::OptionalText && isAbsent(row[i])) continue;
            if (!first) block_ += ',';
            first = false;
            appendJsonString(block_, keys_[i]);
            block_ += ':';
            appendCell(i, row[i]);
        }
        block_ += '}';
        if (style_.format == Format::Jsonl) block_ += '\n';
    } else {
        const char separator = style_.format == Format::Csv ? ',' : '\t';
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) block_ += separator;
            appendCell(i, row[i]);
        }
        block_ += style_.format == Format::Csv ? "\r\n" : "\n";
    }
    ++rows_;
    flushIfFull();
}

void RowWriter::flushIfFull() {
    if (block_.size() < kBlock) return;
    out_ << block_;
    block_.clear();
}

void RowWriter::finish() {
    if (finished_) return;
    finished_ = true;
    if (style_.format == Format::Json) block_ += rows_ == 0 ? "[]\n" : "]\n";
    out_ << block_;
    block_.clear();
    out_.flush();
}

}  // namespace vex::cli
