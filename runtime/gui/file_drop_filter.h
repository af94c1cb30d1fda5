#pragma once
// The Qt side of a drop target: makes one widget (a report list's viewport)
// accept local files dragged from a file manager and hands their paths on.
// Everything else - texts, web addresses, remote URLs - is refused, and so is
// a drag with Ctrl and Shift held (a link request).

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

namespace vex {

class FileDropFilter : public QObject {
    Q_OBJECT
public:
    using DeliverFiles = std::function<void(const std::vector<std::string>& paths)>;

    // Installs itself on `target` (which then accepts drops) and lives as its child.
    FileDropFilter(QWidget* target, DeliverFiles deliver);

    // The local file paths a drag offers, in the order of its URL list.
    static std::vector<std::string> localPaths(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DeliverFiles deliver_;
};

}  // namespace vex
