#pragma once
// Layout records: what a window and each of its units look like when the window
// is created, and which handler each event is bound to. Windows are built from
// these tables (ui/main_window_layout.cpp), never by hand-placed widget code.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/report_list.h"
#include "runtime/unit.h"
#include "runtime/value.h"

namespace vex {

// x, y relative to the parent's top-left corner (window client area, tab control
// or group box); window sizes are outer sizes.
struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

// Binds one event of a unit to a handler registered by name (HandlerRegistry).
// The handler receives `leadingArguments` followed by the event's own arguments,
// so one handler can serve several units (the list a button works on, the edit
// box that was double-clicked). An empty handler name is a deliberate "do nothing"
// binding: the event counts as handled.
struct EventBinding {
    int event = 0;
    std::string handler;
    std::vector<Value> leadingArguments;
};

// One entry of a unit's context menu (right click, the Menu key or Shift+F10):
// its caption, a window text shown in the user's language, and the handler it
// runs with the leading arguments, as an event binding does. An entry without
// a caption separates two groups of entries.
struct MenuEntry {
    std::string caption;
    std::string handler;
    std::vector<Value> leadingArguments;
};

// Which dropped formats a drop target accepts, in the order the layout stores them.
struct DropAcceptance {
    bool text = false;
    bool html = false;
    bool webAddress = false;
    bool files = false;
};

struct UnitLayout {
    UnitKind kind = UnitKind::Label;
    std::uint32_t id = 0;
    std::string name;     // kind-and-number name, e.g. "超级列表框1"
    std::string caption;  // caption of labels, buttons, group boxes; initial text of edit boxes
    Geometry geometry;
    std::uint32_t parent = 0;  // 0: the window; else the ID of a tab control or group box
    int page = -1;             // 0-based tab page when the parent is a tab control
    bool visible = true;
    bool enabled = true;
    bool tabStop = false;
    bool readOnly = false;  // edit boxes: only the program sets the text
    bool multiLine = false;
    bool scrollBars = true;
    std::vector<ReportColumn> columns;  // report lists
    // Report lists: keys that click a button of the window while the list has the
    // focus ("Ctrl+A", "Del"), so the keyboard reaches the list's commands.
    std::vector<std::pair<std::string, std::uint32_t>> keyClicks;
    std::vector<std::string> pages;      // tab controls: page captions
    int currentPage = 0;                 // tab controls
    DropAcceptance accepts;              // drop targets
    std::vector<MenuEntry> contextMenu;  // report lists; none when empty
    std::vector<EventBinding> bindings;
};

struct WindowLayout {
    std::uint32_t id = 0;
    std::string name;
    std::string title;
    Geometry geometry;  // outer size; position only used when not centred
    bool fixedBorder = true;
    bool closeBox = true;
    bool minimiseBox = false;
    bool maximiseBox = false;
    bool movable = true;
    bool centred = true;
    bool alwaysOnTop = false;
    std::vector<EventBinding> bindings;  // the window's own events (0: created)
    std::vector<UnitLayout> units;       // in creation order; a parent comes before its children

    const UnitLayout* findUnit(std::uint32_t unitId) const {
        for (const UnitLayout& u : units)
            if (u.id == unitId) return &u;
        return nullptr;
    }
    const UnitLayout* findUnit(const std::string& unitName) const {
        for (const UnitLayout& u : units)
            if (u.name == unitName) return &u;
        return nullptr;
    }
};

}  // namespace vex
