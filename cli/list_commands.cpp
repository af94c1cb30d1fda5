// The experiment and identification list commands: sample, experiments,
// identify, results and rename. Each runs the desktop program's operation on
// headless units of the same kinds, on the same files.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "cli/cli.h"
#include "ident/flow/identification_flow.h"
#include "library/ini_lists.h"
#include "library/store.h"
#include "runtime/basic_units.h"
#include "runtime/data_dir.h"
#include "runtime/external_database.h"
#include "runtime/file_dialog.h"
#include "runtime/report_list.h"
#include "ui/units.h"

namespace vex::cli {
namespace {

constexpr std::size_t kProgressThreshold = 1000;

const std::vector<std::string> kExperimentKeys = {"index", "class", "signature", "path"};
const std::vector<std::string> kIdentificationKeys = {"index", "class", "signature", "path", "type"};

// The main window's units that the list operations use, without a display.
struct HeadlessUnits {
    explicit HeadlessUnits(std::string dataDir)
        : units{experimentList, identificationList, pathBox,     signatureBox, classBox,
                storeTypeBox,   storeSignatureBox,  fileDialog,  database,     std::move(dataDir)} {}

    ReportList experimentList{main_window::超级列表框1.unit, std::vector<ReportColumn>(4)};
    ReportList identificationList{main_window::超级列表框3.unit, std::vector<ReportColumn>(5)};
    EditBox pathBox{main_window::编辑框1.unit};
    EditBox signatureBox{main_window::编辑框2.unit};
    EditBox classBox{main_window::编辑框3.unit};
    EditBox storeTypeBox{main_window::编辑框4.unit};
    EditBox storeSignatureBox{main_window::编辑框5.unit};
    FileDialog fileDialog{main_window::通用对话框1.unit};
    ExternalDatabase database{main_window::外部数据库1.unit};
    FlowUnits units;

    std::string experimentIni() const { return ExperimentIniPathIn(units.dataDir); }
    std::string identificationIni() const { return IdentificationIniPathIn(units.dataDir); }
};

std::string dataDirOf(const Context& context) {
    return context.dataDir.empty() ? dataDirectory() : context.dataDir;
}

// A bar on standard error, redrawn at most once per percent, for long runs on a terminal.
class ProgressBar {
public:
    ProgressBar(Context& context, std::size_t total)
        : err_(context.err),
          shown_(total > kProgressThreshold && &context.err == &std::cerr && ::isatty(STDERR_FILENO)) {}
    ~ProgressBar() {
        if (drawn_) err_ << "\n" << std::flush;
    }
    DropProgress callback() {
        if (!shown_) return {};
        return [this](std::size_t done, std::size_t total) { draw(done, total); };
    }

private:
    void draw(std::size_t done, std::size_t total) {
        const std::size_t percent = done * 100 / total;
        if (drawn_ && percent == lastPercent_) return;
        lastPercent_ = percent;
        drawn_ = true;
        constexpr std::size_t kWidth = 40;
        const std::size_t filled = percent * kWidth / 100;
        err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << done << "/"
             << total << std::flush;
    }

    std::ostream& err_;
    bool shown_;
    bool drawn_ = false;
    std::size_t lastPercent_ = 0;
};

std::vector<Row> rowsOf(const ReportList& list) {
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(list.itemCount()));
    for (const ReportRow& row : list.rows()) rows.push_back(row.cells);
    return rows;
}

int reportStoreError(Context& context, const std::string& error) {
    context.err << "vexorin-cli: " << error << "\n";
    return kExitStoreError;
}

int reportRefused(Context& context, const DropOutcome& outcome) {
    for (const auto& [path, reason] : outcome.refused) context.err << "vexorin-cli: not recorded: " << reason << "\n";
    return outcome.refused.empty() ? kExitDone : kExitStoreError;
}

// Checks the rows whose path is one of `paths`; each path that names no row is
// told on standard error and returned. Indexed, so batches of thousands stay fast.
std::vector<std::string> checkRows(Context& context, ReportList& list, int pathColumn,
                                   const std::vector<std::string>& paths) {
    std::unordered_map<std::string_view, std::vector<int>> rowsByPath;
    rowsByPath.reserve(static_cast<std::size_t>(list.itemCount()));
    for (int item = 0; item < list.itemCount(); ++item) {
        const ReportRow* row = list.row(item);
        if (row && static_cast<int>(row->cells.size()) > pathColumn)
            rowsByPath[row->cells[static_cast<std::size_t>(pathColumn)]].push_back(item);
    }
    std::vector<std::string> missing;
    for (const std::string& path : paths) {
        const auto found = rowsByPath.find(path);
        if (found == rowsByPath.end()) {
            context.err << "vexorin-cli: no entry for '" << path << "'\n";
            missing.push_back(path);
            continue;
        }
        for (int item : found->second) list.setCheckState(item, check_state::kChecked);
    }
    return missing;
}

std::vector<std::string> readPathLines(std::istream& in) {
    // Read in blocks: a character at a time is slow on a stream synchronised with C stdio.
    std::string text;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) text.append(block, static_cast<std::size_t>(in.gcount()));
    std::vector<std::string> paths;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) paths.emplace_back(line);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return paths;
}

void addSample(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand("sample", "Record files in the experiment library, as if dropped on its list");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Files of known types")->required();
    commands.add(command, [&context, paths]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        ProgressBar bar(context, paths->size());
        const DropOutcome outcome = SamplePaths(headless.units, *paths, bar.callback());
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        printRows(context, kExperimentKeys, rowsOf(headless.experimentList));
        return reportRefused(context, outcome);
    });
}

void addExperiments(CLI::App& app, Context& context, CommandSet& commands) {
    auto* list = app.add_subcommand("experiments", "Print the experiment library");
    commands.add(list, [&context]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = LoadExperimentList(headless.experimentList, headless.experimentIni());
            !error.empty())
            return reportStoreError(context, error);
        printRows(context, kExperimentKeys, rowsOf(headless.experimentList));
        return kExitDone;
    });

    auto* remove = list->add_subcommand("delete", "Delete these entries from the experiment library");
    auto paths = std::make_shared<std::vector<std::string>>();
    remove->add_option("PATH", *paths, "Paths as the list shows them")->required();
    commands.add(remove, [&context, paths]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = LoadExperimentList(headless.experimentList, headless.experimentIni());
            !error.empty())
            return reportStoreError(context, error);
        checkRows(context, headless.experimentList, experiment_column::kPath, *paths);
        if (std::string error = DeleteCheckedExperiments(headless.experimentList, headless.experimentIni());
            !error.empty())
            return reportStoreError(context, error);
        printRows(context, kExperimentKeys, rowsOf(headless.experimentList));
        return kExitDone;
    });

    auto* clear = list->add_subcommand("clear", "Empty the experiment library");
    commands.add(clear, [&context]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = ClearExperimentLibrary(headless.experimentList, headless.experimentIni());
            !error.empty())
            return reportStoreError(context, error);
        return kExitDone;
    });
}

void addIdentify(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand(
        "identify", "Identify files, as if dropped on the identification list ('-': paths from standard input)");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Files to identify, or - to read one path per line")->required();
    commands.add(command, [&context, paths]() -> int {
        std::vector<std::string> files = *paths;
        if (files.size() == 1 && files[0] == "-") files = readPathLines(context.in);
        HeadlessUnits headless(dataDirOf(context));
        // As at start-up: a missing library is written out empty first. When that
        // fails the lookups simply find nothing, which the results show.
        if (const EnsureStoreResult store = ensureStoreExists(LibraryPathIn(headless.units.dataDir));
            store.outcome == StoreCreation::Failed)
            context.err << "vexorin-cli: " << store.error << "\n";
        ProgressBar bar(context, files.size());
        DropOutcome outcome = IdentifyPaths(headless.units, files, bar.callback());
        files = {};
        std::vector<Row> rows;
        rows.reserve(outcome.files.size());
        for (IdentifiedFile& file : outcome.files)
            rows.push_back({std::move(file.type), std::move(file.signature), std::move(file.path)});
        printRows(context, {"type", "signature", "path"}, rows);
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        return reportRefused(context, outcome);
    });
}

void addResults(CLI::App& app, Context& context, CommandSet& commands) {
    auto* list = app.add_subcommand("results", "Print the identification list");
    commands.add(list, [&context]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = LoadIdentificationList(headless.identificationList, headless.identificationIni());
            !error.empty())
            return reportStoreError(context, error);
        printRows(context, kIdentificationKeys, rowsOf(headless.identificationList));
        return kExitDone;
    });

    auto* remove = list->add_subcommand("delete", "Delete these entries from the identification list");
    auto paths = std::make_shared<std::vector<std::string>>();
    remove->add_option("PATH", *paths, "Paths as the list shows them")->required();
    commands.add(remove, [&context, paths]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = LoadIdentificationList(headless.identificationList, headless.identificationIni());
            !error.empty())
            return reportStoreError(context, error);
        checkRows(context, headless.identificationList, identification_column::kPath, *paths);
        if (std::string error =
                DeleteCheckedIdentifications(headless.identificationList, headless.identificationIni());
            !error.empty())
            return reportStoreError(context, error);
        printRows(context, kIdentificationKeys, rowsOf(headless.identificationList));
        return kExitDone;
    });

    auto* clear = list->add_subcommand("clear", "Empty the identification list");
    commands.add(clear, [&context]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = ClearIdentificationList(headless.identificationList, headless.identificationIni());
            !error.empty())
            return reportStoreError(context, error);
        return kExitDone;
    });
}

void addRename(CLI::App& app, Context& context, CommandSet& commands) {
    auto* command = app.add_subcommand("rename", "Rename these identified files to their probable type");
    auto paths = std::make_shared<std::vector<std::string>>();
    command->add_option("PATH", *paths, "Paths as the identification list shows them")->required();
    commands.add(command, [&context, paths]() -> int {
        HeadlessUnits headless(dataDirOf(context));
        if (std::string error = LoadIdentificationList(headless.identificationList, headless.identificationIni());
            !error.empty())
            return reportStoreError(context, error);
        const std::vector<std::string> missing =
            checkRows(context, headless.identificationList, identification_column::kPath, *paths);
        const RenameOutcome outcome = RenameCheckedFiles(headless.identificationList, headless.identificationIni());
        std::vector<Row> rows;
        for (const auto& [oldPath, newPath] : outcome.renamed) rows.push_back({oldPath, newPath});
        printRows(context, {"old", "new"}, rows);
        for (const auto& [path, reason] : outcome.failed)
            context.err << "vexorin-cli: '" << path << "' not renamed: " << reason << "\n";
        if (!outcome.error.empty()) return reportStoreError(context, outcome.error);
        return outcome.failed.empty() && missing.empty() ? kExitDone : kExitRenameFailed;
    });
}

}  // namespace

void addListCommands(CLI::App& app, Context& context, CommandSet& commands) {
    addSample(app, context, commands);
    addExperiments(app, context, commands);
    addIdentify(app, context, commands);
    addResults(app, context, commands);
    addRename(app, context, commands);
}

}  // namespace vex::cli
