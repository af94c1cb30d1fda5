#include "runtime/drop_target.h"

namespace vex {
namespace {

DropTarget::PlatformRegistrar& platformRegistrar() {
    static DropTarget::PlatformRegistrar instance;
    return instance;
}

// Dragged HTML shows no-break spaces as plain blanks in the delivered text.
std::string replaceNoBreakSpaces(std::string html) {
    static constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
    std::string out;
    out.reserve(html.size());
    for (std::size_t i = 0; i < html.size();) {
        if (html.compare(i, kNoBreakSpace.size(), kNoBreakSpace) == 0) {
            out += ' ';
            i += kNoBreakSpace.size();
        } else {
            out += html[i++];
        }
    }
    return out;
}

// The paths of the files-dropped text are separated by "\r\n", so a name holding
// that pair would arrive as two other paths, one of which may name an unrelated
// file. Such names are left out of the text and kept in `refused`.
std::vector<std::string> pathsTheDropTextCanCarry(const std::vector<std::string>& paths,
                                                  std::vector<std::string>& refused) {
    std::vector<std::string> carried;
    for (const std::string& path : paths) {
        if (path.find("\r\n") == std::string::npos) {
            carried.push_back(path);
        } else {
            refused.push_back(path);
        }
    }
    return carried;
}

}  // namespace

unsigned chooseDropEffect(bool acceptedFormatOffered, DropKeys keys, unsigned allowedEffects) {
    using namespace drop_effect;
    if (!acceptedFormatOffered) return kNone;
    if (keys.control && keys.shift) return kNone;
    if (keys.control) return (allowedEffects & kCopy) ? kCopy : kNone;
    if (keys.shift) return (allowedEffects & kMove) ? kMove : kNone;
    for (unsigned effect : {kCopy, kMove, kLink})
        if (allowedEffects & effect) return effect;
    return kNone;
}

std::string joinDroppedPaths(const std::vector<std::string>& paths) {
    if (paths.size() == 1) return paths.front();
    std::string joined;
    for (const std::string& path : paths) {
        joined += path;
        joined += "\r\n";
    }
    return joined;
}

DropTarget::DropTarget(std::uint32_t id, DropAcceptance accepts, EventSink sink)
    : Unit(UnitKind::DropTarget, id), accepts_(accepts), sink_(std::move(sink)) {}

void DropTarget::setPlatformRegistrar(PlatformRegistrar registrar) {
    platformRegistrar() = std::move(registrar);
}

bool DropTarget::registerWindow(std::int64_t handle) {
    if (registered_) return false;
    registered_ = handle;
    return platformRegistrar() ? platformRegistrar()(*this, handle) : true;
}

bool DropTarget::offersAcceptedFormat(const DroppedData& data) const {
    return (accepts_.text && data.text) || (accepts_.files && !data.files.empty()) ||
           (accepts_.webAddress && data.webAddress) || (accepts_.html && data.html);
}

unsigned DropTarget::dragEnter(const DroppedData& data, DropKeys keys, unsigned allowedEffects) {
    acceptedOffered_ = offersAcceptedFormat(data);
    return chooseDropEffect(acceptedOffered_, keys, allowedEffects);
}

unsigned DropTarget::dragOver(DropKeys keys, unsigned allowedEffects) const {
    return chooseDropEffect(acceptedOffered_, keys, allowedEffects);
}

unsigned DropTarget::drop(const DroppedData& data, DropKeys keys, unsigned allowedEffects) {
    acceptedOffered_ = false;
    refusedPaths_.clear();
    const unsigned effect = chooseDropEffect(offersAcceptedFormat(data), keys, allowedEffects);
    if (effect == drop_effect::kNone) return effect;
    if (accepts_.text && data.text && !data.html) raise(kEventText, *data.text);
    if (accepts_.html && data.html) raise(kEventHtml, replaceNoBreakSpaces(*data.html));
    if (accepts_.webAddress && data.webAddress) raise(kEventWebAddress, *data.webAddress);
    if (accepts_.files && !data.files.empty()) {
        const std::vector<std::string> paths = pathsTheDropTextCanCarry(data.files, refusedPaths_);
        if (!paths.empty()) raise(kEventFiles, joinDroppedPaths(paths));
    }
    return effect;
}

unsigned DropTarget::deliverDroppedFiles(const std::vector<std::string>& paths) {
    DroppedData data;
    data.files = paths;
    return drop(data, DropKeys{}, drop_effect::kCopy);
}

void DropTarget::raise(int event, std::string text) {
    if (sink_) sink_(event, {Value(std::move(text))});
}

Value DropTarget::readOwnProperty(int ownNumber) const {
    switch (ownNumber) {
        case kOwnAcceptText:
            return Value(accepts_.text);
        case kOwnAcceptHtml:
            return Value(accepts_.html);
        case kOwnAcceptWebAddress:
            return Value(accepts_.webAddress);
        case kOwnAcceptFiles:
            return Value(accepts_.files);
        default:
            return {};
    }
}

void DropTarget::writeOwnProperty(int ownNumber, const Value& value) {
    std::optional<bool> on;
    if (const auto* b = value.get_if<bool>()) on = *b;
    if (const auto* i = value.get_if<std::int32_t>()) on = *i != 0;
    if (!on) return;
    switch (ownNumber) {
        case kOwnAcceptText:
            accepts_.text = *on;
            break;
        case kOwnAcceptHtml:
            accepts_.html = *on;
            break;
        case kOwnAcceptWebAddress:
            accepts_.webAddress = *on;
            break;
        case kOwnAcceptFiles:
            accepts_.files = *on;
            break;
        default:
            break;
    }
}

}  // namespace vex
