#pragma once
// Work that must not hold up the window (reading a list of a million entries)
// runs on a thread of its own; what it returns then runs on the GUI thread,
// where the window's units may be touched.

#include <QObject>
#include <QThreadPool>
#include <functional>

namespace vex {

class BackgroundWork : public QObject {
    Q_OBJECT
public:
    using Continuation = std::function<void()>;

    explicit BackgroundWork(QObject* parent = nullptr);
    // Waits for the work that runs; what it would have handed back is dropped.
    ~BackgroundWork() override;

    // `work` runs on another thread and must not touch the window; the
    // continuation it returns runs on the GUI thread, in the event loop.
    void run(std::function<Continuation()> work);

private:
    QThreadPool pool_;
};

}  // namespace vex
