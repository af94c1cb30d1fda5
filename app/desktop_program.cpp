#include "app/desktop_program.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/command_line.h"
#include "app/lock_wait_notice.h"
#include "app/single_instance.h"
#include "app/start_timing.h"
#include "runtime/data_dir.h"
#include "runtime/gui/background_work.h"
#include "runtime/gui/desktop_hooks.h"
#include "runtime/gui/drop_progress_dialog.h"
#include "runtime/gui/reveal.h"
#include "runtime/gui/window_views.h"
#include "runtime/translation.h"
#include "runtime/window_model.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/row_commands.h"
#include "ui/units.h"
#include "vexorin/version.h"

namespace vex {
namespace {

// Must match the installed .desktop file, so the desktop shows the window under its launcher.
constexpr const char* kDesktopFileId = "org.vexorin.Vexorin";

// Returns an error text, empty on success.
std::string useDataDirectory(const std::string& directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error || !std::filesystem::is_directory(directory, error)) {
        return "Cannot create the data directory '" + directory +
               "'. Reason: " + (error ? error.message() : std::string("it is not a folder"));
    }
    setDataDirectoryOverride(directory);
    return {};
}

void raiseWindow(QWidget* window) {
    if (!window) return;  // a request that came before the window opened: it opens in front anyway
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

int runDesktopProgram(int argc, char** argv) {
    // --help and --version must work where no display is, so they come before Qt's application.
    if (const DesktopCommandLine early = parseDesktopCommandLine(argc, argv, CommandLineCheck::BeforeQt);
        early.action != DesktopCommandLine::Action::Run) {
        return finishWithoutWindow(early);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexorin"));
    QApplication::setApplicationVersion(QStringLiteral(VEXORIN_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileId));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kDesktopFileId)));
    // The window speaks the user's language; the C locale keeps the texts as the layouts give them.
    useLanguage(requestedLanguage().value_or(Language::Chinese));
    const DesktopCommandLine commandLine = parseDesktopCommandLine(argc, argv, CommandLineCheck::Complete);
    if (commandLine.action != DesktopCommandLine::Action::Run) return finishWithoutWindow(commandLine);
    if (!commandLine.dataDirectory.empty()) {
        if (const std::string error = useDataDirectory(commandLine.dataDirectory); !error.empty()) {
            std::fprintf(stderr, "vexorin: %s\n", error.c_str());
            return 1;
        }
    }

    SingleInstance instance(dataDirectory());
    switch (instance.claim()) {
        case SingleInstance::Role::First:
            break;
        case SingleInstance::Role::HandedOver:
            std::printf("Vexorin already runs on the data directory '%s': raised its window.\n",
                        dataDirectory().c_str());
            return 0;
        case SingleInstance::Role::HandedOverUnanswered:
            std::printf(
                "Vexorin already runs on the data directory '%s' and is busy: its window comes to "
                "the front when it is free.\n",
                dataDirectory().c_str());
            return 0;
        case SingleInstance::Role::Unguarded:
            std::fprintf(stderr, "vexorin: cannot tell whether another window uses this data directory. %s\n",
                         instance.errorText().toLocal8Bit().constData());
            break;
    }

    // Closing the main window ends the program, even while the message window is open.
    QApplication::setQuitOnLastWindowClosed(false);

    installDesktopHooks();
    setRevealHook([](const std::string& path, const std::string&) { revealInFileManager(path); });

    WindowModel& model = WindowModel::instance();
    DesktopWindows windows(model);
    installDropTargetRegistrar(windows);
    DropProgressDialog progress;
    registerMainWindowHandlers(model, DataDirectory::current,
                               [&progress](std::size_t done, std::size_t total) {
                                   if (!progress.report(done, total)) throw DropCancelled{};
                               });
    // Large lists load here while the window is usable. A load still running at the
    // end is waited for when this goes, and what it would have shown is dropped.
    BackgroundWork background;
    setBackgroundRunner(
        [&background](std::function<UiContinuation()> work) { background.run(std::move(work)); });
    registerWindowLayouts(model);
    QObject::connect(&windows, &DesktopWindows::windowClosedByUser, &application, [](std::uint32_t windowId) {
        if (windowId == main_window::kWindowId) QApplication::quit();
    });

    QObject::connect(&instance, &SingleInstance::raiseRequested, &windows,
                     [&windows] { raiseWindow(windows.windowWidget(main_window::kWindowId)); });

    installLockWaitNotice(windows);

    model.loadStartWindow(main_window::kWindowId);
    reportStartTimingWhenAsked(windows.windowWidget(main_window::kWindowId));
    QApplication::exec();
    setBackgroundRunner({});
    removeLockWaitNotice();
    model.closeAllWindows();
    return 0;
}

}  // namespace vex
