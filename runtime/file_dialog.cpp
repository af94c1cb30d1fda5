#include "runtime/file_dialog.h"

#include <algorithm>

namespace vex {
namespace {

FileDialog::Presenter& presenter() {
    static FileDialog::Presenter instance;
    return instance;
}

std::optional<bool> flagOf(const Value& value) {
    if (const auto* b = value.get_if<bool>()) return *b;
    if (const auto* i = value.get_if<std::int32_t>()) return *i != 0;
    return std::nullopt;
}

std::optional<int> integerOf(const Value& value) {
    if (const auto* i = value.get_if<std::int32_t>()) return *i;
    if (const auto* s = value.get_if<std::int16_t>()) return *s;
    if (const auto* b = value.get_if<std::uint8_t>()) return *b;
    return std::nullopt;
}

}  // namespace

void FileDialog::setPresenter(Presenter p) { presenter() = std::move(p); }

FileDialog::FileDialog(std::uint32_t id, FileDialogSettings settings)
    : Unit(UnitKind::FileDialog, id), settings_(std::move(settings)) {}

FileDialogSettings FileDialog::effectiveSettings() const {
    FileDialogSettings shown = settings_;
    if (!shown.filter.ends_with("||")) shown.filter += "||";
    shown.filterIndex = std::max(shown.filterIndex, 0);
    return shown;
}

bool FileDialog::show() {
    if (!presenter()) return false;
    std::optional<std::string> chosen = presenter()(effectiveSettings());
    if (!chosen) return false;
    settings_.fileName = std::move(*chosen);
    return true;
}

Value FileDialog::readOwnProperty(int ownNumber) const {
    const FileDialogSettings& s = settings_;
    switch (ownNumber) {
        case kOwnKind:
            return Value(static_cast<std::int32_t>(s.kind));
        case kOwnTitle:
            return Value(s.title);
        case kOwnFileName:
            return Value(s.fileName);
        case kOwnFilter:
            return Value(s.filter);
        case kOwnFilterIndex:
            return Value(static_cast<std::int32_t>(s.filterIndex));
        case kOwnDefaultExtension:
            return Value(s.defaultExtension);
        case kOwnInitialDirectory:
            return Value(s.initialDirectory);
        case kOwnFileMustExist:
            return Value(s.fileMustExist);
        case kOwnPathMustExist:
            return Value(s.pathMustExist);
        case kOwnOverwritePrompt:
            return Value(s.overwritePrompt);
        case kOwnCreatePrompt:
            return Value(s.createPrompt);
        case kOwnKeepCurrentDirectory:
            return Value(s.keepCurrentDirectory);
        default:
            return {};
    }
}

void FileDialog::writeOwnProperty(int ownNumber, const Value& value) {
    FileDialogSettings& s = settings_;
    auto setText = [&](std::string& field) {
        if (value.omitted())
            field.clear();
        else if (const auto* text = value.get_if<std::string>())
            field = *text;
    };
    auto setFlag = [&](bool& field) {
        if (auto flag = flagOf(value)) field = *flag;
    };
    auto setInteger = [&](int& field) {
        if (auto number = integerOf(value)) field = *number;
    };
    switch (ownNumber) {
        case kOwnKind:
            setInteger(s.kind);
            break;
        case kOwnTitle:
            setText(s.title);
            break;
        case kOwnFileName:
            setText(s.fileName);
            break;
        case kOwnFilter:
            setText(s.filter);
            break;
        case kOwnFilterIndex:
            setInteger(s.filterIndex);
            break;
        case kOwnDefaultExtension:
            setText(s.defaultExtension);
            break;
        case kOwnInitialDirectory:
            setText(s.initialDirectory);
            break;
        case kOwnFileMustExist:
            setFlag(s.fileMustExist);
            break;
        case kOwnPathMustExist:
            setFlag(s.pathMustExist);
            break;
        case kOwnOverwritePrompt:
            setFlag(s.overwritePrompt);
            break;
        case kOwnCreatePrompt:
            setFlag(s.createPrompt);
            break;
        case kOwnKeepCurrentDirectory:
            setFlag(s.keepCurrentDirectory);
            break;
        default:
            break;
    }
}

}  // namespace vex
