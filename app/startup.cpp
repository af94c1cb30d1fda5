#include "app/startup.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "ident/flow/flow_handlers.h"
#include "library/confirmed_library.h"
#include "library/ini_lists.h"
#include "library/store.h"
#include "runtime/data_dir.h"
#include "runtime/database_connection.h"
#include "runtime/drop_target.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/record_set.h"
#include "runtime/window_model.h"
#include "ui/row_commands.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr const char* kConfirmedTable = "文件特征值库";
constexpr int kOpenTableByName = 2;

std::string libraryPathIn(const std::string& directory) { return directory + "/" + std::string(kStoreFileName); }

// The record set stays open on the table for the whole run; adding a
// signature relies on it. Failures surface later, where they matter.
void openConfirmedTable(const std::string& library) {
    auto& connection = unitAt<DatabaseConnection>(mw::数据库连接1);
    if (!connection.connectToAccessFile(library, std::string(kStorePassword))) return;
    auto& recordSet = unitAt<RecordSet>(mw::记录集1);
    if (!recordSet.setConnection(&connection)) return;
    recordSet.open(kConfirmedTable, kOpenTableByName);
}

void loadList(UnitRef list, const std::string& iniPath,
              std::string (*load)(ReportList&, const std::string&)) {
    const std::string error = load(unitAt<ReportList>(list), iniPath);
    if (!error.empty()) showMessage(MessageKind::Warning, error, "Vexorin");
}

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

void InitialiseMainWindow() {
    WindowModel& model = WindowModel::instance();
    const std::string directory = dataDirectory();
    const std::string library = libraryPathIn(directory);
    // Writes the empty store only when nothing of that name exists; a file the
    // user filled is never touched.
    ensureStoreExists(library);
    openConfirmedTable(library);
    ConfirmedLibraryUnits confirmed = mainWindowConfirmedLibrary(library, model);
    LoadConfirmedLibrary(confirmed);
    unitAt<DropTarget>(mw::拖放对象2).registerWindow(windowHandle(mw::超级列表框3));
    unitAt<DropTarget>(mw::拖放对象1).registerWindow(windowHandle(mw::超级列表框1));
    loadList(mw::超级列表框1, directory + "/set.ini", LoadExperimentList);
    loadList(mw::超级列表框3, directory + "/setok.ini", LoadIdentificationList);
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

void OpenHomePage() { openWebAddress(homePageAddress()); }

void registerApplicationHandlers(WindowModel& model, DropProgress progress) {
    model.handlers().add("InitialiseMainWindow", [](const std::vector<Value>&) {
        InitialiseMainWindow();
        return Value();
    });
    model.handlers().add("OpenHomePage", [](const std::vector<Value>&) {
        OpenHomePage();
        return Value();
    });
    registerRowCommandHandlers();
    registerConfirmedLibraryHandlers(libraryPathIn(dataDirectory()), model);
    RegisterFlowHandlers(model, [] { return dataDirectory(); }, std::move(progress));
}

}  // namespace vex
