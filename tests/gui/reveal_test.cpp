// Revealing a file talks to the desktop's file manager over the session bus, and
// opens the file's folder when no file manager answers. A private bus, a stand-in
// file manager and a catcher for QDesktopServices let both ways be watched.

#include "runtime/gui/reveal.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDesktopServices>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

#include "tests/support/temp_dir.h"

namespace vex {

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        shown.append(uris);
    }
};

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened.append(url); }
};

namespace {

// A session bus of the test's own, so no real file manager sees the calls.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) return;
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateSessionBus() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    const QString& address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

TEST(RevealInFileManager, asksTheFileManagerAndOpensTheFolderWhenNoneAnswers) {
    PrivateSessionBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "dbus-daemon is not available";
    // The session bus is found through this variable when it is first used.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());

    test::TempDir dir;
    const std::string file = dir.write("found.chk", "0123456789");
    const QUrl fileUrl = QUrl::fromLocalFile(QString::fromStdString(file));
    const QUrl folderUrl = QUrl::fromLocalFile(QString::fromStdString(dir.path()));
    OpenedUrls urls;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &urls, "open");

    // No file manager on the bus: the folder opens instead.
    EXPECT_TRUE(revealInFileManager(file));
    ASSERT_EQ(urls.opened.size(), 1);
    EXPECT_EQ(urls.opened.front(), folderUrl);

    FakeFileManager fileManager;
    QDBusConnection session = QDBusConnection::sessionBus();
    ASSERT_TRUE(session.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(session.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    EXPECT_TRUE(revealInFileManager(file));
    ASSERT_EQ(fileManager.shown.size(), 1);
    EXPECT_EQ(fileManager.shown.front(), QStringList{fileUrl.toString()});
    EXPECT_EQ(urls.opened.size(), 1) << "the folder must not open as well";

    session.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    session.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

}  // namespace
}  // namespace vex

#include "reveal_test.moc"
