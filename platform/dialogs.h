#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <exception>
#include <optional>

class QObject;

enum class MessageIcon { Error, Information, Warning };

// The answers to "Save changes to NAME?".
enum class SaveAnswer { Save, Discard, Cancel };

struct FileDialogOptions {
    QString caption;
    QString defaultSuffix; // without the dot
    QString filter;        // Qt filter string ("Name (*.ext);;Other (*.x)")
    QString directory;
    QString fileName;
};

// Every message box, input dialog and file dialog goes through the installed service, so tests can
// run without a modal ever opening. `parent` is any object on the window the box belongs to.
class DialogService {
public:
    virtual ~DialogService() = default;
    virtual void ShowMessage(QObject* parent, MessageIcon icon, const QString& caption,
                             const QString& text) = 0;
    // Empty optional when the user cancelled.
    virtual std::optional<QString> InputText(QObject* parent, const QString& caption,
                                             const QString& prompt, const QString& initial) = 0;
    // Empty string when the user cancelled.
    virtual QString OpenFileName(QObject* parent, const FileDialogOptions& options) = 0;
    virtual QString SaveFileName(QObject* parent, const FileDialogOptions& options) = 0;
    // A question with the buttons Save, Discard and Cancel; closing the box is Cancel.
    virtual SaveAnswer AskSave(QObject* parent, const QString& caption, const QString& text) = 0;
    // A question answered by one of buttons: the first is the default, the last the one that
    // changes nothing (Escape). The index of the button chosen, -1 when there was none.
    virtual int AskChoice(QObject* parent, const QString& caption, const QString& text,
                          const QStringList& buttons) = 0;
};

// The installed service (a recorder until the application installs the Qt one). Not owned.
DialogService& Dialogs();
void InstallDialogs(DialogService* service);

// The program's own boxes: "Error" with the error icon, "Information" with the information icon.
void ShowErrorBox(QObject* parent, const QString& text);
void ShowInformationBox(QObject* parent, const QString& text);

// The one standard error report for exceptions caught at the UI boundary.
void ReportError(QObject* parent, const std::exception& error);

// Test double: records every box and answers dialogs from scripted queues (cancel when empty).
class DialogRecorder : public DialogService {
public:
    struct Message {
        MessageIcon icon;
        QString caption;
        QString text;
    };

    void ShowMessage(QObject* parent, MessageIcon icon, const QString& caption,
                     const QString& text) override;
    std::optional<QString> InputText(QObject* parent, const QString& caption, const QString& prompt,
                                     const QString& initial) override;
    QString OpenFileName(QObject* parent, const FileDialogOptions& options) override;
    QString SaveFileName(QObject* parent, const FileDialogOptions& options) override;
    // Records the question's text and answers from saveQuestionAnswers (Cancel when empty).
    SaveAnswer AskSave(QObject* parent, const QString& caption, const QString& text) override;
    // Records the question's text and answers from choiceAnswers (-1 when empty).
    int AskChoice(QObject* parent, const QString& caption, const QString& text,
                  const QStringList& buttons) override;

    QList<Message> messages;
    QStringList saveQuestions;
    QList<SaveAnswer> saveQuestionAnswers;
    QStringList choiceQuestions;
    QList<int> choiceAnswers;
    QList<std::optional<QString>> inputAnswers;
    QStringList openAnswers;
    QStringList saveAnswers;
    QList<FileDialogOptions> fileDialogs; // options of every file dialog asked, in order

    QString LastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    void Clear() { messages.clear(); }
};

// Installs a recorder for the lifetime of the guard and restores the previous service after.
class ScopedDialogRecorder {
public:
    ScopedDialogRecorder();
    ~ScopedDialogRecorder();
    ScopedDialogRecorder(const ScopedDialogRecorder&) = delete;
    ScopedDialogRecorder& operator=(const ScopedDialogRecorder&) = delete;
    DialogRecorder& operator*() { return m_recorder; }
    DialogRecorder* operator->() { return &m_recorder; }

private:
    DialogRecorder m_recorder;
    DialogService* m_previous;
};
