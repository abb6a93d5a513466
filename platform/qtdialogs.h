#pragma once

#include "platform/dialogs.h"

// The real dialogs: QMessageBox, QInputDialog and QFileDialog on the window of `parent`.
class QtDialogService : public DialogService {
public:
    void ShowMessage(QObject* parent, MessageIcon icon, const QString& caption,
                     const QString& text) override;
    std::optional<QString> InputText(QObject* parent, const QString& caption, const QString& prompt,
                                     const QString& initial) override;
    QString OpenFileName(QObject* parent, const FileDialogOptions& options) override;
    QString SaveFileName(QObject* parent, const FileDialogOptions& options) override;
    SaveAnswer AskSave(QObject* parent, const QString& caption, const QString& text) override;
    int AskChoice(QObject* parent, const QString& caption, const QString& text,
                  const QStringList& buttons) override;
};
