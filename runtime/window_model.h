#pragma once
// The window model: loaded windows with their units, property access by number,
// event dispatch to handlers registered by name, and window loading.
//
// Application code names units by UnitRef and the model resolves the reference on
// every use; a reference to a window or unit that is not loaded is a runtime
// error (runtime/runtime_error.h), which ends the program. Everything runs on the
// one user-interface thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/unit.h"
#include "runtime/value.h"
#include "runtime/window_layout.h"

namespace vex {

class WindowModel;

// Handlers take the binding's leading arguments followed by the event's arguments.
using EventHandler = std::function<Value(const std::vector<Value>& arguments)>;

// Handlers are registered by name at start-up by the libraries above the runtime
// (flow, library, ui, app). A binding whose handler is not registered does
// nothing: the event counts as not handled, as if nothing were bound, so a front
// end that registers only some handlers (the command-line tool) still loads the
// windows.
class HandlerRegistry {
public:
    void add(const std::string& name, EventHandler handler) { handlers_[name] = std::move(handler); }
    void remove(const std::string& name) { handlers_.erase(name); }
    void clear() { handlers_.clear(); }
    const EventHandler* find(const std::string& name) const {
        auto it = handlers_.find(name);
        return it == handlers_.end() ? nullptr : &it->second;
    }

private:
    std::unordered_map<std::string, EventHandler> handlers_;
};

// Common properties 0-7 of every unit, kept by the model (a view may update them).
namespace common_property {
constexpr int kLeft = 0;
constexpr int kTop = 1;
constexpr int kWidth = 2;
constexpr int kHeight = 3;
constexpr int kTag = 4;
constexpr int kVisible = 5;
constexpr int kEnabled = 6;
constexpr int kMousePointer = 7;
}  // namespace common_property

// One unit of a loaded window, with the state common to all units.
struct UnitSlot {
    const UnitLayout* layout = nullptr;
    std::unique_ptr<Unit> unit;
    Geometry geometry;
    std::string tag;
    bool visible = true;
    bool enabled = true;
    std::int32_t mousePointer = 0;
    std::int64_t handle = 0;  // opaque "window handle" of the unit, unique per load
};

class Window {
public:
    std::uint32_t id() const { return layout_->id; }
    const WindowLayout& layout() const { return *layout_; }
    std::vector<UnitSlot>& units() { return units_; }
    const std::vector<UnitSlot>& units() const { return units_; }
    UnitSlot* findSlot(std::uint32_t unitId);
    Unit* findUnit(std::uint32_t unitId);
    std::int64_t handle() const { return handle_; }
    bool enabled() const { return enabled_; }
    bool modal() const { return modal_; }
    std::uint32_t owner() const { return owner_; }  // window ID of the owner, 0 for none
    int activationCount() const { return activations_; }

private:
    friend class WindowModel;
    std::shared_ptr<const WindowLayout> layout_;
    std::vector<UnitSlot> units_;
    std::unordered_map<std::uint32_t, std::size_t> index_;
    std::int64_t handle_ = 0;
    bool enabled_ = true;
    bool modal_ = false;
    std::uint32_t owner_ = 0;
    int activations_ = 0;
    std::vector<std::uint32_t> disabledByThis_;  // windows a modal window disabled
};

// Told about window lifetime, so a view can build, show and drop its widgets.
class WindowModelObserver {
public:
    virtual ~WindowModelObserver() = default;
    virtual void windowLoaded(Window& window) { (void)window; }     // units exist; before "created" runs
    virtual void windowActivated(Window& window) { (void)window; }  // a second load of a loaded window
    virtual void windowClosing(Window& window) { (void)window; }    // units still alive
    virtual void windowEnabledChanged(Window& window) { (void)window; }
    // A common property (0-7) was written by the program.
    virtual void commonPropertyChanged(Window& window, UnitSlot& slot, int number) {
        (void)window;
        (void)slot;
        (void)number;
    }
};

struct UnitContext {
    WindowModel& model;
    std::uint32_t windowId;
};

// Creates a unit of one kind from its layout record. Units of other libraries
// (database units) are created through factories registered for their kind, so
// the model needs no knowledge of them. A kind without a factory gets a plain
// Unit that holds no state.
using UnitFactory =
    std::function<std::unique_ptr<Unit>(const UnitLayout& layout, const UnitContext& context)>;

struct EventResult {
    bool handled = false;
    Value value;
};

class WindowModel {
public:
    WindowModel();
    ~WindowModel();
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    // The program's one model.
    static WindowModel& instance();

    // ---- Set-up.
    void registerLayout(WindowLayout layout);
    const WindowLayout* findLayout(std::uint32_t windowId) const;
    void registerUnitFactory(UnitKind kind, UnitFactory factory);
    HandlerRegistry& handlers() { return handlers_; }
    void addObserver(WindowModelObserver* observer);
    void removeObserver(WindowModelObserver* observer);

    // ---- Loading. A window that is already loaded is only activated (true).
    // Dialog mode ignores the parent and disables every other window while open;
    // otherwise a given parent must name a live unit (else false) whose window
    // becomes the owner. False when the layout is missing or creation fails.
    bool loadWindow(std::uint32_t windowId, std::optional<UnitRef> parent = std::nullopt,
                    bool dialogMode = false);
    // Loads the program's start window; failure is the runtime error "载入启动窗口失败".
    void loadStartWindow(std::uint32_t windowId);
    bool closeWindow(std::uint32_t windowId);
    void closeAllWindows();
    bool isLoaded(std::uint32_t windowId) const { return findWindow(windowId) != nullptr; }
    Window* findWindow(std::uint32_t windowId) const;
    const std::vector<std::unique_ptr<Window>>& windows() const { return windows_; }

    // ---- Units. Resolution raises "指定窗口或窗口组件不存在或尚未载入" on failure,
    // also when the unit is not of the asked type.
    Unit& resolve(UnitRef ref) const;
    template <class T>
    T& resolveAs(UnitRef ref) const;
    UnitSlot& resolveSlot(UnitRef ref) const;
    std::int64_t windowHandle(UnitRef ref) const;
    std::optional<UnitRef> unitForHandle(std::int64_t handle) const;

    // ---- Properties by number: 0-7 common, 8 and up the unit type's own (number - 8).
    Value readProperty(UnitRef ref, int number) const;
    void writeProperty(UnitRef ref, int number, const Value& value);

    // ---- Events. unitId may name the window itself. Dropped while a runtime
    // error is being reported; not handled when nothing (or an unregistered
    // handler) is bound.
    EventResult raiseEvent(std::uint32_t windowId, std::uint32_t unitId, int event,
                           std::vector<Value> arguments);
    EventResult raiseEvent(UnitRef ref, int event, std::vector<Value> arguments = {}) {
        return raiseEvent(ref.window, ref.unit, event, std::move(arguments));
    }
    // Runs the handler of entry `entry` of the unit's context menu, as an
    // event's handler runs. Not handled for a separator, an entry past the
    // menu's end or a handler that is not registered.
    EventResult chooseMenuEntry(UnitRef ref, std::size_t entry);
    // The unit whose event is being handled (the innermost one when nested); {} outside events.
    UnitRef currentEventSource() const { return currentSource_; }

    // Closes every window and forgets layouts and handlers; factories go back to the defaults.
    void reset();

private:
    EventResult runHandler(UnitRef source, const std::string& name, std::vector<Value> callArguments);
    Window* requireWindowForProperty(UnitRef ref) const;
    bool createUnits(Window& window, const UnitContext& context);
    void registerDefaultFactories();
    void setWindowEnabled(Window& window, bool enabled);
    template <class F>
    void notify(F&& f) {
        const auto copy = observers_;
        for (WindowModelObserver* o : copy) f(*o);
    }

    std::map<std::uint32_t, std::shared_ptr<const WindowLayout>> layouts_;
    std::unordered_map<UnitKind, UnitFactory> factories_;
    std::vector<std::unique_ptr<Window>> windows_;
    // A window closed while an event handler runs is out of windows_ at once, so nothing
    // resolves into it, but its units live until the outermost handler returns: the
    // handler may still hold references to them (a long drop, for one).
    std::vector<std::unique_ptr<Window>> closedDuringEvents_;
    int eventDepth_ = 0;
    std::vector<WindowModelObserver*> observers_;
    HandlerRegistry handlers_;
    UnitRef currentSource_;
    std::int64_t nextHandle_ = 0x10000;
};

[[noreturn]] void raiseUnitNotLoaded();

template <class T>
T& WindowModel::resolveAs(UnitRef ref) const {
    auto* unit = dynamic_cast<T*>(&resolve(ref));
    if (!unit) raiseUnitNotLoaded();
    return *unit;
}

// Shorthands on the program's model, named after the runtime's commands.
inline Value readProperty(UnitRef ref, int number) {
    return WindowModel::instance().readProperty(ref, number);
}
inline void writeProperty(UnitRef ref, int number, const Value& value) {
    WindowModel::instance().writeProperty(ref, number, value);
}
inline bool loadWindow(std::uint32_t windowId, std::optional<UnitRef> parent = std::nullopt,
                       bool dialogMode = false) {
    return WindowModel::instance().loadWindow(windowId, parent, dialogMode);
}
inline std::int64_t windowHandle(UnitRef ref) { return WindowModel::instance().windowHandle(ref); }
template <class T>
T& unitAt(UnitRef ref) {
    return WindowModel::instance().resolveAs<T>(ref);
}
inline void registerHandler(const std::string& name, EventHandler handler) {
    WindowModel::instance().handlers().add(name, std::move(handler));
}

// Runtime error texts of the unit model.
namespace unit_model_error {
inline constexpr const char* kUnitNotLoaded = "指定窗口或窗口组件不存在或尚未载入";
inline constexpr const char* kWindowOfUnitNotLoaded = "未载入欲访问窗口组件所在的窗口";
inline constexpr const char* kWindowNotCreated = "指定窗口尚未载入";
inline constexpr const char* kEventWindowMissing = "未找到引发事件的窗口";
inline constexpr const char* kEventUnitMissing = "未找到引发事件的窗口组件";
inline constexpr const char* kEventUnitInvalid = "引发事件的窗口组件无效";
inline constexpr const char* kStartWindowFailed = "载入启动窗口失败";
}  // namespace unit_model_error

}  // namespace vex
