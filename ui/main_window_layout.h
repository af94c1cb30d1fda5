#pragma once
// Layout tables of the main window and the message window, and a headless session
// that loads the main window so tests, the command-line tool and the desktop
// program all work on the same live units.
//
// Handler names bound here (register them with vex::registerHandler):
//   InitialiseMainWindow                  main window created
//   SampleDroppedFiles(paths)             拖放对象1 files dropped
//   IdentifyDroppedFiles(paths)           拖放对象2 files dropped
//   PickFileForEditor, StoreEditorToExperiment, StoreEditorToConfirmed   按钮1, 按钮3, 按钮4
//   revealFileNamedIn(editBox, x, y, keys) 编辑框1 / 编辑框6 double-clicked
//   ShowExperimentRow(x, y, keys)         超级列表框1 double-clicked
//   ShowIdentificationRow(x, y, keys)     超级列表框3 double-clicked
//   SortByClickedColumn(list, column)     超级列表框1 / 超级列表框2 column header clicked
//   CheckAllRows(list), InvertRowChecks(list)   the three buttons of each page
//   DeleteCheckedExperiments, ClearExperimentLibrary, DeleteCheckedConfirmed, DeleteAllConfirmed,
//   DeleteCheckedIdentifications, ClearIdentificationList, RenameCheckedFiles, OpenHomePage
//   the lists' context menus: see ui/context_menus.h
// Arguments in parentheses are what the handler receives; a leading unit
// reference (editBox, list) comes from the binding, so one handler serves several units.

#include <string>

#include "runtime/window_layout.h"
#include "runtime/window_model.h"

namespace vex {

WindowLayout mainWindowLayout();
WindowLayout messageWindowLayout();

// The help page's text: lines joined by "\r\n", ending with "\r\n\r\n".
std::string helpText();

// Registers both layouts with the model (again, if they are there already).
void registerWindowLayouts(WindowModel& model = WindowModel::instance());

// Loads the message window (or only activates it when it is open) and sets its
// label's caption. Modeless and without owner. False when it could not be loaded.
bool showMessageWindow(const std::string& caption, WindowModel& model = WindowModel::instance());

// The main window, loaded from its layout for the life of the session: its
// created event runs InitialiseMainWindow when that handler is registered.
// Ending the session closes every window; registered handlers stay.
class MainWindowSession {
public:
    explicit MainWindowSession(WindowModel& model = WindowModel::instance());
    ~MainWindowSession();
    MainWindowSession(const MainWindowSession&) = delete;
    MainWindowSession& operator=(const MainWindowSession&) = delete;

    WindowModel& model() { return model_; }
    bool loaded() const { return loaded_; }

private:
    WindowModel& model_;
    bool loaded_ = false;
};

// Registers the layouts and loads the main window; true when it is loaded.
bool loadMainWindow(WindowModel& model = WindowModel::instance());

}  // namespace vex
