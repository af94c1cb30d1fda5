// The desktop program started as a user starts it: its command line, and one
// window per data directory (a second start on the same folder raises the first
// window and ends; another folder gets its own window; a crashed first program
// leaves a socket behind that the next start takes over).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "vexorin/version.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

struct Finished {
    bool ended = false;
    int exitCode = -1;
    QString out;
    QString err;
};

QString program() {
    return QString::fromLocal8Bit(std::getenv("VEXORIN_TEST_BIN_DIR")) + QStringLiteral("/vexorin");
}

bool eventually(int milliseconds, const std::function<bool()>& condition) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (condition()) return true;
        QThread::msleep(50);
    }
    return condition();
}

class DesktopCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("VEXORIN_TEST_BIN_DIR")) GTEST_SKIP() << "VEXORIN_TEST_BIN_DIR is not set";
        ASSERT_EQ(::mkdir(runtimeDir().c_str(), 0700), 0);
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.remove(QStringLiteral("DISPLAY"));
        environment_.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtimeDir()));
    }
    void TearDown() override {
        for (auto& process : running_) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    std::string runtimeDir() const { return temp_.file("run"); }

    QProcess& start(const QStringList& arguments) {
        running_.push_back(std::make_unique<QProcess>());
        QProcess& process = *running_.back();
        process.setProcessEnvironment(environment_);
        process.setWorkingDirectory(QString::fromStdString(temp_.path()));
        process.start(program(), arguments);
        EXPECT_TRUE(process.waitForStarted(10000));
        return process;
    }

    Finished run(const QStringList& arguments, int milliseconds = 10000) {
        QProcess& process = start(arguments);
        Finished result;
        result.ended = process.waitForFinished(milliseconds);
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // The first program on a folder listens before its window opens.
    bool listening() const {
        return eventually(10000, [this] {
            return !QDir(QString::fromStdString(runtimeDir()))
                        .entryList({QStringLiteral("vexorin-*")}, QDir::System)
                        .isEmpty();
        });
    }

    static bool stillRunning(QProcess& process, int milliseconds = 1500) {
        return !process.waitForFinished(milliseconds) && process.state() == QProcess::Running;
    }

    QString folder(const char* name) const { return QString::fromStdString(temp_.file(name)); }

    test::TempDir temp_;
    QProcessEnvironment environment_;
    std::vector<std::unique_ptr<QProcess>> running_;
};

struct NoWindowCase {
    const char* label;
    QStringList arguments;
    // Help, the version and plain mistakes are answered before Qt is asked for a display.
    bool withoutDisplay;
    int exitCode;
    const char* expectedOut;
    const char* expectedErr;
};

class DesktopCommandLineNoWindow : public DesktopCommandLine,
                                   public ::testing::WithParamInterface<NoWindowCase> {};

TEST_P(DesktopCommandLineNoWindow, answersAndEndsWithoutOpeningAWindow) {
    const NoWindowCase& c = GetParam();
    // The xcb platform without a display aborts the program once Qt starts.
    if (c.withoutDisplay) environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const Finished finished = run(c.arguments);
    ASSERT_TRUE(finished.ended) << c.label;
    EXPECT_EQ(finished.exitCode, c.exitCode) << c.label << ": " << finished.err.toStdString();
    EXPECT_TRUE(finished.out.contains(QString::fromUtf8(c.expectedOut)))
        << c.label << ": " << finished.out.toStdString();
    EXPECT_TRUE(finished.err.contains(QString::fromUtf8(c.expectedErr)))
        << c.label << ": " << finished.err.toStdString();
    EXPECT_TRUE(fs::is_empty(runtimeDir())) << c.label << ": no window, so no instance socket";
}

const std::string kVersionLine = std::string("vexorin ") + VEXORIN_VERSION + "\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, DesktopCommandLineNoWindow,
    ::testing::Values(
        NoWindowCase{"version", {QStringLiteral("--version")}, true, 0, kVersionLine.c_str(), ""},
        NoWindowCase{"short version", {QStringLiteral("-v")}, true, 0, kVersionLine.c_str(), ""},
        NoWindowCase{"version after Qt's options",
                     {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-reverse"),
                      QStringLiteral("--version")},
                     true,
                     0,
                     kVersionLine.c_str(),
                     ""},
        NoWindowCase{"help names the option and the home page",
                     {QStringLiteral("--data-dir"), QStringLiteral("x"), QStringLiteral("--help")},
                     true,
                     0,
                     "--data-dir <DIR>",
                     ""},
        NoWindowCase{
            "help shows where the home page is", {QStringLiteral("-h")}, true, 0, "Home page: file:///", ""},
        NoWindowCase{"folder missing",
                     {QStringLiteral("--data-dir")},
                     true,
                     1,
                     "",
                     "Missing value after '--data-dir'"},
        NoWindowCase{"empty folder",
                     {QStringLiteral("--data-dir"), QString()},
                     true,
                     1,
                     "",
                     "--data-dir needs a folder name"},
        NoWindowCase{"unknown option", {QStringLiteral("--frobnicate")}, false, 1, "", "frobnicate"},
        NoWindowCase{"file argument",
                     {QStringLiteral("report.pdf")},
                     false,
                     1,
                     "",
                     "Unexpected argument 'report.pdf'"}));

TEST_F(DesktopCommandLine, aRelativeDataDirIsCreatedAndFilledBeforeTheWindowLoads) {
    QProcess& first = start({QStringLiteral("--data-dir"), QStringLiteral("new/nested")});
    EXPECT_TRUE(eventually(10000, [&] { return fs::is_regular_file(temp_.file("new/nested/data.mdb")); }));
    EXPECT_TRUE(stillRunning(first, 100));
}

TEST_F(DesktopCommandLine, aSecondStartOnTheSameFolderRaisesTheFirstWindow) {
    QProcess& first = start({QStringLiteral("--data-dir"), folder("stores")});
    ASSERT_TRUE(listening());
    fs::create_directory_symlink(temp_.file("stores"), temp_.file("link"));

    // The same folder by its own name, by a symbolic link and by a relative path.
    for (const QString& name : {folder("stores"), folder("link"), QStringLiteral("./stores/")}) {
        const Finished second = run({QStringLiteral("--data-dir"), name}, 8000);
        ASSERT_TRUE(second.ended) << name.toStdString() << " opened a second window";
        EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
        EXPECT_TRUE(second.out.contains(QStringLiteral("raised its window"))) << second.out.toStdString();
    }
    EXPECT_TRUE(stillRunning(first, 100));

    QProcess& elsewhere = start({QStringLiteral("--data-dir"), folder("other")});
    EXPECT_TRUE(stillRunning(elsewhere))
        << "another folder gets its own window: " << elsewhere.readAllStandardOutput().toStdString();
    EXPECT_TRUE(stillRunning(first, 100));
}

TEST_F(DesktopCommandLine, aStartAfterACrashTakesOverTheSocketLeftBehind) {
    QProcess& crashed = start({QStringLiteral("--data-dir"), folder("stores")});
    ASSERT_TRUE(listening());
    ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
    crashed.waitForFinished(5000);
    ASSERT_FALSE(fs::is_empty(runtimeDir())) << "a killed program leaves its socket";

    QProcess& next = start({QStringLiteral("--data-dir"), folder("stores")});
    EXPECT_TRUE(stillRunning(next)) << next.readAllStandardOutput().toStdString()
                                    << next.readAllStandardError().toStdString();
    const Finished third = run({QStringLiteral("--data-dir"), folder("stores")}, 8000);
    EXPECT_TRUE(third.ended);
    EXPECT_TRUE(third.out.contains(QStringLiteral("raised its window"))) << third.out.toStdString();
    EXPECT_TRUE(stillRunning(next, 100));
}

TEST_F(DesktopCommandLine, aBusyFirstProgramStillKeepsTheSecondFromOpeningAWindow) {
    QProcess& first = start({QStringLiteral("--data-dir"), folder("stores")});
    ASSERT_TRUE(listening());
    ASSERT_TRUE(eventually(10000, [&] { return fs::is_regular_file(temp_.file("stores/data.mdb")); }));
    const auto pid = static_cast<pid_t>(first.processId());
    ::kill(pid, SIGSTOP);  // as if a long drop held its event loop
    const Finished second = run({QStringLiteral("--data-dir"), folder("stores")}, 10000);
    ::kill(pid, SIGCONT);  // it then answers a request whose sender has gone
    ASSERT_TRUE(second.ended);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.out.contains(QStringLiteral("is busy"))) << second.out.toStdString();
    EXPECT_TRUE(stillRunning(first, 1000));
}

}  // namespace
}  // namespace vex
