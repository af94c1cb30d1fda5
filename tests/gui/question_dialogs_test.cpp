// The desktop asks the core's questions in dialogs: yes or no in a message
// box, one of several in a list, answered by the row picked even when two
// rows read the same (two copies kept within one second).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "runtime/file_dialog.h"
#include "runtime/gui/desktop_hooks.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/questions.h"
#include "runtime/runtime_error.h"

namespace vex {
namespace {

void whenADialogIsOpen(std::function<void(QDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no dialog is open";
        act(*dialog);
    });
}

TEST(QuestionDialogs, answerWithTheRowPickedOrNothingWhenCancelled) {
    installDesktopHooks();
    const std::vector<std::string> sameTimes = {"2026-12-08 10:00:00", "2026-12-08 10:00:00"};
    whenADialogIsOpen([](QDialog& dialog) {
        dialog.findChild<QComboBox*>()->setCurrentIndex(1);
        dialog.accept();
    });
    EXPECT_EQ(askToChoose("Which?", sameTimes), std::optional<std::size_t>(1));
    whenADialogIsOpen([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(askToChoose("Which?", sameTimes), std::nullopt);

    for (const auto& [button, yes] : {std::pair{QMessageBox::Yes, true}, std::pair{QMessageBox::No, false}}) {
        whenADialogIsOpen(
            [button](QDialog& dialog) { static_cast<QMessageBox&>(dialog).button(button)->click(); });
        EXPECT_EQ(askYesOrNo("Bring it back?"), yes);
    }
    setQuestionAnswerer({});
    setWebAddressOpener({});
    setMessagePresenter({});
    setRuntimeErrorPresenter({});
    FileDialog::setPresenter({});
}

}  // namespace
}  // namespace vex
