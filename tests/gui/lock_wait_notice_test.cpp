// While a change made in the window waits for another program's lock on the
// data directory, the window says that another run is writing; the word goes
// once the wait is over and the change is made. The lock is held by a real
// second process.

#include "app/lock_wait_notice.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "flow/drop.h"
#include "flow/lists.h"
#include "library/store_lock.h"
#include "runtime/gui/wait_notice.h"
#include "runtime/gui/window_views.h"
#include "runtime/messages.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

// Another process that holds the data directory's lock until it is let go.
class LockHolder {
public:
    explicit LockHolder(const std::string& lockFile) {
        int ready[2], letGo[2];
        if (::pipe(ready) != 0 || ::pipe(letGo) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls in the child of a threaded process.
            ::close(ready[0]);
            ::close(letGo[1]);
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
            // Returns when the parent lets go (or dies); exiting releases the lock.
            [[maybe_unused]] const ssize_t got = ::read(letGo[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(letGo[0]);
        letGo_ = letGo[1];
        char byte = 0;
        held_ = pid_ > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~LockHolder() {
        letGo();
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }
    void letGo() {
        if (letGo_ >= 0) ::close(letGo_);
        letGo_ = -1;
    }

private:
    pid_t pid_ = -1;
    int letGo_ = -1;
    bool held_ = false;
};

class LockWaitNoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        model().reset();
        windows_ = std::make_unique<DesktopWindows>(model());
        registerMainWindowHandlers(model(), [this] { return data_; });
        registerWindowLayouts(model());
        setMessagePresenter(
            [this](MessageKind, const std::string& text, const std::string&) { messages_.push_back(text); });
        // A notice that never came would otherwise hold the test for the whole default wait.
        setLockWaitLimit(10000);
        ASSERT_TRUE(model().loadWindow(mw::kWindowId));
        QApplication::processEvents();
    }
    void TearDown() override {
        removeLockWaitNotice();
        setLockWaitLimit(kDefaultLockWaitLimitMs);
        model().reset();
        windows_.reset();
        setMessagePresenter({});
    }

    static WindowModel& model() { return WindowModel::instance(); }
    QWidget* top() { return windows_->windowWidget(mw::kWindowId); }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    std::unique_ptr<DesktopWindows> windows_;
    std::vector<std::string> messages_;
};

TEST_F(LockWaitNoticeTest, theWindowSaysAnotherRunIsWritingForAsLongAsItWaits) {
    storeExperiment(data_, "/samples/a.png", "89504E470D0A1A0A0000");
    LockHolder holder(dir_.path() + "/" + std::string(kLockFileName));
    ASSERT_TRUE(holder.held());
    int shown = 0;
    QString said;
    installLockWaitNotice(*windows_, [&] {
        ++shown;
        if (QLabel* notice = shownWaitNotice(top())) said = notice->text();
        holder.letGo();  // the other run finishes while the window waits
    });
    qobject_cast<QPushButton*>(windows_->unitWidget(mw::experimentClearButton))->click();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(said.toStdString(), anotherRunIsWritingMessage(data_));
    EXPECT_TRUE(listExperiments(data_).entries.empty())
        << "the change is made once the other run has finished";
    QApplication::processEvents();
    EXPECT_EQ(shownWaitNotice(top()), nullptr) << "the word goes when the wait is over";
    EXPECT_TRUE(messages_.empty()) << messages_.front();
}

}  // namespace
}  // namespace vex
