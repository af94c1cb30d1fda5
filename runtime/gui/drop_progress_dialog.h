#pragma once
// Progress of a long drop (thousands of files), shown in a dialog while the
// drop runs on the user-interface thread. The window keeps painting, but no
// user input is processed until the drop is done, so no other handler can run
// in the middle of it.

#include <QObject>
#include <QPointer>
#include <chrono>
#include <cstddef>

class QProgressDialog;

namespace vex {

class DropProgressDialog : public QObject {
    Q_OBJECT
public:
    // Drops of fewer files than this finish too quickly to need a dialog.
    static constexpr std::size_t kShownFrom = 300;

    explicit DropProgressDialog(QObject* parent = nullptr);
    ~DropProgressDialog() override;

    // Called after each file: `done` of `total`.
    void report(std::size_t done, std::size_t total);

    bool visible() const;

private:
    void finish();

    QPointer<QProgressDialog> dialog_;
    std::chrono::steady_clock::time_point lastPaint_;
};

}  // namespace vex
