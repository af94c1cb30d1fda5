#pragma once
// The Qt side of a drop target unit: makes one widget (a report list's
// viewport) answer drags by the unit's own rules and hands a drop to the unit,
// which raises its events. Local files are offered as the file list; the unit
// decides what it accepts and which effect a drop has (Ctrl+Shift: none).

#include <QObject>

#include "runtime/drop_target.h"

class QDropEvent;
class QMimeData;
class QWidget;

namespace vex {

class FileDropFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on `target` (which then accepts drops) and lives as its child.
    FileDropFilter(QWidget* target, DropTarget& unit);

    // What a Qt drag offers, in the unit's terms.
    static DroppedData droppedData(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void answer(QDropEvent* event, unsigned effect);

    DropTarget& unit_;
};

}  // namespace vex
