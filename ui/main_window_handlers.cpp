#include "ui/main_window_handlers.h"

#include <filesystem>
#include <vector>

#include "flow/confirm.h"
#include "flow/conflicts.h"
#include "flow/drop.h"
#include "flow/lists.h"
#include "flow/rename.h"
#include "ident/signature.h"
#include "library/store.h"
#include "library/store_schema.h"
#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/database_connection.h"
#include "runtime/drop_target.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"
#include "ui/context_menus.h"
#include "ui/list_views.h"
#include "ui/main_window_layout.h"
#include "ui/row_commands.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr const char* kCaption = "Vexorin";

void showError(const std::string& text) {
    if (!text.empty()) showMessage(MessageKind::Error, text, kCaption);
}

// The confirmed library's refusals have always come in a message box of no caption of their own.
void showLibraryError(const std::string& text) {
    if (!text.empty()) showMessage(MessageKind::Error, text);
}

void showRefusals(std::string_view heading, const std::vector<Refusal>& refused) {
    if (!refused.empty()) showMessage(MessageKind::Warning, describeRefusals(heading, refused), kCaption);
}

ReportList& listAt(WindowModel& model, UnitRef list) { return model.resolveAs<ReportList>(list); }
TextUnit& textAt(WindowModel& model, UnitRef box) { return model.resolveAs<TextUnit>(box); }

std::string droppedText(const std::vector<Value>& arguments) {
    for (const Value& argument : arguments)
        if (const auto* text = argument.get_if<std::string>()) return *text;
    return {};
}

// The sample editor and the confirm editors, resolved when a handler starts:
// a long drop lets the window close while it runs, and a closed window's units
// can no longer be resolved, only used through references taken before.
struct Editor {
    explicit Editor(WindowModel& model)
        : path(textAt(model, mw::samplePathEdit)),
          signature(textAt(model, mw::sampleSignatureEdit)),
          fileClass(textAt(model, mw::sampleClassEdit)),
          confirmType(textAt(model, mw::confirmTypeEdit)),
          confirmSignature(textAt(model, mw::confirmSignatureEdit)) {}

    // Shows a file: its path as handed in, signature and class; the confirm
    // editors are filled from them.
    void show(const std::string& shownPath, const std::string& shownSignature,
              const std::string& shownClass) {
        path.setText(shownPath);
        signature.setText(shownSignature);
        fileClass.setText(shownClass);
        confirmType.setText(fileClass.text());
        confirmSignature.setText(signature.text());
    }

    TextUnit& path;
    TextUnit& signature;
    TextUnit& fileClass;
    TextUnit& confirmType;
    TextUnit& confirmSignature;
};

// The drop target leaves out the names its files-dropped text cannot carry; the
// user is told which, before the rest of the drop is taken.
void showNamesNotTaken(WindowModel& model, UnitRef dropTarget) {
    const std::vector<std::string>& refused = model.resolveAs<DropTarget>(dropTarget).refusedPaths();
    if (refused.empty()) return;
    std::string text =
        message("These files were not taken: their names hold a line break, which the lists cannot store:");
    for (const std::string& path : refused) text += "\n" + path;
    showMessage(MessageKind::Warning, text);
}

void sampleDroppedFiles(WindowModel& model, const DataDirectory& data, const std::string& text,
                        const Progress& progress) {
    showNamesNotTaken(model, mw::experimentDropTarget);
    Editor editor(model);
    ReportList& list = listAt(model, mw::experimentList);
    std::vector<ExperimentEntry> listed;
    const DropOutcome outcome = samplePaths(data, splitDroppedPaths(text), progress, &listed);
    if (!outcome.files.empty()) {
        const IdentifiedFile& last = outcome.files.back();
        editor.show(outcome.lastHandedIn, last.signature, last.type);
    }
    showEntries(list, listed);
    showError(outcome.error);
    showRefusals(kNotRecordedHeading, outcome.refused);
}

void identifyDroppedFiles(WindowModel& model, const DataDirectory& data, const std::string& text,
                          const Progress& progress) {
    showNamesNotTaken(model, mw::identificationDropTarget);
    ReportList& list = listAt(model, mw::identificationList);
    std::vector<IdentificationEntry> listed;
    const DropOutcome outcome = identifyPaths(data, splitDroppedPaths(text), progress, &listed);
    showIdentifications(list, data, listed);
    showError(outcome.error);
    showRefusals(kNotRecordedHeading, outcome.refused);
}

void pickFileForEditor(WindowModel& model) {
    FileDialog& dialog = model.resolveAs<FileDialog>(mw::fileDialog);
    if (!dialog.show()) return;
    const std::string path = dialog.settings().fileName;
    if (path.empty()) return;
    std::string trimmed = path;
    const std::string fileClass = FileClassOf(trimmed);  // the edit box keeps the name as chosen
    Editor(model).show(path, ReadSignatureValue(path), fileClass);
}

void storeEditorToExperiment(WindowModel& model, const DataDirectory& data) {
    const std::string& path = textAt(model, mw::samplePathEdit).text();
    if (path.empty()) return;
    ReportList& list = listAt(model, mw::experimentList);
    std::vector<ExperimentEntry> listed;
    const Outcome outcome =
        storeExperiment(data, path, textAt(model, mw::sampleSignatureEdit).text(), &listed);
    showEntries(list, listed);
    showError(outcome.error);
}

template <class Entry>
void showListed(ReportList& list, const DataDirectory&, const std::vector<Entry>& entries) {
    showEntries(list, entries);
}

void showListed(ReportList& list, const DataDirectory& data,
                const std::vector<IdentificationEntry>& entries) {
    showIdentifications(list, data, entries);
}

template <class Entry>
void deleteChecked(WindowModel& model, UnitRef listRef, int column,
                   Outcome (*remove)(const DataDirectory&, const std::vector<std::string>&,
                                     std::vector<Entry>*),
                   const DataDirectory& data, void (*show)(const std::string&) = showError) {
    ReportList& list = listAt(model, listRef);
    std::vector<Entry> listed;
    const Outcome outcome = remove(data, checkedTexts(list, column), &listed);
    showListed(list, data, listed);
    show(outcome.error);
}

void renameCheckedFiles(WindowModel& model, const DataDirectory& data) {
    ReportList& list = listAt(model, mw::identificationList);
    std::vector<RenameRequest> requests;
    for (int item = 0; item < list.itemCount(); ++item) {
        if (list.checkState(item) != check_state::kChecked) continue;
        requests.push_back({list.itemText(item, identification_column::kPath),
                            list.itemText(item, identification_column::kType),
                            list.itemText(item, identification_column::kSignature)});
    }
    std::vector<IdentificationEntry> listed;
    const RenameOutcome outcome = renameFiles(data, requests, &listed);
    showIdentifications(list, data, listed);
    showError(outcome.error);
    showRefusals(kNotRenamedHeading, outcome.refused);
}

void clearList(WindowModel& model, UnitRef list, Outcome (*clear)(const DataDirectory&),
               const DataDirectory& data, std::string (*reload)(ReportList&, const DataDirectory&),
               void (*show)(const std::string&) = showError) {
    ReportList& shown = listAt(model, list);
    const Outcome outcome = clear(data);
    reload(shown, data);
    show(outcome.error);
}

// The connection stays open for the whole run, as the window's database units
// always were, with the record set bound to it. The record set is not opened on
// the table: that reads every record into memory on this thread (1.5 s and
// 150 MB for 100,000 records, before the window could paint), and nothing in
// the window reads it. Failures surface later, where they matter.
void openStoreUnits(WindowModel& model, const std::string& library) {
    auto& connection = model.resolveAs<DatabaseConnection>(mw::storeConnection);
    if (!connection.open(library, std::string(store_schema::kPassword))) return;
    model.resolveAs<RecordSet>(mw::storeRecordSet).setConnection(&connection);
}

void showListWarning(const std::string& text) {
    if (!text.empty()) showMessage(MessageKind::Warning, text, kCaption);
}

std::uintmax_t fileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// A cancel comes while the files are read, before anything is written: the
// lists stay as they were.
template <class Drop>
void unlessCancelled(Drop drop) {
    try {
        drop();
    } catch (const DropCancelled&) {
    }
}

using Handler = std::function<void(const std::vector<Value>&)>;

void add(WindowModel& model, const std::string& name, Handler handler) {
    model.handlers().add(name, [handler = std::move(handler)](const std::vector<Value>& arguments) {
        handler(arguments);
        return Value();
    });
}

}  // namespace

void InitialiseMainWindow(WindowModel& model, const DataDirectory& data) {
    // Writes the empty store only when nothing of that name exists; a file the
    // user filled is never touched.
    ensureStoreExists(data.libraryPath());
    openStoreUnits(model, data.libraryPath());
    fillList(
        model, mw::confirmedList, fileSize(data.libraryPath()),
        [data] {
            LibraryFailure failure;
            Listing<StoredSignature> library = listConfirmed(data, &failure);
            const std::string error = library.error.empty() ? "" : describeLibraryFailure(data, failure);
            return LoadedRows{confirmedRows(std::move(library.entries)), {}, error};
        },
        showLibraryError);
    model.resolveAs<DropTarget>(mw::identificationDropTarget)
        .registerWindow(model.windowHandle(mw::identificationList));
    model.resolveAs<DropTarget>(mw::experimentDropTarget)
        .registerWindow(model.windowHandle(mw::experimentList));
    fillList(
        model, mw::experimentList, fileSize(data.experimentListPath()),
        [data] {
            std::string error;
            ReportRowStore rows = experimentRowsOf(data, error);
            return LoadedRows{std::move(rows), {}, error};
        },
        showListWarning);
    fillList(
        model, mw::identificationList, fileSize(data.identificationListPath()),
        [data] {
            std::string error;
            ReportRowStore rows = identificationRowsOf(data, error);
            CellNoteSource notes = rows.size() == 0 ? CellNoteSource() : answerNotes(data);
            return LoadedRows{std::move(rows), std::move(notes), error};
        },
        showListWarning);
}

void StoreEditorToConfirmed(WindowModel& model, const DataDirectory& data) {
    const std::string& type = textAt(model, mw::confirmTypeEdit).text();
    const std::string& signature = textAt(model, mw::confirmSignatureEdit).text();
    if (type.empty() && signature.empty()) return;
    ReportList& list = listAt(model, mw::confirmedList);
    const ConfirmOutcome outcome = AddConfirmedSignature(data, signature, type);
    LoadConfirmedLibrary(list, data);
    switch (outcome.result) {
        case ConfirmOutcome::Result::Added:
            if (!outcome.warnings.empty())
                showMessage(MessageKind::Warning,
                            describeStoredWithWarnings(outcome.signature, type, outcome.warnings), kCaption);
            break;
        case ConfirmOutcome::Result::Duplicate:
            showMessageWindow(outcome.reason, model);
            break;
        case ConfirmOutcome::Result::Refused:
            showLibraryError(outcome.reason);
            break;
        case ConfirmOutcome::Result::Invalid:
            // The editors stay read-only, so the refusal is a message rather than a marked field.
            showMessage(MessageKind::Warning, outcome.reason, kCaption);
            break;
    }
}

std::string homePageAddress() {
    const std::filesystem::path programDirectory = runDirectory();
    const std::vector<std::filesystem::path> candidates = {
        programDirectory / "docs" / "index.html",
        programDirectory / ".." / "share" / "doc" / "vexorin" / "index.html",
        std::filesystem::path(VEXORIN_SOURCE_DIR) / "docs" / "index.html",
    };
    for (const std::filesystem::path& candidate : candidates) {
        if (isFile(candidate)) {
            std::error_code error;
            const std::filesystem::path canonical = std::filesystem::weakly_canonical(candidate, error);
            return "file://" + (error ? candidate : canonical).string();
        }
    }
    return {};
}

void OpenHomePage() {
    const std::string address = homePageAddress();
    if (address.empty()) {
        showMessage(MessageKind::Warning,
                    message("The home page was not found. It is installed with the program in "
                            "share/doc/vexorin/index.html."),
                    kCaption);
        return;
    }
    // Without a browser the button must not fail silently: say where the page is, to open by hand,
    // also when xdg-open started but found no browser to hand the page to.
    auto sayWhereThePageIs = [address] {
        const std::string path = address.substr(std::string_view("file://").size());
        showMessage(MessageKind::Information,
                    message("The home page '%1' could not be opened in a web browser. Open this file in your "
                            "browser:\n%2",
                            {address, path}),
                    kCaption);
    };
    if (!openWebAddress(address, sayWhereThePageIs)) sayWhereThePageIs();
}

void registerMainWindowHandlers(WindowModel& model, std::function<DataDirectory()> data, Progress progress) {
    WindowModel* m = &model;
    add(model, "InitialiseMainWindow", [m, data](const auto&) { InitialiseMainWindow(*m, data()); });
    add(model, "OpenHomePage", [](const auto&) { OpenHomePage(); });
    add(model, "SampleDroppedFiles", [m, data, progress](const std::vector<Value>& arguments) {
        unlessCancelled([&] { sampleDroppedFiles(*m, data(), droppedText(arguments), progress); });
    });
    add(model, "IdentifyDroppedFiles", [m, data, progress](const std::vector<Value>& arguments) {
        unlessCancelled([&] { identifyDroppedFiles(*m, data(), droppedText(arguments), progress); });
    });
    add(model, "PickFileForEditor", [m](const auto&) { pickFileForEditor(*m); });
    add(model, "StoreEditorToExperiment", [m, data](const auto&) { storeEditorToExperiment(*m, data()); });
    add(model, "StoreEditorToConfirmed", [m, data](const auto&) { StoreEditorToConfirmed(*m, data()); });
    add(model, "DeleteCheckedExperiments", [m, data](const auto&) {
        deleteChecked(*m, mw::experimentList, experiment_column::kPath, &deleteExperiments, data());
    });
    add(model, "DeleteCheckedIdentifications", [m, data](const auto&) {
        deleteChecked(*m, mw::identificationList, identification_column::kPath, &deleteIdentifications,
                      data());
    });
    add(model, "DeleteCheckedConfirmed", [m, data](const auto&) {
        deleteChecked(*m, mw::confirmedList, confirmed_column::kSignature, &deleteConfirmed, data(),
                      &showLibraryError);
    });
    add(model, "ClearExperimentLibrary", [m, data](const auto&) {
        clearList(*m, mw::experimentList, &clearExperiments, data(), &LoadExperimentList);
    });
    add(model, "ClearIdentificationList", [m, data](const auto&) {
        clearList(*m, mw::identificationList, &clearIdentifications, data(), &LoadIdentificationList);
    });
    add(model, "DeleteAllConfirmed", [m, data](const auto&) {
        clearList(*m, mw::confirmedList, &clearConfirmed, data(), &LoadConfirmedLibrary, &showLibraryError);
    });
    add(model, "RenameCheckedFiles", [m, data](const auto&) { renameCheckedFiles(*m, data()); });
    registerRowCommandHandlers();
    registerContextMenuHandlers(model, data);
}

}  // namespace vex
