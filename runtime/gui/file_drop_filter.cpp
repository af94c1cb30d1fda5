#include "runtime/gui/file_drop_filter.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace vex {
namespace {

DropKeys keysOf(const QDropEvent* event) {
    return {event->modifiers().testFlag(Qt::ControlModifier), event->modifiers().testFlag(Qt::ShiftModifier)};
}

unsigned allowedEffectsOf(const QDropEvent* event) {
    unsigned effects = drop_effect::kNone;
    if (event->possibleActions().testFlag(Qt::CopyAction)) effects |= drop_effect::kCopy;
    if (event->possibleActions().testFlag(Qt::MoveAction)) effects |= drop_effect::kMove;
    if (event->possibleActions().testFlag(Qt::LinkAction)) effects |= drop_effect::kLink;
    return effects;
}

Qt::DropAction actionOf(unsigned effect) {
    switch (effect) {
        case drop_effect::kCopy:
            return Qt::CopyAction;
        case drop_effect::kMove:
            return Qt::MoveAction;
        case drop_effect::kLink:
            return Qt::LinkAction;
        default:
            return Qt::IgnoreAction;
    }
}

// A long drop shows its progress and lets the window repaint meanwhile, which
// also lets a second drag arrive. Its handler would record its files while the
// first one still holds the list file in memory, and the first one's write
// would then drop them; so no drag is taken while a drop is delivered.
bool deliveringDrop = false;

// The path's own bytes. A file manager percent-encodes a name that is not valid
// UTF-8 byte for byte; decoding it as text would turn it into a name no file has.
std::string localPathBytes(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace

FileDropFilter::FileDropFilter(QWidget* target, DropTarget& unit) : QObject(target), unit_(unit) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

DroppedData FileDropFilter::droppedData(const QMimeData* data) {
    DroppedData dropped;
    if (data == nullptr) return dropped;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            dropped.files.push_back(localPathBytes(url));
        } else if (!dropped.webAddress) {
            dropped.webAddress = url.toString().toStdString();
        }
    }
    if (data->hasHtml()) dropped.html = data->html().toStdString();
    if (data->hasText() && !data->hasUrls()) dropped.text = data->text().toStdString();
    return dropped;
}

void FileDropFilter::answer(QDropEvent* event, unsigned effect) {
    if (effect == drop_effect::kNone) {
        event->ignore();
        return;
    }
    event->setDropAction(actionOf(effect));
    event->accept();
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (deliveringDrop) {
                answer(drag, drop_effect::kNone);
                return true;
            }
            answer(drag,
                   unit_.dragEnter(droppedData(drag->mimeData()), keysOf(drag), allowedEffectsOf(drag)));
            return true;
        }
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            answer(drag, deliveringDrop ? drop_effect::kNone
                                        : unit_.dragOver(keysOf(drag), allowedEffectsOf(drag)));
            return true;
        }
        case QEvent::DragLeave:
            unit_.dragLeave();
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (deliveringDrop) {
                answer(drop, drop_effect::kNone);
                return true;
            }
            deliveringDrop = true;
            struct Done {
                ~Done() { deliveringDrop = false; }
            } done;
            answer(drop, unit_.drop(droppedData(drop->mimeData()), keysOf(drop), allowedEffectsOf(drop)));
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace vex
