#include "ident/match_details.h"

#include <algorithm>

#include "ident/prefix_index.h"

namespace vex {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const std::vector<RecordAlternative>& MatchDetails::records() const {
    static const std::vector<RecordAlternative> none;
    return alternatives ? alternatives->records : none;
}

const std::vector<SampleAlternative>& MatchDetails::samples() const {
    static const std::vector<SampleAlternative> none;
    return alternatives ? alternatives->samples : none;
}

std::shared_ptr<const Alternatives> shareAlternatives(std::vector<RecordAlternative> records,
                                                      std::vector<SampleAlternative> samples) {
    if (records.empty() && samples.empty()) return nullptr;
    return std::make_shared<const Alternatives>(Alternatives{std::move(records), std::move(samples)});
}

bool sameType(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

Answer answerAsListed(Answer current, std::string_view listedType) {
    if (current.type == listedType) return current;
    Answer listed{std::string(listedType), {}};
    MatchDetails& details = listed.details;
    // The listed type keeps the match when the prefix that matched still stands for it.
    auto supportedBy = [&](const std::optional<std::int64_t>& record) {
        if (details.digits > 0) return;
        details.digits = current.details.digits;
        details.record = record;
    };
    std::vector<RecordAlternative> records;
    if (current.known() && sameType(current.type, listedType))
        supportedBy(current.details.record);
    else if (current.known())
        records.push_back({current.type, current.details.record});
    for (const RecordAlternative& other : current.details.records()) {
        if (sameType(other.type, listedType))
            supportedBy(other.record);
        else
            records.push_back(other);
    }
    std::vector<SampleAlternative> samples;
    for (const SampleAlternative& other : current.details.samples())
        if (!sameType(other.fileClass, listedType)) samples.push_back(other);
    details.alternatives = shareAlternatives(std::move(records), std::move(samples));
    return listed;
}

Answer withMinimumDigits(Answer answer, int minDigits) {
    if (minDigits <= kShortestPrefix || !answer.known() || answer.details.digits >= minDigits) return answer;
    return answerAsListed(std::move(answer), kUnknownFileType);
}

std::vector<std::string> alternativeTexts(const MatchDetails& details) {
    std::vector<std::string> texts;
    texts.reserve(details.records().size() + details.samples().size());
    for (const RecordAlternative& other : details.records())
        texts.push_back(other.type + " (record " + (other.record ? std::to_string(*other.record) : "?") +
                        ")");
    for (const SampleAlternative& other : details.samples())
        texts.push_back(other.fileClass + " ×" + std::to_string(other.samples) +
                        (other.samples == 1 ? " sample" : " samples"));
    return texts;
}

}  // namespace vex
