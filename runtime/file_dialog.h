#pragma once
// File dialog unit (通用对话框): the open-file / save-file dialog and its settings.
// Showing the dialog goes through a replaceable hook: the desktop program installs
// a real dialog, tests preset an answer, and headless the dialog is cancelled.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "runtime/unit.h"

namespace vex {

struct FileDialogSettings {
    int kind = 0;  // 0 open, 1 save
    std::string title;
    std::string fileName;  // initial name; the chosen full path after a confirmed dialog
    std::string filter;    // "description|pattern|...", ending with "||" when shown
    int filterIndex = 0;   // counts from 0
    std::string defaultExtension;
    std::string initialDirectory;
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool overwritePrompt = false;
    bool createPrompt = false;
    bool keepCurrentDirectory = false;
};

class FileDialog : public Unit {
public:
    static constexpr int kOpen = 0;
    static constexpr int kSave = 1;

    // Own property numbers (number - 8); the file name is number 10.
    static constexpr int kOwnKind = 0;
    static constexpr int kOwnTitle = 1;
    static constexpr int kOwnFileName = 2;
    static constexpr int kOwnFilter = 3;
    static constexpr int kOwnFilterIndex = 4;
    static constexpr int kOwnDefaultExtension = 5;
    static constexpr int kOwnInitialDirectory = 6;
    static constexpr int kOwnFileMustExist = 7;
    static constexpr int kOwnPathMustExist = 8;
    static constexpr int kOwnOverwritePrompt = 9;
    static constexpr int kOwnCreatePrompt = 10;
    static constexpr int kOwnKeepCurrentDirectory = 11;

    // Shows the dialog with the given settings (filter already ending with "||",
    // filter index not negative); the chosen full path, or nothing when cancelled.
    using Presenter = std::function<std::optional<std::string>(const FileDialogSettings& settings)>;
    static void setPresenter(Presenter presenter);  // empty: headless, every dialog is cancelled

    explicit FileDialog(std::uint32_t id, FileDialogSettings settings = {});

    const FileDialogSettings& settings() const { return settings_; }
    FileDialogSettings& settings() { return settings_; }

    // Shows the dialog of the unit's kind. True when the user confirmed a file,
    // which then becomes the file name; on cancel the settings stay unchanged.
    bool show();
    // The settings exactly as the dialog receives them.
    FileDialogSettings effectiveSettings() const;

    Value readOwnProperty(int ownNumber) const override;
    void writeOwnProperty(int ownNumber, const Value& value) override;

private:
    FileDialogSettings settings_;
};

}  // namespace vex
