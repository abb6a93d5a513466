#include "platform/dialogs.h"

#include "platform/errors.h"

namespace {
DialogRecorder& fallbackRecorder() {
    static DialogRecorder recorder;
    return recorder;
}
DialogService* g_service = nullptr;
} // namespace

DialogService& Dialogs() {
    return g_service ? *g_service : fallbackRecorder();
}

void InstallDialogs(DialogService* service) {
    g_service = service;
}

void ShowErrorBox(QObject* parent, const QString& text) {
    Dialogs().ShowMessage(parent, MessageIcon::Error, QStringLiteral("Error"), text);
}

void ShowInformationBox(QObject* parent, const QString& text) {
    Dialogs().ShowMessage(parent, MessageIcon::Information, QStringLiteral("Information"), text);
}

void ReportError(QObject* parent, const std::exception& error) {
    if (auto* own = dynamic_cast<const BrelvanError*>(&error))
        ShowErrorBox(parent, own->Message());
    else
        ShowErrorBox(parent, QString::fromLocal8Bit(error.what()));
}

void DialogRecorder::ShowMessage(QObject*, MessageIcon icon, const QString& caption,
                                 const QString& text) {
    messages.append({icon, caption, text});
}

std::optional<QString> DialogRecorder::InputText(QObject*, const QString&, const QString&,
                                                 const QString&) {
    if (inputAnswers.isEmpty()) return std::nullopt;
    return inputAnswers.takeFirst();
}

QString DialogRecorder::OpenFileName(QObject*, const FileDialogOptions& options) {
    fileDialogs.append(options);
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString DialogRecorder::SaveFileName(QObject*, const FileDialogOptions& options) {
    fileDialogs.append(options);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

SaveAnswer DialogRecorder::AskSave(QObject*, const QString&, const QString& text) {
    saveQuestions.append(text);
    return saveQuestionAnswers.isEmpty() ? SaveAnswer::Cancel : saveQuestionAnswers.takeFirst();
}

int DialogRecorder::AskChoice(QObject*, const QString&, const QString& text, const QStringList&) {
    choiceQuestions.append(text);
    return choiceAnswers.isEmpty() ? -1 : choiceAnswers.takeFirst();
}

ScopedDialogRecorder::ScopedDialogRecorder() : m_previous(g_service) {
    g_service = &m_recorder;
}

ScopedDialogRecorder::~ScopedDialogRecorder() {
    g_service = m_previous;
}
