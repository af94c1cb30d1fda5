// confirm, library, library delete, library clear: the confirmed library's
// buttons, run on a headless set of the main window's units.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <set>

#include "cli/cli.h"
#include "library/confirmed_library.h"
#include "library/store.h"
#include "runtime/data_dir.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"
#include "runtime/messages.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "ui/units.h"

namespace vex::cli {
namespace {

// What the operations show the user goes to the command's error stream.
class MessagesToErrorStream {
public:
    explicit MessagesToErrorStream(std::ostream& err) {
        setMessagePresenter([&err](MessageKind, const std::string& text, const std::string& caption) {
            err << "vexorin-cli: ";
            if (!caption.empty()) err << caption << ": ";
            err << text << "\n";
        });
    }
    ~MessagesToErrorStream() { setMessagePresenter({}); }
    MessagesToErrorStream(const MessagesToErrorStream&) = delete;
    MessagesToErrorStream& operator=(const MessagesToErrorStream&) = delete;
};

// The units of the confirmed-library page, without a window around them.
class HeadlessLibrary {
public:
    explicit HeadlessLibrary(std::string libraryPath)
        : database_(main_window::外部数据库1.unit),
          connection_(main_window::数据库连接1.unit),
          recordSet_(main_window::记录集1.unit),
          list_(main_window::超级列表框2.unit, {{"序列", 40}, {"文件类", 80}, {"特征值", 200}}),
          units_{database_, connection_, recordSet_, list_, std::move(libraryPath)} {}

    ConfirmedLibraryUnits& units() { return units_; }
    ReportList& list() { return list_; }

private:
    ExternalDatabase database_;
    DatabaseConnection connection_;
    RecordSet recordSet_;
    ReportList list_;
    ConfirmedLibraryUnits units_;
};

std::string libraryPathOf(const Context& context) {
    const std::string folder = context.dataDir.empty() ? dataDirectory() : context.dataDir;
    return folder + "/" + std::string(kStoreFileName);
}

// As at start-up: a missing store is written out first, then listed.
bool openLibrary(Context& context, HeadlessLibrary& library) {
    const EnsureStoreResult store = ensureStoreExists(library.units().libraryPath);
    if (store.outcome == StoreCreation::Failed) {
        context.err << "vexorin-cli: cannot write the confirmed library '" << library.units().libraryPath
                    << "'. Reason: " << store.error << "\n";
        return false;
    }
    if (LoadConfirmedLibrary(library.units())) return true;
    context.err << "vexorin-cli: cannot read the confirmed library '" << library.units().libraryPath << "'\n";
    return false;
}

void printLibrary(Context& context, const ReportList& list) {
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(list.itemCount()));
    for (const ReportRow& row : list.rows()) {
        Row printed(3);
        for (std::size_t column = 0; column < printed.size() && column < row.cells.size(); ++column)
            printed[column] = row.cells[column];
        rows.push_back(std::move(printed));
    }
    printRows(context, {"index", "class", "signature"}, rows);
}

// Runs `work` on the opened library with messages sent to the error stream.
template <class Work>
int withLibrary(Context& context, Work work) {
    MessagesToErrorStream messages(context.err);
    HeadlessLibrary library(libraryPathOf(context));
    if (!openLibrary(context, library)) return kExitStoreError;
    return work(library);
}

int confirm(Context& context, const std::string& signature, const std::string& type) {
    return withLibrary(context, [&](HeadlessLibrary& library) {
        switch (AddConfirmedSignature(library.units(), signature, type)) {
            case AddOutcome::Duplicate:
                context.err << "特征值存在！\n请重输入其他特征值！\n";
                return static_cast<int>(kExitDuplicate);
            case AddOutcome::Refused:
                return static_cast<int>(kExitStoreError);
            case AddOutcome::Added:
                break;
        }
        printLibrary(context, library.list());
        return static_cast<int>(kExitDone);
    });
}

int deleteSignatures(Context& context, const std::vector<std::string>& signatures) {
    const std::set<std::string> wanted(signatures.begin(), signatures.end());
    return withLibrary(context, [&](HeadlessLibrary& library) {
        ReportList& list = library.list();
        for (int item = 0; item < list.itemCount(); ++item) {
            if (wanted.count(list.itemText(item, kConfirmedSignatureColumn)))
                list.setCheckState(item, check_state::kChecked);
        }
        if (!DeleteCheckedConfirmed(library.units())) return static_cast<int>(kExitStoreError);
        printLibrary(context, list);
        return static_cast<int>(kExitDone);
    });
}

}  // namespace

void addLibraryCommands(CLI::App& app, Context& context, CommandSet& commands) {
    auto* confirmCommand = app.add_subcommand("confirm", "Store a signature value with its file type in the confirmed library");
    auto confirmArgs = std::make_shared<std::pair<std::string, std::string>>();
    confirmCommand->add_option("SIGNATURE", confirmArgs->first, "Signature value")->required();
    confirmCommand->add_option("TYPE", confirmArgs->second, "File type")->required();
    commands.add(confirmCommand,
                 [&context, confirmArgs] { return confirm(context, confirmArgs->first, confirmArgs->second); });

    auto* library = app.add_subcommand("library", "List the confirmed library");
    commands.add(library, [&context] {
        return withLibrary(context, [&](HeadlessLibrary& opened) {
            printLibrary(context, opened.list());
            return static_cast<int>(kExitDone);
        });
    });

    auto* remove = library->add_subcommand("delete", "Delete the entries with these signature values");
    auto signatures = std::make_shared<std::vector<std::string>>();
    remove->add_option("SIGNATURE", *signatures, "Signature values to delete")->required();
    commands.add(remove, [&context, signatures] { return deleteSignatures(context, *signatures); });

    auto* clear = library->add_subcommand("clear", "Delete every entry of the confirmed library");
    commands.add(clear, [&context] {
        return withLibrary(context, [](HeadlessLibrary& opened) {
            return static_cast<int>(DeleteAllConfirmed(opened.units()) ? kExitDone : kExitStoreError);
        });
    });
}

}  // namespace vex::cli
