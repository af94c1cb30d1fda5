#include "ui/context_menus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "flow/library_exchange.h"
#include "flow/rename.h"
#include "flow/restore.h"
#include "flow/starter_set.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/questions.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "ui/list_views.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr const char* kCaption = "Vexorin";

MenuEntry entry(const char* caption, const char* handler) { return {caption, handler, {}}; }
const MenuEntry kSeparator{};

std::vector<MenuEntry> confirmedLibraryMenu() {
    return {entry("导入…", "ImportIntoConfirmedLibrary"),
            entry("导出…", "ExportConfirmedLibrary"),
            kSeparator,
            entry("导入常用文件特征值", "ImportStarterSet"),
            kSeparator,
            entry("恢复清空前的确认库…", "RestoreConfirmedLibrary")};
}

std::vector<MenuEntry> identificationListMenu() {
    std::vector<MenuEntry> menu;
    // First group: taking back what was done to the list and its files.
    menu.push_back(entry("撤销上次改名", "UndoLastRename"));
    menu.push_back(entry("恢复清空前的列表…", "RestoreIdentificationList"));
    // Second group: what the answers rest on.
    menu.push_back(kSeparator);
    menu.push_back(entry("显示匹配详情…", "ShowMatchDetails"));
    return menu;
}

std::vector<MenuEntry> experimentListMenu() { return {entry("恢复…", "RestoreExperimentLibrary")}; }

// ---- Import and export.

constexpr const char* kImportFilter = "CSV 或 JSON 文件|*.csv;*.json|所有文件|*";
constexpr const char* kExportFilter = "CSV 文件|*.csv|JSON 文件|*.json";

std::optional<std::string> askForFile(int kind, const char* title, const char* filter,
                                      const std::string& fileName) {
    FileDialogSettings settings;
    settings.kind = kind;
    settings.title = title;
    settings.filter = filter;
    settings.fileName = fileName;
    settings.fileMustExist = kind == FileDialog::kOpen;
    settings.overwritePrompt = kind == FileDialog::kSave;
    if (kind == FileDialog::kSave) settings.defaultExtension = "csv";
    FileDialog dialog(0, settings);
    if (!dialog.show() || dialog.settings().fileName.empty()) return std::nullopt;
    return dialog.settings().fileName;
}

// The name says the format: ".json" is JSON, any other name CSV.
ExchangeFormat formatOfName(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".json" ? ExchangeFormat::Json : ExchangeFormat::Csv;
}

std::string importSummary(const std::string& what, const ImportOutcome& outcome) {
    std::string text = message("%1: %2.", {what, describeImport(outcome)});
    for (const std::string& part :
         {describeRefusals("These rows hold a value the library has with another type; the library keeps "
                           "its type:",
                           outcome.conflicts),
          describeRefusals("These rows were left out:", outcome.bad)})
        if (!part.empty()) text += "\n\n" + part;
    return text;
}

// Imports the file into the library. A file with bad rows changes nothing
// until the user agrees to leave those rows out.
void importIntoLibrary(WindowModel& model, const DataDirectory& data, const std::string& path,
                       const std::string& what) {
    ImportOutcome outcome = importConfirmedFile(data, path, std::nullopt, false);
    if (outcome.error.empty() && outcome.stoppedByBadRows) {
        const std::string question = describeRefusals("These rows cannot be imported:", outcome.bad) +
                                     "\n\n" + message("Import the other rows and leave these out?");
        if (!askYesOrNo(question, kCaption)) return;
        outcome = importConfirmedFile(data, path, std::nullopt, true);
    }
    LoadConfirmedLibrary(model.resolveAs<ReportList>(mw::confirmedList), data);
    if (!outcome.error.empty()) {
        showMessage(MessageKind::Error, outcome.error, kCaption);
        return;
    }
    const bool clean = outcome.conflicts.empty() && outcome.bad.empty();
    showMessage(clean ? MessageKind::Information : MessageKind::Warning, importSummary(what, outcome),
                kCaption);
}

void importChosenFile(WindowModel& model, const DataDirectory& data) {
    const std::optional<std::string> path = askForFile(FileDialog::kOpen, "导入确认库", kImportFilter, {});
    if (!path) return;
    importIntoLibrary(model, data, *path, message("Imported '%1'", {*path}));
}

void importStarterSet(WindowModel& model, const DataDirectory& data) {
    const std::string path = starterSetPath();
    if (path.empty()) {
        showMessage(
            MessageKind::Warning,
            message("The starter set '%1' is not installed beside the program.", {kStarterSetFileName}),
            kCaption);
        return;
    }
    importIntoLibrary(model, data, path, message("Imported the starter set"));
}

void exportToChosenFile(const DataDirectory& data) {
    const std::optional<std::string> path =
        askForFile(FileDialog::kSave, "导出确认库", kExportFilter, "vexorin-library.csv");
    if (!path) return;
    const ExportOutcome outcome = exportConfirmed(data, formatOfName(*path), *path);
    if (!outcome.error.empty()) {
        showMessage(MessageKind::Error, outcome.error, kCaption);
        return;
    }
    showMessage(MessageKind::Information,
                message("Exported %1 signature values to '%2'.", {std::to_string(outcome.exported), *path}),
                kCaption);
}

// ---- Restore.

struct RestorableStore {
    StoreKind kind;
    UnitRef list;
    const char* name;  // a message text
    std::string (*reload)(ReportList&, const DataDirectory&);
};

const RestorableStore kExperiments{StoreKind::Experiments, mw::experimentList, "experiment library",
                                   &LoadExperimentList};
const RestorableStore kLibrary{StoreKind::Library, mw::confirmedList, "confirmed library",
                               &LoadConfirmedLibrary};
const RestorableStore kResults{StoreKind::Results, mw::identificationList, "identification list",
                               &LoadIdentificationList};

// With one kept generation the user confirms it; with several the user picks
// one, newest first and preselected. Either way the store as it is now is kept
// too, so a restore can be taken back the same way.
std::optional<std::string> chooseGeneration(const std::vector<StoreGeneration>& generations,
                                            const std::string& what) {
    const std::string keptToo =
        message("The %1 as it is now is kept, so this too can be taken back the same way.", {what});
    if (generations.size() == 1) {
        const std::string question = message("Bring back the %1 as it was at %2?",
                                             {what, shownGenerationTime(generations.front().name)});
        if (!askYesOrNo(question + "\n\n" + keptToo, kCaption)) return std::nullopt;
        return generations.front().name;
    }
    std::vector<std::string> times;
    for (const StoreGeneration& generation : generations)
        times.push_back(shownGenerationTime(generation.name));
    const std::string question = message("Which earlier %1 shall be brought back? Newest first:", {what});
    const std::optional<std::size_t> chosen = askToChoose(question + "\n" + keptToo, times, 0, kCaption);
    if (!chosen) return std::nullopt;
    return generations[*chosen].name;
}

void restoreAsked(WindowModel& model, const DataDirectory& data, const RestorableStore& store) {
    const std::string what = message(store.name);
    const std::vector<StoreGeneration> generations = listGenerations(data, store.kind);
    if (generations.empty()) {
        showMessage(MessageKind::Information,
                    message("There is nothing to bring back: no earlier %1 has been kept. One is kept each "
                            "time it is cleared or entries are deleted.",
                            {what}),
                    kCaption);
        return;
    }
    const std::optional<std::string> generation = chooseGeneration(generations, what);
    if (!generation) return;
    const RestoreOutcome outcome = restoreStore(data, store.kind, *generation);
    store.reload(model.resolveAs<ReportList>(store.list), data);
    if (!outcome.error.empty()) {
        showMessage(MessageKind::Error, outcome.error, kCaption);
        return;
    }
    showMessage(
        MessageKind::Information,
        message("Brought back the %1 as it was at %2.", {what, shownGenerationTime(outcome.restored)}),
        kCaption);
}

// The last rename run taken back from the journal; what could not go back is named.
void undoRenameAsked(WindowModel& model, const DataDirectory& data) {
    const UndoRenameOutcome outcome = undoLastRename(data);
    kResults.reload(model.resolveAs<ReportList>(kResults.list), data);
    if (!outcome.error.empty()) {
        showMessage(MessageKind::Error, outcome.error, kCaption);
        return;
    }
    std::string text = outcome.tried == 0 ? message("no rename to take back")
                                          : message("%1 files renamed back to their old names.",
                                                    {std::to_string(outcome.renamed.size())});
    if (const std::string refused = describeRefusals(kNotRenamedHeading, outcome.refused); !refused.empty())
        text += "\n\n" + refused;
    showMessage(outcome.refused.empty() ? MessageKind::Information : MessageKind::Warning, text, kCaption);
}

// The match details of the checked rows (or of the selected one): the type cell's tooltip, as text to read.
void showMatchDetails(WindowModel& model) {
    const ReportList& list = model.resolveAs<ReportList>(mw::identificationList);
    std::vector<int> rows;
    for (int item = 0; item < list.itemCount(); ++item)
        if (list.checkState(item) == check_state::kChecked) rows.push_back(item);
    if (rows.empty() && list.currentItem() >= 0) rows.push_back(list.currentItem());
    if (rows.empty()) {
        showMessage(MessageKind::Information,
                    message("Check or select the rows whose answers you want explained."), kCaption);
        return;
    }
    constexpr std::size_t kShown = 20;
    std::string text;
    for (std::size_t i = 0; i < rows.size() && i < kShown; ++i) {
        const int item = rows[i];
        const std::optional<CellNote> note = list.cellNote(item, identification_column::kType);
        text += list.itemText(item, identification_column::kPath) + ": " +
                list.itemText(item, identification_column::kType) + "\n" +
                (note && !note->toolTip.empty() ? note->toolTip : message("no match details")) + "\n\n";
    }
    if (rows.size() > kShown) text += message("… and %1 more", {std::to_string(rows.size() - kShown)});
    showMessage(MessageKind::Information, text, kCaption);
}

void add(WindowModel& model, const std::string& name, std::function<void()> handler) {
    model.handlers().add(name, [handler = std::move(handler)](const std::vector<Value>&) {
        handler();
        return Value();
    });
}

}  // namespace

void addContextMenus(WindowLayout& mainWindow) {
    for (UnitLayout& unit : mainWindow.units) {
        if (unit.id == mw::confirmedList.unit) unit.contextMenu = confirmedLibraryMenu();
        if (unit.id == mw::identificationList.unit) unit.contextMenu = identificationListMenu();
        if (unit.id == mw::experimentList.unit) unit.contextMenu = experimentListMenu();
    }
}

void registerContextMenuHandlers(WindowModel& model, std::function<DataDirectory()> data) {
    WindowModel* m = &model;
    add(model, "ImportIntoConfirmedLibrary", [m, data] { importChosenFile(*m, data()); });
    add(model, "ExportConfirmedLibrary", [data] { exportToChosenFile(data()); });
    add(model, "ImportStarterSet", [m, data] { importStarterSet(*m, data()); });
    add(model, "RestoreConfirmedLibrary", [m, data] { restoreAsked(*m, data(), kLibrary); });
    add(model, "UndoLastRename", [m, data] { undoRenameAsked(*m, data()); });
    add(model, "ShowMatchDetails", [m] { showMatchDetails(*m); });
    add(model, "RestoreIdentificationList", [m, data] { restoreAsked(*m, data(), kResults); });
    add(model, "RestoreExperimentLibrary", [m, data] { restoreAsked(*m, data(), kExperiments); });
}

std::string shownGenerationTime(const std::string& generation) {
    // "YYYY-MM-DD_hh-mm-ss.mmm": the date, a blank, the time with colons, no milliseconds.
    if (generation.size() < 19 || generation[10] != '_') return generation;
    std::string shown = generation.substr(0, 19);
    shown[10] = ' ';
    shown[13] = ':';
    shown[16] = ':';
    return shown;
}

}  // namespace vex
