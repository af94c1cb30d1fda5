#include "ui/list_views.h"

#include <array>
#include <atomic>
#include <charconv>
#include <functional>
#include <memory>
#include <utility>

#include "flow/answers.h"
#include "flow/lists.h"
#include "runtime/translation.h"
#include "runtime/window_model.h"

namespace vex {
namespace {

// The row number as text, without a heap string per row.
struct RowNumber {
    explicit RowNumber(std::size_t number)
        : size(std::to_chars(digits, digits + sizeof digits, number).ptr - digits) {}
    std::string_view text() const { return {digits, static_cast<std::size_t>(size)}; }
    char digits[24];
    std::ptrdiff_t size;
};

std::size_t digitsOf(std::size_t count) {
    std::size_t digits = 0;
    for (std::size_t from = 1, width = 1; from <= count; from *= 10, ++width)
        digits += (std::min(count, from * 10 - 1) - from + 1) * width;
    return digits;
}

// One pass to size the buffer exactly, one to fill it; each entry is released
// once copied, so the entries and the rows are not both whole at once.
template <class Entry, class Texts>
ReportRowStore rowsOf(std::vector<Entry>&& entries, std::size_t columns, Texts texts) {
    std::size_t bytes = digitsOf(entries.size());
    for (const Entry& entry : entries)
        for (std::string_view text : texts(entry)) bytes += text.size();
    ReportRowStore rows;
    rows.reserve(entries.size(), columns, bytes);
    std::vector<std::string_view> cells;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const RowNumber number(i + 1);
        cells.assign({number.text()});
        for (std::string_view text : texts(entries[i])) cells.push_back(text);
        rows.appendRow(cells, check_state::kUnchecked);
        entries[i] = Entry{};
    }
    std::vector<Entry>().swap(entries);
    return rows;
}

template <class Entry>
std::vector<Entry> copyOf(const std::vector<Entry>& entries) {
    return entries;
}

BackgroundRunner& backgroundRunner() {
    static BackgroundRunner runner;
    return runner;
}

std::atomic<int> loadsPending{0};

}  // namespace

ReportRowStore experimentRows(std::vector<ExperimentEntry>&& entries) {
    return rowsOf(std::move(entries), 4, [](const ExperimentEntry& e) {
        return std::array<std::string_view, 3>{e.fileClass, e.signature, e.path};
    });
}

ReportRowStore identificationRows(std::vector<IdentificationEntry>&& entries) {
    return rowsOf(std::move(entries), 5, [](const IdentificationEntry& e) {
        return std::array<std::string_view, 4>{e.fileClass, e.signature, e.path, e.type};
    });
}

template <class Entry, class Texts>
ReportRowStore visitedRows(std::string (*visit)(const DataDirectory&,
                                                const std::function<void(const Entry&)>&),
                           const DataDirectory& data, std::size_t columns, Texts texts, std::string& error) {
    ReportRowStore rows;
    rows.reserve(0, columns, 0);
    std::vector<std::string_view> cells;
    std::size_t count = 0;
    error = visit(data, [&](const Entry& entry) {
        const RowNumber number(++count);
        cells.assign({number.text()});
        for (std::string_view text : texts(entry)) cells.push_back(text);
        rows.appendRow(cells, check_state::kUnchecked);
    });
    return rows;
}

ReportRowStore experimentRowsOf(const DataDirectory& data, std::string& error) {
    return visitedRows<ExperimentEntry>(
        &visitExperiments, data, 4,
        [](const ExperimentEntry& e) {
            return std::array<std::string_view, 3>{e.fileClass, e.signature, e.path};
        },
        error);
}

ReportRowStore identificationRowsOf(const DataDirectory& data, std::string& error) {
    return visitedRows<IdentificationEntry>(
        &visitIdentifications, data, 5,
        [](const IdentificationEntry& e) {
            return std::array<std::string_view, 4>{e.fileClass, e.signature, e.path, e.type};
        },
        error);
}

ReportRowStore confirmedRows(std::vector<StoredSignature>&& records) {
    return rowsOf(std::move(records), 3, [](const StoredSignature& r) {
        return std::array<std::string_view, 2>{r.type, r.signature};
    });
}

void showEntries(ReportList& list, const std::vector<ExperimentEntry>& entries) {
    list.setRowStore(experimentRows(copyOf(entries)));
}

void showEntries(ReportList& list, const std::vector<IdentificationEntry>& entries) {
    list.setRowStore(identificationRows(copyOf(entries)));
}

void showEntries(ReportList& list, const std::vector<StoredSignature>& records) {
    list.setRowStore(confirmedRows(copyOf(records)));
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

// The same details explainIdentifications gives for a whole list, asked for one
// row at a time: a view asks only for the rows it shows.
CellNoteSource answerNotes(const DataDirectory& data) {
    auto session = std::make_shared<LookupSession>(data.libraryPath(), IndexFileUse::ReadOnly);
    if (!session->libraryReadable()) return {};
    addExperimentSamples(*session, data);
    return [session](const ReportList& list, int item, int column) -> std::optional<CellNote> {
        if (column != identification_column::kType) return std::nullopt;
        const Answer current = session->explain(list.itemTextView(item, identification_column::kSignature));
        return answerNote(answerAsListed(current, list.itemTextView(item, identification_column::kType)));
    };
}

void showIdentifications(ReportList& list, const DataDirectory& data,
                         const std::vector<IdentificationEntry>& entries) {
    list.setRowStore(identificationRows(copyOf(entries)),
                     entries.empty() ? CellNoteSource() : answerNotes(data));
}

std::string LoadExperimentList(ReportList& list, const DataDirectory& data) {
    std::string error;
    list.setRowStore(experimentRowsOf(data, error));
    return error;
}

std::string LoadIdentificationList(ReportList& list, const DataDirectory& data) {
    std::string error;
    ReportRowStore rows = identificationRowsOf(data, error);
    const bool empty = rows.size() == 0;
    list.setRowStore(std::move(rows), empty ? CellNoteSource() : answerNotes(data));
    return error;
}

std::string LoadConfirmedLibrary(ReportList& list, const DataDirectory& data) {
    Listing<StoredSignature> listing = listConfirmed(data);
    list.setRowStore(confirmedRows(std::move(listing.entries)));
    return listing.error;
}

std::vector<std::string> checkedTexts(const ReportList& list, int column) {
    std::vector<std::string> texts;
    for (int item = 0; item < list.itemCount(); ++item)
        if (list.checkState(item) == check_state::kChecked) texts.push_back(list.itemText(item, column));
    return texts;
}

void setBackgroundRunner(BackgroundRunner runner) { backgroundRunner() = std::move(runner); }

int listsLoading() { return loadsPending.load(); }

void fillList(WindowModel& model, UnitRef list, std::uintmax_t storeBytes, std::function<LoadedRows()> load,
              std::function<void(const std::string&)> showError) {
    const BackgroundRunner& runner = backgroundRunner();
    if (!runner || storeBytes < kLoadedInBackgroundFrom) {
        LoadedRows loaded = load();
        model.resolveAs<ReportList>(list).setRowStore(std::move(loaded.rows), std::move(loaded.notes));
        showError(loaded.error);
        return;
    }
    // The window handle tells this load of the window from a later one; the
    // revision tells the rows it began beside from any shown since.
    const std::int64_t window = model.windowHandle(list);
    const std::uint64_t revision = model.resolveAs<ReportList>(list).revision();
    ++loadsPending;
    runner([&model, list, window, revision, load = std::move(load),
            showError = std::move(showError)]() -> UiContinuation {
        auto loaded = std::make_shared<LoadedRows>(load());
        return [&model, list, window, revision, loaded, showError] {
            --loadsPending;
            if (!model.isLoaded(list.window) || model.windowHandle(list) != window) return;
            ReportList& shown = model.resolveAs<ReportList>(list);
            if (shown.revision() != revision) return;
            shown.setRowStore(std::move(loaded->rows), std::move(loaded->notes));
            showError(loaded->error);
        };
    });
}

}  // namespace vex
