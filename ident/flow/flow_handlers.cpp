#include "ident/flow/flow_handlers.h"

#include "library/confirmed_library.h"
#include "library/ini_lists.h"
#include "runtime/basic_units.h"
#include "runtime/external_database.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/report_list.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr std::size_t kListedProblems = 20;

void showError(const std::string& text) {
    if (!text.empty()) showMessage(MessageKind::Error, text, "Vexorin");
}

// "heading" followed by one line per problem, the long tail counted rather than listed.
void showProblems(const std::string& heading, const std::vector<std::pair<std::string, std::string>>& problems) {
    if (problems.empty()) return;
    std::string text = heading;
    for (std::size_t i = 0; i < problems.size() && i < kListedProblems; ++i)
        text += "\n" + problems[i].first + ": " + problems[i].second;
    if (problems.size() > kListedProblems)
        text += "\n… and " + std::to_string(problems.size() - kListedProblems) + " more";
    showMessage(MessageKind::Warning, text, "Vexorin");
}

void showDropProblems(const DropOutcome& outcome) {
    showError(outcome.error);
    showProblems("These files were not recorded:", outcome.refused);
}

std::string droppedText(const std::vector<Value>& arguments) {
    for (const Value& argument : arguments)
        if (const auto* text = argument.get_if<std::string>()) return *text;
    return {};
}

ReportList& experimentList(WindowModel& model) { return model.resolveAs<ReportList>(mw::超级列表框1); }
ReportList& identificationList(WindowModel& model) { return model.resolveAs<ReportList>(mw::超级列表框3); }

}  // namespace

FlowUnits MainWindowFlowUnits(WindowModel& model, const std::string& dataDir) {
    return FlowUnits{experimentList(model),
                     identificationList(model),
                     model.resolveAs<TextUnit>(mw::编辑框1),
                     model.resolveAs<TextUnit>(mw::编辑框2),
                     model.resolveAs<TextUnit>(mw::编辑框3),
                     model.resolveAs<TextUnit>(mw::编辑框4),
                     model.resolveAs<TextUnit>(mw::编辑框5),
                     model.resolveAs<FileDialog>(mw::通用对话框1),
                     model.resolveAs<ExternalDatabase>(mw::外部数据库1),
                     dataDir};
}

StoreToConfirmedOutcome StoreEditorToConfirmed(FlowUnits& units, ConfirmedLibraryUnits& confirmed) {
    const std::string& type = units.storeTypeBox.text();
    const std::string& signature = units.storeSignatureBox.text();
    if (type.empty() && signature.empty()) return StoreToConfirmedOutcome::NothingToStore;
    switch (AddConfirmedSignature(confirmed, signature, type)) {
        case AddOutcome::Added: return StoreToConfirmedOutcome::Added;
        case AddOutcome::Duplicate: return StoreToConfirmedOutcome::Duplicate;
        case AddOutcome::Refused: break;
    }
    return StoreToConfirmedOutcome::Refused;
}

void RegisterFlowHandlers(WindowModel& model, std::function<std::string()> dataDir, DropProgress progress) {
    HandlerRegistry& handlers = model.handlers();
    auto units = [&model, dataDir] { return MainWindowFlowUnits(model, dataDir()); };

    handlers.add("SampleDroppedFiles", [units, progress](const std::vector<Value>& arguments) {
        FlowUnits flow = units();
        showDropProblems(SampleDroppedFiles(flow, droppedText(arguments), progress));
        return Value();
    });
    handlers.add("IdentifyDroppedFiles", [units, progress](const std::vector<Value>& arguments) {
        FlowUnits flow = units();
        showDropProblems(IdentifyDroppedFiles(flow, droppedText(arguments), progress));
        return Value();
    });
    handlers.add("PickFileForEditor", [units](const std::vector<Value>&) {
        FlowUnits flow = units();
        PickFileForEditor(flow);
        return Value();
    });
    handlers.add("StoreEditorToExperiment", [units](const std::vector<Value>&) {
        FlowUnits flow = units();
        showError(StoreEditorToExperiment(flow));
        return Value();
    });
    handlers.add("StoreEditorToConfirmed", [&model, units, dataDir](const std::vector<Value>&) {
        FlowUnits flow = units();
        ConfirmedLibraryUnits confirmed = mainWindowConfirmedLibrary(LibraryPathIn(dataDir()), model);
        if (StoreEditorToConfirmed(flow, confirmed) == StoreToConfirmedOutcome::Duplicate)
            showMessageWindow(std::string(kDuplicateSignatureMessage), model);
        return Value();
    });

    handlers.add("DeleteCheckedExperiments", [&model, dataDir](const std::vector<Value>&) {
        showError(DeleteCheckedExperiments(experimentList(model), ExperimentIniPathIn(dataDir())));
        return Value();
    });
    handlers.add("ClearExperimentLibrary", [&model, dataDir](const std::vector<Value>&) {
        showError(ClearExperimentLibrary(experimentList(model), ExperimentIniPathIn(dataDir())));
        return Value();
    });
    handlers.add("DeleteCheckedIdentifications", [&model, dataDir](const std::vector<Value>&) {
        showError(DeleteCheckedIdentifications(identificationList(model), IdentificationIniPathIn(dataDir())));
        return Value();
    });
    handlers.add("ClearIdentificationList", [&model, dataDir](const std::vector<Value>&) {
        showError(ClearIdentificationList(identificationList(model), IdentificationIniPathIn(dataDir())));
        return Value();
    });
    handlers.add("RenameCheckedFiles", [&model, dataDir](const std::vector<Value>&) {
        const RenameOutcome outcome =
            RenameCheckedFiles(identificationList(model), IdentificationIniPathIn(dataDir()));
        showError(outcome.error);
        showProblems("These files were not renamed:", outcome.failed);
        return Value();
    });
}

}  // namespace vex
