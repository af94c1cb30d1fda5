#include "app/lock_wait_notice.h"

#include <QPointer>
#include <QString>

#include "library/store_lock.h"
#include "runtime/gui/wait_notice.h"
#include "runtime/gui/window_views.h"
#include "ui/units.h"

namespace vex {

void installLockWaitNotice(DesktopWindows& windows, std::function<void()> shown) {
    QPointer<DesktopWindows> guarded(&windows);
    setLockWaitNotice([guarded, shown](const std::string& message) {
        if (!guarded) return;
        showWaitNotice(guarded->windowWidget(main_window::kWindowId), QString::fromStdString(message));
        if (shown) shown();
    });
}

void removeLockWaitNotice() { setLockWaitNotice({}); }

}  // namespace vex
