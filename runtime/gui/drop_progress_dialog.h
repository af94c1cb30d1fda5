#pragma once
// Progress of a long drop (thousands of files), shown in a dialog while the
// drop runs on the user-interface thread. The window keeps painting; the
// dialog is modal, so the only input taken meanwhile is its own Cancel
// button (or Esc), and no other handler can run in the middle of the drop.

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

    // Called after each file: `done` of `total`. False once the user has
    // cancelled; the dialog is then gone and the drop should stop.
    bool report(std::size_t done, std::size_t total);

    bool visible() const;

private:
    void finish();

    QPointer<QProgressDialog> dialog_;
    std::chrono::steady_clock::time_point lastPaint_;
};

}  // namespace vex
