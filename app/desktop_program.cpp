#include "app/desktop_program.h"

#include <QApplication>

#include "runtime/gui/desktop_hooks.h"
#include "runtime/gui/drop_progress_dialog.h"
#include "runtime/gui/reveal.h"
#include "runtime/gui/window_views.h"
#include "runtime/window_model.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/row_commands.h"
#include "ui/units.h"

namespace vex {

int runDesktopProgram(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexorin"));
    // Closing the main window ends the program, even while the message window is open.
    QApplication::setQuitOnLastWindowClosed(false);

    installDesktopHooks();
    setRevealHook([](const std::string& path, const std::string&) { revealInFileManager(path); });

    WindowModel& model = WindowModel::instance();
    DesktopWindows windows(model);
    installDropTargetRegistrar(windows);
    DropProgressDialog progress;
    registerMainWindowHandlers(model, DataDirectory::current, [&progress](std::size_t done, std::size_t total) {
        progress.report(done, total);
    });
    registerWindowLayouts(model);
    QObject::connect(&windows, &DesktopWindows::windowClosedByUser, &application, [](std::uint32_t windowId) {
        if (windowId == main_window::kWindowId) QApplication::quit();
    });

    model.loadStartWindow(main_window::kWindowId);
    QApplication::exec();
    model.closeAllWindows();
    return 0;
}

}  // namespace vex
