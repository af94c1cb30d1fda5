#include "runtime/gui/drop_progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>

#include "runtime/gui/desktop_hooks.h"
#include "runtime/translation.h"

namespace vex {
namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(40);

// QProgressDialog counts in int; very large drops are scaled down.
int scaled(std::size_t value, std::size_t total) {
    constexpr std::size_t kMaximum = 1'000'000;
    if (total <= kMaximum) return static_cast<int>(value);
    return static_cast<int>(value * kMaximum / total);
}

}  // namespace

DropProgressDialog::DropProgressDialog(QObject* parent) : QObject(parent) {}

DropProgressDialog::~DropProgressDialog() { finish(); }

bool DropProgressDialog::visible() const { return dialog_ && dialog_->isVisible(); }

bool DropProgressDialog::report(std::size_t done, std::size_t total) {
    if (total < kShownFrom) return true;
    if (done >= total) {
        finish();
        return true;
    }
    if (!dialog_) {
        // Without a button text of our own the dialog has Qt's Cancel button, in the user's language.
        dialog_ = new QProgressDialog(dialogParent());
        dialog_->setLabelText(QString::fromStdString(
            translatedWith(text_context::kWindow, "正在处理拖放的 %1 个文件……", {std::to_string(total)})));
        dialog_->setRange(0, scaled(total, total));
        dialog_->setWindowTitle(QStringLiteral("Vexorin"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
        lastPaint_ = {};
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPaint_ < kRepaintInterval) return true;
    lastPaint_ = now;
    dialog_->setValue(scaled(done, total));
    // The modal dialog keeps clicks and keys from every other window, so only its Cancel is taken.
    QApplication::processEvents();
    if (!dialog_ || !dialog_->wasCanceled()) return true;
    finish();
    return false;
}

void DropProgressDialog::finish() {
    if (dialog_) {
        dialog_->close();
        delete dialog_.data();
    }
}

}  // namespace vex
