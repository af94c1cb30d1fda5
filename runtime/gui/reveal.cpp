#include "runtime/gui/reveal.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace vex {
namespace {

bool showItemsOverDBus(const QUrl& url) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"), bus);
    if (!fileManager.isValid()) return false;
    // A short timeout: a file manager that hangs must not freeze the window.
    fileManager.setTimeout(2000);
    const QDBusMessage reply =
        fileManager.call(QStringLiteral("ShowItems"), QStringList{url.toString()}, QString());
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

bool revealInFileManager(const std::string& path) {
    const QString file = QString::fromStdString(path);
    const QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    if (showItemsOverDBus(url)) return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

}  // namespace vex
