#include "ui/list_views.h"

#include "flow/lists.h"

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

}  // namespace

void showEntries(ReportList& list, const std::vector<ExperimentEntry>& entries) {
    show(list, entries, [](std::string index, const ExperimentEntry& e) {
        return std::vector<std::string>{std::move(index), e.fileClass, e.signature, e.path};
    });
}

void showEntries(ReportList& list, const std::vector<IdentificationEntry>& entries) {
    show(list, entries, [](std::string index, const IdentificationEntry& e) {
        return std::vector<std::string>{std::move(index), e.fileClass, e.signature, e.path, e.type};
    });
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
    return load(list, listIdentifications(data));
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
