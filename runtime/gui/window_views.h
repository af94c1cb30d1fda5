#pragma once
// Qt widgets for the windows of the window model. Each loaded window gets a
// top-level widget built from its layout table; each visual unit a widget that
// shows the unit's state and turns the user's clicks into the unit's events.
// The units keep their state themselves, so every handler also runs headless.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "runtime/window_model.h"

namespace vex {

// Event numbers of the unit types, as the layouts bind them.
namespace unit_event {
constexpr int kButtonClicked = 0;
constexpr int kDoubleClicked = -3;
constexpr int kColumnClicked = 2;
}  // namespace unit_event

class DesktopWindows : public QObject, private WindowModelObserver {
    Q_OBJECT
public:
    explicit DesktopWindows(WindowModel& model = WindowModel::instance(), QObject* parent = nullptr);
    ~DesktopWindows() override;

    // The top-level widget of a loaded window, nullptr when it has none.
    QWidget* windowWidget(std::uint32_t windowId) const;
    // The widget that shows a unit, nullptr for non-visual units.
    QWidget* unitWidget(UnitRef ref) const;
    // The widget behind a unit's window handle (what drop targets register on).
    QWidget* widgetForHandle(std::int64_t handle) const;

signals:
    // The user closed a window (its units are gone by now).
    void windowClosedByUser(std::uint32_t windowId);

private:
    struct WindowView;
    class TopLevel;

    void windowLoaded(Window& window) override;
    void windowActivated(Window& window) override;
    void windowClosing(Window& window) override;
    void windowEnabledChanged(Window& window) override;
    void commonPropertyChanged(Window& window, UnitSlot& slot, int number) override;

    void buildUnit(WindowView& view, Window& window, UnitSlot& slot);
    QWidget* parentFor(WindowView& view, const UnitLayout& layout) const;
    void userClosed(std::uint32_t windowId);

    WindowModel& model_;
    std::unordered_map<std::uint32_t, std::unique_ptr<WindowView>> views_;
};

// A caption, page or column title of a layout as the window shows it: in the
// user's language, line by line. Texts the program sets at run time pass too;
// those without a translation (data, paths) show as they are.
QString shownCaption(const std::string& text);

// Registers every drop target on the viewport of the report list whose handle
// it is given, through `windows`. Call once, before the main window is loaded.
void installDropTargetRegistrar(DesktopWindows& windows);

}  // namespace vex
