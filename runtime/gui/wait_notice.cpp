#include "runtime/gui/wait_notice.h"

#include <QLabel>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace vex {
namespace {

const QString kNoticeName = QStringLiteral("waitNotice");
constexpr int kHeight = 34;

QLabel* noticeOf(QWidget* window) {
    return window->findChild<QLabel*>(kNoticeName, Qt::FindDirectChildrenOnly);
}

void showOnWindowThread(QWidget* window, const QString& text) {
    QLabel* notice = noticeOf(window);
    if (notice == nullptr) {
        notice = new QLabel(window);
        notice->setObjectName(kNoticeName);
        notice->setAutoFillBackground(true);
        notice->setBackgroundRole(QPalette::ToolTipBase);
        notice->setForegroundRole(QPalette::ToolTipText);
        notice->setFrameShape(QFrame::StyledPanel);
        notice->setMargin(4);
        notice->setWordWrap(true);
        notice->setFocusPolicy(Qt::NoFocus);
        notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    notice->setText(text);
    notice->setGeometry(0, window->height() - kHeight, window->width(), kHeight);
    notice->raise();
    notice->show();
    // The event loop is blocked by the wait: paint now, or the user would see nothing.
    notice->repaint();
    QPointer<QLabel> guarded(notice);
    QTimer::singleShot(0, notice, [guarded] {
        if (guarded) guarded->hide();
    });
}

}  // namespace

void showWaitNotice(QWidget* window, const QString& text) {
    // A wait on another thread does not hold the window, which then needs no word.
    if (window == nullptr || QThread::currentThread() != window->thread()) return;
    showOnWindowThread(window, text);
}

QLabel* shownWaitNotice(QWidget* window) {
    if (window == nullptr) return nullptr;
    QLabel* notice = noticeOf(window);
    return notice != nullptr && notice->isVisible() ? notice : nullptr;
}

}  // namespace vex
