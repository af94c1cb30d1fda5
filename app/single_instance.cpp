#include "app/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vex {
namespace {

constexpr QByteArrayView kRaiseRequest = "raise\n";
constexpr QByteArrayView kRaisedAnswer = "raised\n";
constexpr int kConnectTimeoutMs = 2000;
constexpr int kAnswerTimeoutMs = 3000;
// Requests are one short line; a peer that sends more, or nothing, is dropped.
constexpr qint64 kLongestRequest = 64;
constexpr int kIdleConnectionMs = 5000;

QString tr(const char* text) { return QCoreApplication::translate("SingleInstance", text); }

std::string canonicalBytes(const std::string& directory) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(directory, error);
    if (!error) return canonical.string();
    const std::filesystem::path absolute = std::filesystem::absolute(directory, error);
    return (error ? std::filesystem::path(directory) : absolute).lexically_normal().string();
}

bool isPrivateFolder(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

// The user's runtime folder, or a private folder of ours in /tmp when the session has none.
// A folder others may write to would let them take the socket's name first.
QString privateRuntimeFolder(QString& errorText) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        if (isPrivateFolder(runtime)) return QFile::decodeName(runtime);
    }
    const QByteArray fallback =
        QFile::encodeName(QDir::tempPath()) + "/vexorin-" + QByteArray::number(::getuid());
    ::mkdir(fallback.constData(), 0700);
    if (isPrivateFolder(fallback)) return QFile::decodeName(fallback);
    errorText = tr("The folder '%1' is not a private folder of this user.").arg(QFile::decodeName(fallback));
    return {};
}

}  // namespace

QString instanceSocketPath(const std::string& dataDirectory) {
    QString unused;
    const QString folder = privateRuntimeFolder(unused);
    if (folder.isEmpty()) return {};
    QByteArray key = QByteArray::fromStdString(canonicalBytes(dataDirectory));
    key += '\0';
    key += QByteArray::number(::getuid());
    // Socket paths are short (108 bytes): a hash, not the folder's name.
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
    return folder + QStringLiteral("/vexorin-") + QString::fromLatin1(hash);
}

SingleInstance::SingleInstance(const std::string& dataDirectory, QObject* parent)
    : QObject(parent), socketPath_(instanceSocketPath(dataDirectory)) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = server_.nextPendingConnection()) answer(connection);
    });
}

SingleInstance::Role SingleInstance::claim() {
    if (socketPath_.isEmpty()) {
        privateRuntimeFolder(errorText_);
        return Role::Unguarded;
    }
    // Two programs started at once must not both take a socket they found stale: deciding
    // who runs is done under a lock (which Qt frees when its holder has died).
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.tryLock(10000)) {
        errorText_ = tr("Cannot lock '%1'.").arg(lock.fileName());
        return Role::Unguarded;
    }

    QLocalSocket running;
    running.connectToServer(socketPath_);
    if (running.waitForConnected(kConnectTimeoutMs)) {
        lock.unlock();
        running.write(kRaiseRequest.data(), kRaiseRequest.size());
        running.waitForBytesWritten(kConnectTimeoutMs);
        // The running program answers from its event loop, which a long drop may hold up.
        QElapsedTimer waited;
        waited.start();
        while (!running.canReadLine() && waited.elapsed() < kAnswerTimeoutMs &&
               running.state() == QLocalSocket::ConnectedState) {
            running.waitForReadyRead(static_cast<int>(kAnswerTimeoutMs - waited.elapsed()));
        }
        const bool answered = running.canReadLine() && running.readLine(kLongestRequest) == kRaisedAnswer;
        return answered ? Role::HandedOver : Role::HandedOverUnanswered;
    }

    // Nobody answers, so a socket file still there was left by a program that crashed.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_)) {
        errorText_ = tr("Cannot listen on '%1'. Reason: %2").arg(socketPath_, server_.errorString());
        return Role::Unguarded;
    }
    return Role::First;
}

void SingleInstance::answer(QLocalSocket* connection) {
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    QTimer::singleShot(kIdleConnectionMs, connection, [connection] { connection->abort(); });
    connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
        if (!connection->canReadLine()) {
            if (connection->bytesAvailable() > kLongestRequest) connection->abort();
            return;
        }
        if (connection->readLine(kLongestRequest + 1) == kRaiseRequest) {
            emit raiseRequested();
            connection->write(kRaisedAnswer.data(), kRaisedAnswer.size());
        }
        connection->disconnectFromServer();
    });
}

}  // namespace vex
