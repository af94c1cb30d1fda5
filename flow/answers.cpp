#include "flow/answers.h"

#include "runtime/translation.h"

namespace vex {

void addExperimentSamples(LookupSession& session, const DataDirectory& data) {
    ExperimentList samples(data.experimentListPath());
    if (!samples.load().empty()) return;
    for (const ExperimentEntry& sample : samples.entries())
        session.addSample(sample.signature, sample.fileClass);
}

ExplainedListing explainIdentifications(const DataDirectory& data,
                                        const std::vector<IdentificationEntry>& entries) {
    ExplainedListing listing;
    if (entries.empty()) return listing;
    LookupSession session(data.libraryPath());
    if (!session.libraryReadable()) {
        listing.error = session.failure();
        return listing;
    }
    addExperimentSamples(session, data);
    listing.details.reserve(entries.size());
    for (const IdentificationEntry& entry : entries)
        listing.details.push_back(answerAsListed(session.explain(entry.signature), entry.type).details);
    return listing;
}

std::string doubtAbout(const Answer& answer) {
    std::string doubt;
    if (answer.known() && answer.details.digits == 0)
        doubt = message("the confirmed library no longer gives this type");
    else if (answer.weak())
        doubt = message("weak match: only %1 digits matched", {std::to_string(answer.details.digits)});
    if (answer.ambiguous()) {
        std::string others;
        for (const std::string& text : alternativeTexts(answer.details))
            others += (others.empty() ? "" : ", ") + text;
        if (!doubt.empty()) doubt += "; ";
        doubt += message("ambiguous: it could also be %1", {others});
    }
    return doubt;
}

RenameSelection selectForRename(const std::vector<IdentificationEntry>& entries,
                                const std::vector<MatchDetails>& details, const RenameCaution& caution) {
    RenameSelection selection;
    selection.requests.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IdentificationEntry& entry = entries[i];
        const Answer answer = withMinimumDigits(
            {entry.type, i < details.size() ? details[i] : MatchDetails{}}, caution.minDigits);
        if (!answer.known()) continue;
        if (caution.skipAmbiguous) {
            if (std::string doubt = doubtAbout(answer); !doubt.empty()) {
                selection.leftAlone.push_back({entry.path, std::move(doubt)});
                continue;
            }
        }
        selection.requests.push_back({entry.path, entry.type, entry.signature});
    }
    return selection;
}

}  // namespace vex
