#pragma once
// How sure the listed answers are. The identification list keeps only each
// file's signature value and type, so an answer's details (digits matched,
// the record, the alternatives) are worked out again when they are shown,
// from the confirmed library and the experiment library as they are then.

#include <string>
#include <vector>

#include "flow/outcome.h"
#include "flow/rename.h"
#include "ident/match_details.h"
#include "library/data_directory.h"
#include "library/ini_lists.h"
#include "library/signature_store.h"

namespace vex {

// Counts the experiment library's samples in the session's alternatives. A
// list that cannot be read adds nothing: the answers then stand without them.
void addExperimentSamples(LookupSession& session, const DataDirectory& data);

struct ExplainedListing {
    std::string error;                  // the library could not be read; `details` is then empty
    std::vector<MatchDetails> details;  // one per entry, in the same order
};

// The details of each entry's listed type (see answerAsListed).
ExplainedListing explainIdentifications(const DataDirectory& data,
                                        const std::vector<IdentificationEntry>& entries);

// Which identified files a rename may touch.
struct RenameCaution {
    int minDigits = kShortestPrefix;  // a shorter match counts as "未知类型", which is never renamed
    bool skipAmbiguous = false;       // leave weak and ambiguous answers alone
};

struct RenameSelection {
    std::vector<RenameRequest> requests;
    std::vector<Refusal> leftAlone;  // the weak and ambiguous answers skipped, each with why
};

// `details[i]` belongs to `entries[i]`.
RenameSelection selectForRename(const std::vector<IdentificationEntry>& entries,
                                const std::vector<MatchDetails>& details, const RenameCaution& caution);

// Why an answer is in doubt ("" when it is not): too few digits, or what else it could be.
std::string doubtAbout(const Answer& answer);

}  // namespace vex
