#include "runtime/gui/file_drop_filter.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace vex {
namespace {

// Ctrl+Shift asks for a link, which a drop target that copies files refuses.
// Otherwise copy is preferred, then move, then link, as the source allows.
Qt::DropAction chooseDropAction(Qt::KeyboardModifiers keys, Qt::DropActions allowed) {
    const bool ctrl = keys.testFlag(Qt::ControlModifier);
    const bool shift = keys.testFlag(Qt::ShiftModifier);
    if (ctrl && shift) return Qt::IgnoreAction;
    if (ctrl) return allowed.testFlag(Qt::CopyAction) ? Qt::CopyAction : Qt::IgnoreAction;
    if (shift) return allowed.testFlag(Qt::MoveAction) ? Qt::MoveAction : Qt::IgnoreAction;
    for (Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction}) {
        if (allowed.testFlag(action)) return action;
    }
    return Qt::IgnoreAction;
}

// Answers a drag enter, move or drop; returns whether it may be dropped.
bool answerDrag(QDropEvent* event) {
    const Qt::DropAction action = FileDropFilter::localPaths(event->mimeData()).empty()
                                      ? Qt::IgnoreAction
                                      : chooseDropAction(event->modifiers(), event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

}  // namespace

FileDropFilter::FileDropFilter(QWidget* target, DeliverFiles deliver)
    : QObject(target), deliver_(std::move(deliver)) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

std::vector<std::string> FileDropFilter::localPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        answerDrag(static_cast<QDropEvent*>(event));
        return true;
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (answerDrag(drop)) deliver_(localPaths(drop->mimeData()));
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

}  // namespace vex
