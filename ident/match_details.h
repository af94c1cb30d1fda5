#pragma once
// How sure an identification is: how long the matched prefix was, which
// record gave the answer, and what else the same prefix stands for. The
// library keeps one record per value and the first of several records that
// share a prefix answers, so without these a 2-byte match and a 20-digit one,
// or a prefix shared by three types, look alike to the user.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

inline constexpr std::string_view kUnknownFileType = "未知类型";

// Fewer matched digits than this make an answer weak: 4 bytes and less are
// shared by too many unrelated formats to tell them apart.
inline constexpr int kWeakBelowDigits = 8;

// Another type a library record holds under the matched prefix.
struct RecordAlternative {
    std::string type;
    std::optional<std::int64_t> record;  // the first such record's key
    friend bool operator==(const RecordAlternative&, const RecordAlternative&) = default;
};

// A file class of sampled files whose signature value begins with the matched prefix.
struct SampleAlternative {
    std::string fileClass;
    std::size_t samples = 0;
    friend bool operator==(const SampleAlternative&, const SampleAlternative&) = default;
};

// What else a matched prefix stands for.
struct Alternatives {
    std::vector<RecordAlternative> records;  // in record order, one per type
    std::vector<SampleAlternative> samples;  // most samples first
};

struct MatchDetails {
    int digits = 0;                      // length of the matched prefix; 0 when nothing matched
    std::optional<std::int64_t> record;  // key of the record that gave the answer
    // Nothing when there are none. Shared: every answer from one prefix has the
    // same alternatives, worked out once, so a drop of many files of one kind
    // does not copy them per file.
    std::shared_ptr<const Alternatives> alternatives;

    const std::vector<RecordAlternative>& records() const;
    const std::vector<SampleAlternative>& samples() const;
    bool hasAlternatives() const { return !records().empty() || !samples().empty(); }
    friend bool operator==(const MatchDetails& a, const MatchDetails& b) {
        return a.digits == b.digits && a.record == b.record && a.records() == b.records() &&
               a.samples() == b.samples();
    }
};

// Shared alternatives, nothing when both lists are empty.
std::shared_ptr<const Alternatives> shareAlternatives(std::vector<RecordAlternative> records,
                                                      std::vector<SampleAlternative> samples);

// A probable type with how it was found.
struct Answer {
    std::string type;
    MatchDetails details;

    bool known() const { return type != kUnknownFileType; }
    bool ambiguous() const { return details.hasAlternatives(); }
    bool weak() const { return known() && details.digits < kWeakBelowDigits; }
    friend bool operator==(const Answer&, const Answer&) = default;
};

// Whether two types name the same kind of file: "JPG" samples are no
// alternative to a "jpg" answer.
bool sameType(std::string_view a, std::string_view b);

// The details of a listed answer, from what the library answers now
// (`current`). When the list holds another type (the library changed since,
// or a weak match was refused), nothing supports the listed type: it gets no
// digits and no record, and the current answer becomes an alternative.
Answer answerAsListed(Answer current, std::string_view listedType);

// A known answer from a match shorter than `minDigits` becomes "未知类型",
// with the refused type as an alternative. At the shortest prefix length
// (and below) every match stands, as it always has.
Answer withMinimumDigits(Answer answer, int minDigits);

// The alternatives as texts, the library's first: "jar (record 12)" (or
// "jar (record ?)" for a record without a key), then "o ×30 samples" / "o ×1 sample".
std::vector<std::string> alternativeTexts(const MatchDetails& details);

}  // namespace vex
