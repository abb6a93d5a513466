#include "platform/qtdialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {
QWidget* windowOf(QObject* object) {
    for (QObject* o = object; o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o)) return w->window();
    return nullptr;
}

QString runFileDialog(QObject* parent, const FileDialogOptions& options,
                      QFileDialog::AcceptMode mode) {
    QFileDialog dialog(windowOf(parent), options.caption, options.directory, options.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.fileName.isEmpty()) dialog.selectFile(options.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

void QtDialogService::ShowMessage(QObject* parent, MessageIcon icon, const QString& caption,
                                  const QString& text) {
    QMessageBox::Icon qtIcon = QMessageBox::Critical;
    if (icon == MessageIcon::Information) qtIcon = QMessageBox::Information;
    if (icon == MessageIcon::Warning) qtIcon = QMessageBox::Warning;
    QMessageBox box(qtIcon, caption, text, QMessageBox::Ok, windowOf(parent));
    box.exec();
}

std::optional<QString> QtDialogService::InputText(QObject* parent, const QString& caption,
                                                  const QString& prompt, const QString& initial) {
    bool ok = false;
    QString text =
        QInputDialog::getText(windowOf(parent), caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

QString QtDialogService::OpenFileName(QObject* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, QFileDialog::AcceptOpen);
}

QString QtDialogService::SaveFileName(QObject* parent, const FileDialogOptions& options) {
    return runFileDialog(parent, options, QFileDialog::AcceptSave);
}

SaveAnswer QtDialogService::AskSave(QObject* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    windowOf(parent));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

int QtDialogService::AskChoice(QObject* parent, const QString& caption, const QString& text,
                               const QStringList& buttons) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, windowOf(parent));
    QList<QAbstractButton*> added;
    for (const QString& label : buttons)
        added.append(box.addButton(label, added.isEmpty() ? QMessageBox::AcceptRole
                                                          : QMessageBox::ActionRole));
    if (!added.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
        box.setEscapeButton(added.last()); // the last button is the one that changes nothing
    }
    box.exec();
    return int(added.indexOf(box.clickedButton()));
}
