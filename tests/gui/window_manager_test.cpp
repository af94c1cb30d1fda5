// Under a real window manager the frame around a window is only known once the
// window is shown, and no event announces it. The desktop program is started
// here as a user starts it, on a private X server with openbox, and the main
// window is measured from outside, frame included.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <functional>
#include <optional>

#include "tests/support/temp_dir.h"

namespace vex {
namespace {

// Starts a program on construction and kills it on destruction.
class Background {
public:
    Background(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
        process_.setProcessEnvironment(environment);
        process_.start(program, arguments);
        process_.waitForStarted(10000);
    }
    ~Background() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

QString outputOf(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Asks again until `probe` gives an answer or `seconds` pass.
template <class T>
std::optional<T> within(int seconds, const std::function<std::optional<T>()>& probe) {
    QDeadlineTimer deadline(seconds * 1000);
    while (!deadline.hasExpired()) {
        if (std::optional<T> answer = probe()) return answer;
        QThread::msleep(100);
    }
    return std::nullopt;
}

int field(const QString& xwininfo, const QString& name) {
    const QRegularExpressionMatch match = QRegularExpression(name + QStringLiteral(":\\s*(-?\\d+)")).match(xwininfo);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

TEST(UnderAWindowManager, theMainWindowHasItsOuterSizeFrameIncludedAndIsCentred) {
    for (const char* tool : {"Xvfb", "openbox", "xwininfo", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    const char* binDir = std::getenv("VEXORIN_TEST_BIN_DIR");
    if (binDir == nullptr) GTEST_SKIP() << "VEXORIN_TEST_BIN_DIR is not set";

    // The program keeps its stores next to itself, so it runs from a folder of the test's own.
    test::TempDir dir;
    const QString program = QString::fromStdString(dir.file("vexorin"));
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(binDir) + QStringLiteral("/vexorin"), program));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    Background server(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                       QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight)},
                      environment);
    ASSERT_TRUE(server.process().waitForReadyRead(10000)) << "Xvfb did not start";
    const QString display = QStringLiteral(":") + QString::fromUtf8(server.process().readLine()).trimmed();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    Background windowManager(QStringLiteral("openbox"), {}, environment);
    const auto managed = within<bool>(10, [&]() -> std::optional<bool> {
        const QString root = outputOf(QStringLiteral("xprop"),
                                      {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, environment);
        if (root.contains(QStringLiteral("window id"))) return true;
        return std::nullopt;
    });
    ASSERT_TRUE(managed) << "openbox did not take over the display";

    Background desktopProgram(program, {}, environment);
    const auto window = within<QString>(30, [&]() -> std::optional<QString> {
        const QString ids = outputOf(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--name"),
                                      QStringLiteral("^Vexorin\\[Vexorin\\]V1\\.0$")},
                                     environment);
        if (ids.trimmed().isEmpty()) return std::nullopt;
        return ids.split(QLatin1Char('\n')).first().trimmed();
    });
    ASSERT_TRUE(window) << "the main window did not appear";

    // The frame is openbox's window around ours; it settles once the program has refitted.
    Rect last;
    const auto frame = within<Rect>(10, [&]() -> std::optional<Rect> {
        const QString tree = outputOf(QStringLiteral("xwininfo"), {QStringLiteral("-id"), *window, QStringLiteral("-tree")},
                                      environment);
        const QRegularExpressionMatch parent = QRegularExpression(QStringLiteral("Parent window id: (0x[0-9a-f]+)")).match(tree);
        if (!parent.hasMatch()) return std::nullopt;
        const QString info =
            outputOf(QStringLiteral("xwininfo"), {QStringLiteral("-id"), parent.captured(1)}, environment);
        const Rect outer{field(info, QStringLiteral("Absolute upper-left X")),
                         field(info, QStringLiteral("Absolute upper-left Y")), field(info, QStringLiteral("Width")),
                         field(info, QStringLiteral("Height"))};
        last = outer;
        if (outer.width != 755 || outer.height != 505) return std::nullopt;
        return outer;
    });
    ASSERT_TRUE(frame) << "the framed window measures " << last.width << " x " << last.height << ", not 755 x 505";
    EXPECT_NEAR(frame->x, (kScreenWidth - 755) / 2, 1);
    EXPECT_NEAR(frame->y, (kScreenHeight - 505) / 2, 1);
}

}  // namespace
}  // namespace vex
