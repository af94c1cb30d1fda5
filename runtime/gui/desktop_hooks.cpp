#include "runtime/gui/desktop_hooks.h"

#include <QApplication>
#include <QMessageBox>

#include "runtime/messages.h"
#include "runtime/runtime_error.h"

namespace vex {
namespace {

QMessageBox::Icon iconFor(MessageKind kind) {
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Owned by the active window so the box stays above an always-on-top main window.
void showMessageBox(QMessageBox::Icon icon, const std::string& text, const std::string& caption) {
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

void installDesktopHooks() {
    setMessagePresenter([](MessageKind kind, const std::string& text, const std::string& caption) {
        showMessageBox(iconFor(kind), text, caption);
    });
    setRuntimeErrorPresenter([](const std::string& text, const std::string& caption) {
        showMessageBox(QMessageBox::Critical, text, caption);
    });
}

}  // namespace vex
