// A stand-in for a file manager in the drag-and-drop test: a small window that,
// when pressed, drags the files named on its command line the way file
// managers do (text/uri-list, copy), across processes through the X server.
//
//   drag_source FILE...
//   drag_source --from LIST     (the paths of LIST, one a line)
// Prints "ready" once its window is shown and "dropped <action>" when the drop
// has been sent. It then stays a while, as a file manager does: the target asks
// the source for the dragged data after the drop, over the X server.

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

class DragSource : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
        setWindowTitle(QStringLiteral("vexorin-drag-source"));
        setFixedSize(120, 120);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        data->setUrls(urls_);
        // On the heap and kept: on X11 the target fetches the data after exec() has returned.
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("dropped %d\n", static_cast<int>(action));
        std::fflush(stdout);
        QTimer::singleShot(10000, [] { QApplication::quit(); });
    }
    void showEvent(QShowEvent*) override {
        std::printf("ready\n");
        std::fflush(stdout);
    }

private:
    QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QList<QUrl> urls;
    const bool fromFile = argc == 3 && std::strcmp(argv[1], "--from") == 0;
    if (fromFile) {
        // A drop of more files than a command line holds: one path a line.
        QFile list(QString::fromLocal8Bit(argv[2]));
        if (!list.open(QIODevice::ReadOnly)) return 1;
        while (!list.atEnd()) {
            const QByteArray line = list.readLine().chopped(1);
            if (!line.isEmpty()) urls.append(QUrl::fromLocalFile(QString::fromLocal8Bit(line)));
        }
    }
    for (int i = 1; i < argc && !fromFile; ++i)
        urls.append(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
    DragSource source(urls);
    source.move(0, 0);
    source.show();
    return QApplication::exec();
}
