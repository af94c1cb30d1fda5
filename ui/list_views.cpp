#include "ui/list_views.h"

#include "flow/answers.h"
#include "flow/lists.h"
#include "runtime/translation.h"

namespace vex {
namespace {

template <class Entry, class Cells>
void show(ReportList& list, const std::vector<Entry>& entries, Cells cellsOf) {
    std::vector<ReportRow> rows;
    rows.reserve(entries.size());
    for (const Entry& entry : entries) {
        ReportRow row;
        row.cells = cellsOf(std::to_string(rows.size() + 1), entry);
        rows.push_back(std::move(row));
    }
    list.setRows(std::move(rows));
}

template <class Entry>
std::string load(ReportList& list, const Listing<Entry>& listing) {
    showEntries(list, listing.entries);
    return listing.error;
}

std::vector<std::string> identificationCells(std::string index, const IdentificationEntry& e) {
    return {std::move(index), e.fileClass, e.signature, e.path, e.type};
}

}  // namespace

void showEntries(ReportList& list, const std::vector<ExperimentEntry>& entries) {
    show(list, entries, [](std::string index, const ExperimentEntry& e) {
        return std::vector<std::string>{std::move(index), e.fileClass, e.signature, e.path};
    });
}

void showEntries(ReportList& list, const std::vector<IdentificationEntry>& entries) {
    show(list, entries, identificationCells);
}

CellNote answerNote(const Answer& answer) {
    auto window = [](std::string_view source, std::initializer_list<std::string_view> arguments = {}) {
        return translatedWith(text_context::kWindow, source, arguments);
    };
    const MatchDetails& details = answer.details;
    const std::string digits = std::to_string(details.digits);
    std::string tip;
    if (!answer.known())
        tip = window("确认库中没有匹配的记录");
    else if (details.digits == 0)
        tip = window("确认库已不再给出此类型");
    else if (details.record)
        tip = window("匹配了 %1 位特征值，记录 %2", {digits, std::to_string(*details.record)});
    else
        tip = window("匹配了 %1 位特征值", {digits});
    if (answer.weak() && details.digits > 0)
        tip += "\n" + window("少于 %1 位：匹配较弱", {std::to_string(kWeakBelowDigits)});
    if (answer.ambiguous()) {
        tip += "\n" + window("也可能是：");
        for (const RecordAlternative& other : details.records())
            tip +=
                "\n  " + (other.record ? window("%1（记录 %2）", {other.type, std::to_string(*other.record)})
                                       : other.type);
        for (const SampleAlternative& other : details.samples())
            tip += "\n  " + window("%1（样本 %2 个）", {other.fileClass, std::to_string(other.samples)});
    }
    const CellMark mark = answer.weak()        ? CellMark::Weak
                          : answer.ambiguous() ? CellMark::Doubtful
                                               : CellMark::None;
    return {identification_column::kType, std::move(tip), mark};
}

void showIdentifications(ReportList& list, const DataDirectory& data,
                         const std::vector<IdentificationEntry>& entries) {
    const ExplainedListing explained = explainIdentifications(data, entries);
    const bool detailed = explained.details.size() == entries.size();
    std::vector<ReportRow> rows(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        rows[i].cells = identificationCells(std::to_string(i + 1), entries[i]);
        if (detailed) rows[i].notes.push_back(answerNote({entries[i].type, explained.details[i]}));
    }
    list.setRows(std::move(rows));
}

void showEntries(ReportList& list, const std::vector<StoredSignature>& records) {
    show(list, records, [](std::string index, const StoredSignature& r) {
        return std::vector<std::string>{std::move(index), r.type, r.signature};
    });
}

std::string LoadExperimentList(ReportList& list, const DataDirectory& data) {
    return load(list, listExperiments(data));
}

std::string LoadIdentificationList(ReportList& list, const DataDirectory& data) {
    Listing<IdentificationEntry> listing = listIdentifications(data);
    showIdentifications(list, data, listing.entries);
    return listing.error;
}

std::string LoadConfirmedLibrary(ReportList& list, const DataDirectory& data) {
    return load(list, listConfirmed(data));
}

std::vector<std::string> checkedTexts(const ReportList& list, int column) {
    std::vector<std::string> texts;
    for (int item = 0; item < list.itemCount(); ++item)
        if (list.checkState(item) == check_state::kChecked) texts.push_back(list.itemText(item, column));
    return texts;
}

}  // namespace vex
