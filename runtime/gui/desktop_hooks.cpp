#include "runtime/gui/desktop_hooks.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>

#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/process.h"
#include "runtime/questions.h"
#include "runtime/runtime_error.h"
#include "runtime/translation.h"

namespace vex {
namespace {

QMessageBox::Icon iconFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information:
            return QMessageBox::Information;
        case MessageKind::Warning:
            return QMessageBox::Warning;
        case MessageKind::Error:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QWidget* dialogParent() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    // At start-up the main window may not be active yet; a box without a
    // parent would open behind it, since it stays on top.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return window;
    }
    return nullptr;
}

namespace {

void showMessageBox(QMessageBox::Icon icon, const std::string& text, const std::string& caption) {
    QMessageBox box(icon, QString::fromStdString(caption),
                    QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

std::optional<std::size_t> askWithDialog(const Question& question) {
    const QString text =
        QString::fromStdString(question.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString caption = QString::fromStdString(question.caption);
    if (question.choices.empty()) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        dialogParent());
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? std::optional<std::size_t>(0) : std::nullopt;
    }
    QStringList items;
    for (const std::string& choice : question.choices) items.append(QString::fromStdString(choice));
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(text);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(items.value(static_cast<int>(question.preselected)));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    // By place, not by text: two choices may read the same (two copies kept within one second).
    const auto* list = dialog.findChild<QComboBox*>();
    const int chosen =
        list != nullptr ? list->currentIndex() : static_cast<int>(items.indexOf(dialog.textValue()));
    return chosen < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(chosen));
}

}  // namespace

// The file dialog names a file's type by its name; our store keeps the historic
// name data.mdb, which it would call an Access ("JET") database. A ".mdb" whose
// content is SQLite is named for what it is.
class ContentTypeIconProvider : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isFile() && info.suffix().compare(QStringLiteral("mdb"), Qt::CaseInsensitive) == 0 &&
            QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchContent).name() ==
                QStringLiteral("application/vnd.sqlite3"))
            return QString::fromStdString(message("SQLite database"));
        return QFileIconProvider::type(info);
    }
};

QStringList qtFileFilters(const std::string& filter) {
    // "description|pattern|description|pattern||", patterns separated by ";".
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString description =
            QString::fromStdString(translated(text_context::kWindow, parts[i].toStdString()));
        filters.append(QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return filters;
}

std::optional<std::string> showFileDialog(const FileDialogSettings& settings) {
    QFileDialog dialog(dialogParent(),
                       QString::fromStdString(translated(text_context::kWindow, settings.title)),
                       QString::fromStdString(settings.initialDirectory));
    // Qt's own dialog, so it speaks the language of Qt's catalogue and uses the provider below.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ContentTypeIconProvider types;
    dialog.setIconProvider(&types);
    const bool saving = settings.kind == FileDialog::kSave;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving || !settings.fileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = qtFileFilters(settings.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (settings.filterIndex >= 0 && settings.filterIndex < filters.size()) {
            dialog.selectNameFilter(filters[settings.filterIndex]);
        }
    }
    if (!settings.defaultExtension.empty())
        dialog.setDefaultSuffix(QString::fromStdString(settings.defaultExtension));
    if (!settings.fileName.empty()) dialog.selectFile(QString::fromStdString(settings.fileName));
    if (!settings.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void installDesktopHooks() {
    setMessagePresenter([](MessageKind kind, const std::string& text, const std::string& caption) {
        showMessageBox(iconFor(kind), text, caption);
    });
    setRuntimeErrorPresenter([](const std::string& text, const std::string& caption) {
        showMessageBox(QMessageBox::Critical, text, caption);
    });
    FileDialog::setPresenter(showFileDialog);
    setQuestionAnswerer(askWithDialog);
}

}  // namespace vex
