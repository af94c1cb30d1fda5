#include "runtime/gui/background_work.h"

#include <malloc.h>

#include <QMetaObject>

namespace vex {

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {
    // Loads share the disk; more threads would only make each slower.
    pool_.setMaxThreadCount(2);
}

BackgroundWork::~BackgroundWork() { pool_.waitForDone(); }

void BackgroundWork::run(std::function<Continuation()> work) {
    pool_.start([this, work = std::move(work)] {
        Continuation continuation = work();
        // A load frees far more than it keeps (a list file read whole, then its
        // entries); give the freed pages back rather than keep them resident.
        malloc_trim(0);
        // Queued to this object: once it is gone, the continuation is dropped, never run.
        QMetaObject::invokeMethod(
            this, [continuation = std::move(continuation)] { continuation(); }, Qt::QueuedConnection);
    });
}

}  // namespace vex
