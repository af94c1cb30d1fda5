#pragma once
// Drop target unit (拖放对象): makes another unit accept dragged data and turns
// each drop into events of this unit. This is the platform-free half: switches,
// registration, the drop-effect rules and the delivery of dropped data. The
// desktop program's Qt side calls dragEnter/dragOver/dragLeave/drop.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/unit.h"
#include "runtime/window_layout.h"

namespace vex {

// Bit values as the drag source offers them; the chosen effect is one of them or none.
namespace drop_effect {
constexpr unsigned kNone = 0;
constexpr unsigned kCopy = 1;
constexpr unsigned kMove = 2;
constexpr unsigned kLink = 4;
}  // namespace drop_effect

struct DropKeys {
    bool control = false;
    bool shift = false;
};

// What a drag offers. A format is present when its optional holds a value (files: when the list is not
// empty).
struct DroppedData {
    std::optional<std::string> text;
    std::optional<std::string> html;  // UTF-8, header lines included
    std::optional<std::string> webAddress;
    std::vector<std::string> files;  // full paths, in the order of the drag
};

// The effect a drop would have: none when nothing accepted is offered or both Ctrl
// and Shift are held (links are refused); Ctrl copies, Shift moves, each only when
// the source allows it; with no key the first allowed of copy, move, link.
unsigned chooseDropEffect(bool acceptedFormatOffered, DropKeys keys, unsigned allowedEffects);

// The one text of the files-dropped event: one path alone, several paths each
// followed by "\r\n", the last one included.
std::string joinDroppedPaths(const std::vector<std::string>& paths);

class DropTarget : public Unit {
public:
    static constexpr int kEventText = 0;
    static constexpr int kEventHtml = 1;
    static constexpr int kEventWebAddress = 2;
    static constexpr int kEventFiles = 3;

    // Own properties 0-3 (numbers 8-11): accept text, HTML, web addresses, files.
    static constexpr int kOwnAcceptText = 0;
    static constexpr int kOwnAcceptHtml = 1;
    static constexpr int kOwnAcceptWebAddress = 2;
    static constexpr int kOwnAcceptFiles = 3;

    // Raises one of this unit's events; the window model installs it when it creates the unit.
    using EventSink = std::function<void(int event, std::vector<Value> arguments)>;
    // Attaches the unit to the platform window behind `handle`. Headless, every
    // handle is accepted; the desktop program installs its Qt side here.
    using PlatformRegistrar = std::function<bool(DropTarget& target, std::int64_t handle)>;

    explicit DropTarget(std::uint32_t id, DropAcceptance accepts = {}, EventSink sink = {});

    const DropAcceptance& accepts() const { return accepts_; }
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }
    static void setPlatformRegistrar(PlatformRegistrar registrar);

    // One unit serves one window for the life of the program: a second call
    // returns false and leaves the first window registered.
    bool registerWindow(std::int64_t handle);
    std::optional<std::int64_t> registeredWindow() const { return registered_; }

    bool offersAcceptedFormat(const DroppedData& data) const;
    unsigned dragEnter(const DroppedData& data, DropKeys keys, unsigned allowedEffects);
    unsigned dragOver(DropKeys keys, unsigned allowedEffects) const;
    void dragLeave() { acceptedOffered_ = false; }
    // Delivers each accepted format present, each as its own event, in the order
    // text (only when no HTML is offered), HTML, web address, files. Returns the
    // effect; nothing is delivered when it is none.
    unsigned drop(const DroppedData& data, DropKeys keys, unsigned allowedEffects);
    // A drop of files with no key held and copy allowed.
    unsigned deliverDroppedFiles(const std::vector<std::string>& paths);

    // The dropped names the files-dropped text cannot carry (they hold "\r\n", its
    // separator), in the order of the drag. They are left out of the event and kept
    // here for the window layer to name to the user: set before the event is raised
    // and kept until the next drop. When every name was refused no event is raised,
    // so whoever called drop() looks here afterwards.
    const std::vector<std::string>& refusedPaths() const { return refusedPaths_; }

    Value readOwnProperty(int ownNumber) const override;
    void writeOwnProperty(int ownNumber, const Value& value) override;

private:
    void raise(int event, std::string text);

    DropAcceptance accepts_;
    EventSink sink_;
    std::optional<std::int64_t> registered_;
    bool acceptedOffered_ = false;
    std::vector<std::string> refusedPaths_;
};

}  // namespace vex
