#include "app/start_timing.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "runtime/report_list.h"
#include "runtime/window_model.h"
#include "ui/list_views.h"
#include "ui/units.h"

namespace vex {
namespace {

void printMoment(const char* what) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::fprintf(stderr, "vexorin-timing %s %lld\n", what, static_cast<long long>(now.count()));
    std::fflush(stderr);
}

// Each rebuild of the identification list after start (a drop, a delete), once
// the event loop is back, which has then painted it.
class IdentificationRebuilt : public ReportListObserver {
public:
    void endReset() override {
        QTimer::singleShot(0, [] { printMoment("identified"); });
    }
};

// A zero timer fires once the events before it are handled: the window has
// painted and the event loop waits for the user.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                printMoment("painted");
                waitForLists();
            });
        }
        return false;
    }

private:
    void waitForLists() {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll] {
            if (listsLoading() > 0) return;
            poll->stop();
            printMoment("lists-loaded");
            // Kept for the program's life: the list may outlive this hook or not.
            static IdentificationRebuilt rebuilt;
            unitAt<ReportList>(main_window::identificationList).addObserver(&rebuilt);
        });
        poll->start(5);
    }
};

}  // namespace

void reportStartTimingWhenAsked(QWidget* window) {
    if (window == nullptr || std::getenv("VEXORIN_START_TIMING") == nullptr) return;
    new FirstPaint(window);
}

}  // namespace vex
