#pragma once
// One window per data directory. The first program started on a folder listens
// on a local socket named after that folder; a later start on the same folder
// asks it to bring its window to the front and ends, instead of opening a second
// window over the same stores. Another folder gets a program and a window of its own.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>

namespace vex {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        // This program is now the one for the folder and should open its window.
        First,
        // A running program was asked to raise its window; this one should end.
        HandedOver,
        // The running program accepted the request but did not answer in time (it is
        // busy); its window comes to the front when it is free. This one should end.
        HandedOverUnanswered,
        // No socket could be set up (see errorText()): open a window anyway, unguarded.
        Unguarded,
    };

    explicit SingleInstance(const std::string& dataDirectory, QObject* parent = nullptr);

    // Becomes the program for the folder, or hands over to the one that runs.
    Role claim();
    QString errorText() const { return errorText_; }
    // The socket the program for this folder listens on.
    QString socketPath() const { return socketPath_; }

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    void answer(class QLocalSocket* connection);

    QString socketPath_;
    QString errorText_;
    QLocalServer server_;
};

// The socket of the program for `dataDirectory`: in the user's private runtime
// folder, named after a hash of the folder's canonical path and the user id, so
// that two names of one folder (a symbolic link, a relative path) meet.
QString instanceSocketPath(const std::string& dataDirectory);

}  // namespace vex
