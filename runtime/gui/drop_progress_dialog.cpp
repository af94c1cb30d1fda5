#include "runtime/gui/drop_progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>

#include "runtime/gui/desktop_hooks.h"

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

void DropProgressDialog::report(std::size_t done, std::size_t total) {
    if (total < kShownFrom) return;
    if (done >= total) {
        finish();
        return;
    }
    if (!dialog_) {
        dialog_ = new QProgressDialog(QStringLiteral("正在处理拖放的 %1 个文件……").arg(total), QString(), 0,
                                      scaled(total, total), dialogParent());
        dialog_->setWindowTitle(QStringLiteral("Vexorin"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
        lastPaint_ = {};
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPaint_ < kRepaintInterval) return;
    lastPaint_ = now;
    dialog_->setValue(scaled(done, total));
    // Paint, but take no clicks or keys: handlers must not run inside the drop.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void DropProgressDialog::finish() {
    if (dialog_) {
        dialog_->close();
        delete dialog_.data();
    }
}

}  // namespace vex
