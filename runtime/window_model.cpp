#include "runtime/window_model.h"

#include <algorithm>

#include "runtime/basic_units.h"
#include "runtime/database_connection.h"
#include "runtime/drop_target.h"
#include "runtime/external_database.h"
#include "runtime/file_dialog.h"
#include "runtime/record_set.h"
#include "runtime/report_list.h"
#include "runtime/runtime_error.h"

namespace vex {
namespace {

[[noreturn]] void raiseModelError(const char* message) { raiseRuntimeError(0, message); }

// Non-visual units that only answer commands; the platform never reports events for them.
bool canRaiseEvents(UnitKind kind) {
    switch (kind) {
        case UnitKind::ExternalDatabase:
        case UnitKind::DatabaseConnection:
        case UnitKind::RecordSet:
        case UnitKind::FileDialog:
            return false;
        default:
            return true;
    }
}

std::optional<std::int32_t> integerOf(const Value& value) {
    if (const auto* i = value.get_if<std::int32_t>()) return *i;
    if (const auto* s = value.get_if<std::int16_t>()) return *s;
    if (const auto* b = value.get_if<std::uint8_t>()) return *b;
    if (const auto* l = value.get_if<std::int64_t>()) return static_cast<std::int32_t>(*l);
    return std::nullopt;
}

std::optional<bool> flagOf(const Value& value) {
    if (const auto* b = value.get_if<bool>()) return *b;
    if (auto i = integerOf(value)) return *i != 0;
    return std::nullopt;
}

}  // namespace

void raiseUnitNotLoaded() { raiseModelError(unit_model_error::kUnitNotLoaded); }

UnitSlot* Window::findSlot(std::uint32_t unitId) {
    auto it = index_.find(unitId);
    return it == index_.end() ? nullptr : &units_[it->second];
}

Unit* Window::findUnit(std::uint32_t unitId) {
    UnitSlot* slot = findSlot(unitId);
    return slot ? slot->unit.get() : nullptr;
}

WindowModel::WindowModel() { registerDefaultFactories(); }
WindowModel::~WindowModel() = default;

WindowModel& WindowModel::instance() {
    static WindowModel model;
    return model;
}

void WindowModel::registerDefaultFactories() {
    factories_.clear();
    factories_[UnitKind::EditBox] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<EditBox>(l.id, l.caption, l.readOnly, l.multiLine);
    };
    factories_[UnitKind::Label] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<Label>(l.id, l.caption);
    };
    factories_[UnitKind::Button] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<Button>(l.id, l.caption);
    };
    factories_[UnitKind::GroupBox] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<GroupBox>(l.id, l.caption);
    };
    factories_[UnitKind::TabControl] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<TabControl>(l.id, l.pages, l.currentPage);
    };
    factories_[UnitKind::ReportList] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<ReportList>(l.id, l.columns);
    };
    factories_[UnitKind::FileDialog] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<FileDialog>(l.id);
    };
    factories_[UnitKind::ExternalDatabase] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<ExternalDatabase>(l.id);
    };
    factories_[UnitKind::DatabaseConnection] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<DatabaseConnection>(l.id);
    };
    factories_[UnitKind::RecordSet] = [](const UnitLayout& l, const UnitContext&) {
        return std::make_unique<RecordSet>(l.id);
    };
    factories_[UnitKind::DropTarget] = [](const UnitLayout& l, const UnitContext& context) {
        WindowModel* model = &context.model;
        const UnitRef self{context.windowId, l.id};
        // The sink resolves the window again on every drop, so a drop that arrives
        // after the window closed is a runtime error, not a dangling call.
        return std::make_unique<DropTarget>(l.id, l.accepts,
                                            [model, self](int event, std::vector<Value> args) {
                                                model->raiseEvent(self, event, std::move(args));
                                            });
    };
}

void WindowModel::registerLayout(WindowLayout layout) {
    const std::uint32_t id = layout.id;
    layouts_[id] = std::make_shared<const WindowLayout>(std::move(layout));
}

const WindowLayout* WindowModel::findLayout(std::uint32_t windowId) const {
    auto it = layouts_.find(windowId);
    return it == layouts_.end() ? nullptr : it->second.get();
}

void WindowModel::registerUnitFactory(UnitKind kind, UnitFactory factory) {
    factories_[kind] = std::move(factory);
}

void WindowModel::addObserver(WindowModelObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void WindowModel::removeObserver(WindowModelObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

Window* WindowModel::findWindow(std::uint32_t windowId) const {
    for (const auto& w : windows_)
        if (w->id() == windowId) return w.get();
    return nullptr;
}

bool WindowModel::createUnits(Window& window, const UnitContext& context) {
    window.units_.reserve(window.layout_->units.size());
    for (const UnitLayout& layout : window.layout_->units) {
        if (window.index_.count(layout.id)) return false;  // two units with one ID: a broken layout
        UnitSlot slot;
        slot.layout = &layout;
        auto factory = factories_.find(layout.kind);
        slot.unit = factory != factories_.end() && factory->second
                        ? factory->second(layout, context)
                        : std::make_unique<Unit>(layout.kind, layout.id);
        if (!slot.unit) return false;
        slot.geometry = layout.geometry;
        slot.visible = layout.visible;
        slot.enabled = layout.enabled;
        slot.handle = nextHandle_++;
        window.index_[layout.id] = window.units_.size();
        window.units_.push_back(std::move(slot));
    }
    return true;
}

void WindowModel::setWindowEnabled(Window& window, bool enabled) {
    if (window.enabled_ == enabled) return;
    window.enabled_ = enabled;
    notify([&](WindowModelObserver& o) { o.windowEnabledChanged(window); });
}

bool WindowModel::loadWindow(std::uint32_t windowId, std::optional<UnitRef> parent, bool dialogMode) {
    auto layout = layouts_.find(windowId);
    if (layout == layouts_.end()) return false;

    if (Window* loaded = findWindow(windowId)) {
        ++loaded->activations_;
        notify([&](WindowModelObserver& o) { o.windowActivated(*loaded); });
        return true;
    }

    std::uint32_t owner = 0;
    if (!dialogMode && parent) {
        Window* parentWindow = findWindow(parent->window);
        if (!parentWindow || (parent->unit != parent->window && !parentWindow->findUnit(parent->unit)))
            return false;
        owner = parentWindow->id();
    }

    auto window = std::make_unique<Window>();
    window->layout_ = layout->second;
    window->handle_ = nextHandle_++;
    window->owner_ = owner;
    window->modal_ = dialogMode;
    if (!createUnits(*window, UnitContext{*this, windowId})) return false;

    Window& created = *window;
    if (dialogMode) {
        for (const auto& other : windows_) {
            if (!other->enabled_) continue;
            created.disabledByThis_.push_back(other->id());
            setWindowEnabled(*other, false);
        }
    }
    windows_.push_back(std::move(window));
    notify([&](WindowModelObserver& o) { o.windowLoaded(created); });
    raiseEvent(windowId, windowId, 0, {});  // event 0 of a window: created
    return true;
}

void WindowModel::loadStartWindow(std::uint32_t windowId) {
    if (!loadWindow(windowId)) raiseModelError(unit_model_error::kStartWindowFailed);
}

bool WindowModel::closeWindow(std::uint32_t windowId) {
    auto it =
        std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w->id() == windowId; });
    if (it == windows_.end()) return false;
    Window& window = **it;
    notify([&](WindowModelObserver& o) { o.windowClosing(window); });
    // Take the window out of the list before its units die, so nothing resolves into it meanwhile.
    std::unique_ptr<Window> closing = std::move(*it);
    windows_.erase(it);
    for (std::uint32_t id : closing->disabledByThis_)
        if (Window* other = findWindow(id)) setWindowEnabled(*other, true);
    if (eventDepth_ > 0) closedDuringEvents_.push_back(std::move(closing));
    return true;
}

void WindowModel::closeAllWindows() {
    while (!windows_.empty()) closeWindow(windows_.back()->id());
}

void WindowModel::reset() {
    closeAllWindows();
    layouts_.clear();
    handlers_.clear();
    registerDefaultFactories();
    currentSource_ = {};
}

UnitSlot& WindowModel::resolveSlot(UnitRef ref) const {
    Window* window = findWindow(ref.window);
    UnitSlot* slot = window ? window->findSlot(ref.unit) : nullptr;
    if (!slot || !slot->unit) raiseUnitNotLoaded();
    return *slot;
}

Unit& WindowModel::resolve(UnitRef ref) const { return *resolveSlot(ref).unit; }

std::int64_t WindowModel::windowHandle(UnitRef ref) const {
    if (ref.unit == ref.window) {
        if (Window* window = findWindow(ref.window)) return window->handle();
        raiseUnitNotLoaded();
    }
    return resolveSlot(ref).handle;
}

std::optional<UnitRef> WindowModel::unitForHandle(std::int64_t handle) const {
    for (const auto& window : windows_) {
        if (window->handle() == handle) return UnitRef{window->id(), window->id()};
        for (const UnitSlot& slot : window->units())
            if (slot.handle == handle) return UnitRef{window->id(), slot.layout->id};
    }
    return std::nullopt;
}

Window* WindowModel::requireWindowForProperty(UnitRef ref) const {
    Window* window = findWindow(ref.window);
    if (!window) raiseModelError(unit_model_error::kWindowOfUnitNotLoaded);
    return window;
}

Value WindowModel::readProperty(UnitRef ref, int number) const {
    requireWindowForProperty(ref);
    // A loaded window here is always created, so "指定窗口尚未载入" cannot arise.
    UnitSlot& slot = resolveSlot(ref);
    switch (number) {
        case common_property::kLeft:
            return Value(static_cast<std::int32_t>(slot.geometry.x));
        case common_property::kTop:
            return Value(static_cast<std::int32_t>(slot.geometry.y));
        case common_property::kWidth:
            return Value(static_cast<std::int32_t>(slot.geometry.width));
        case common_property::kHeight:
            return Value(static_cast<std::int32_t>(slot.geometry.height));
        case common_property::kTag:
            return Value(slot.tag);
        case common_property::kVisible:
            return Value(slot.visible);
        case common_property::kEnabled:
            return Value(slot.enabled);
        case common_property::kMousePointer:
            return Value(slot.mousePointer);
        default:
            break;
    }
    if (number < 0) return {};
    return slot.unit->readOwnProperty(number - 8);
}

void WindowModel::writeProperty(UnitRef ref, int number, const Value& value) {
    Window* window = requireWindowForProperty(ref);
    UnitSlot& slot = resolveSlot(ref);
    if (number >= 8) {
        slot.unit->writeOwnProperty(number - 8, value);
        return;
    }
    if (number < 0) return;
    bool changed = false;
    if (number <= common_property::kHeight || number == common_property::kMousePointer) {
        if (auto n = integerOf(value)) {
            int* fields[] = {&slot.geometry.x, &slot.geometry.y, &slot.geometry.width, &slot.geometry.height};
            if (number == common_property::kMousePointer)
                slot.mousePointer = *n;
            else
                *fields[number] = *n;
            changed = true;
        }
    } else if (number == common_property::kTag) {
        if (const auto* text = value.get_if<std::string>())
            slot.tag = *text, changed = true;
        else if (value.omitted())
            slot.tag.clear(), changed = true;
    } else if (auto flag = flagOf(value)) {
        (number == common_property::kVisible ? slot.visible : slot.enabled) = *flag;
        changed = true;
    }
    if (changed) notify([&](WindowModelObserver& o) { o.commonPropertyChanged(*window, slot, number); });
}

EventResult WindowModel::raiseEvent(std::uint32_t windowId, std::uint32_t unitId, int event,
                                    std::vector<Value> arguments) {
    if (runtimeErrorCount() > 0) return {};

    Window* window = findWindow(windowId);
    if (!window) raiseModelError(unit_model_error::kEventWindowMissing);

    const std::vector<EventBinding>* bindings = nullptr;
    if (unitId == windowId) {
        bindings = &window->layout().bindings;
    } else {
        UnitSlot* slot = window->findSlot(unitId);
        if (!slot || !slot->unit) raiseModelError(unit_model_error::kEventUnitMissing);
        if (!canRaiseEvents(slot->unit->kind())) raiseModelError(unit_model_error::kEventUnitInvalid);
        bindings = &slot->layout->bindings;
    }

    auto binding = std::find_if(bindings->begin(), bindings->end(),
                                [&](const EventBinding& b) { return b.event == event; });
    if (binding == bindings->end()) return {};
    if (binding->handler.empty()) return {true, {}};
    std::vector<Value> callArguments = binding->leadingArguments;
    callArguments.insert(callArguments.end(), std::make_move_iterator(arguments.begin()),
                         std::make_move_iterator(arguments.end()));
    return runHandler(UnitRef{windowId, unitId}, binding->handler, std::move(callArguments));
}

EventResult WindowModel::chooseMenuEntry(UnitRef ref, std::size_t entry) {
    if (runtimeErrorCount() > 0) return {};
    const UnitSlot& slot = resolveSlot(ref);
    const std::vector<MenuEntry>& menu = slot.layout->contextMenu;
    if (entry >= menu.size() || menu[entry].handler.empty()) return {};
    return runHandler(ref, menu[entry].handler, menu[entry].leadingArguments);
}

EventResult WindowModel::runHandler(UnitRef source, const std::string& name,
                                    std::vector<Value> callArguments) {
    const EventHandler* handler = handlers_.find(name);
    if (!handler) return {};
    // Copy the handler: it may re-register handlers or close the window while it runs.
    const EventHandler call = *handler;
    const UnitRef previousSource = currentSource_;
    currentSource_ = source;
    struct RestoreAfterHandler {
        WindowModel& model;
        UnitRef previous;
        ~RestoreAfterHandler() {
            model.currentSource_ = previous;
            if (--model.eventDepth_ == 0) {
                // Moved out first: a unit's destructor must not find the list half destroyed.
                const auto closed = std::move(model.closedDuringEvents_);
            }
        }
    } restore{*this, previousSource};
    ++eventDepth_;
    return {true, call(callArguments)};
}

}  // namespace vex
