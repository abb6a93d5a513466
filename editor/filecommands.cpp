// The File menu's Open, Save and Save As: the main window's side of board files.
#include <QDir>
#include <QFileInfo>

#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"

namespace {

const QString BoardFilter = QStringLiteral("Orvex schematic (*.ovd)");
const QString FormFilter = QStringLiteral("Borland Delphi Form (*.dfm)");

// A message box lists this many problems at most.
constexpr int ListedProblems = 20;

FileDialogOptions fileDialog(const QString& caption, const QString& filter,
                             const QString& fileName) {
    FileDialogOptions options;
    options.caption = caption;
    options.defaultSuffix = QStringLiteral("ovd");
    options.filter = filter;
    options.directory = QStringLiteral(".");
    options.fileName = fileName;
    return options;
}

QString loadReport(const QString& fileName, int count) {
    QString text = QString::number(count) + QStringLiteral(" objects loaded.");
    if (count == 0 && QFileInfo(fileName).suffix().compare(u"dfm", Qt::CaseInsensitive) == 0)
        text += QStringLiteral(" No objects were loaded, therefore you should check whether the "
                               "DFM file is saved in text mode.\r\nBinary DFMs are not supported.");
    return text;
}

QString leftOutReport(const QString& fileName, const QList<BoardFile::TFileProblem>& problems) {
    const QString shown = QDir::toNativeSeparators(fileName);
    QString text = QStringLiteral("Parts of %1 could not be read and were left out:").arg(shown);
    for (qsizetype i = 0; i < problems.size() && i < ListedProblems; ++i)
        text += QStringLiteral("\n\n") + problems[i].Describe();
    if (problems.size() > ListedProblems)
        text += QStringLiteral("\n\n... and %1 more.").arg(problems.size() - ListedProblems);
    text += QStringLiteral("\n\nSave will ask for a file name, so that %1 is not overwritten "
                           "with the board as it is now.")
                .arg(shown);
    return text;
}

// The file keeps each wire as a contact's reference; a few wirings of the components cannot be
// put that way, and the user hears which.
QString wiringReport(const QString& fileName, const BoardFile::TWriteResult& written) {
    const auto listed = [](const QStringList& wires) {
        QStringList shown = wires.mid(0, ListedProblems);
        if (wires.size() > ListedProblems)
            shown << QStringLiteral("... and %1 more").arg(wires.size() - ListedProblems);
        return shown.join(QStringLiteral("\n"));
    };
    QString text = QStringLiteral("The board was saved to %1, but the file does not hold its "
                                  "wiring exactly.")
                       .arg(QDir::toNativeSeparators(fileName));
    if (!written.Lost.isEmpty())
        text += QStringLiteral("\n\nThese wires will be missing when it is opened:\n") +
                listed(written.Lost);
    if (!written.Added.isEmpty())
        text += QStringLiteral("\n\nThese wires will be there as well when it is opened:\n") +
                listed(written.Added);
    return text;
}

} // namespace

void TfrmPlugin::LoadFromFile(const QString& fileName) {
    if (!ClearBoard()) return;
    m_fileName.clear();
    QByteArray bytes;
    try {
        bytes = BoardFile::ReadFile(fileName);
    } catch (const BoardFile::BoardFileError& error) {
        m_modified = false;
        ReportError(this, error);
        return;
    }
    const QStringList lines = BoardFile::SplitLines(BoardFile::DecodeText(bytes));
    bytes.clear();
    const BoardFile::TReadResult result =
        BoardFile::ReadBoard(Board(), lines, m_gridSize, [this](TOrvexGraphicComponent* component) {
            // As placing does: the hint is kept but not shown, the mouse comes to this window.
            component->setToolTip(QString());
            WireComponent(component);
        });
    m_modified = false;
    if (result.Error) {
        // Nothing of the file stays on the board, and FileName stays empty: a Save cannot put a
        // part of the board over the file that failed.
        ShowErrorBox(this, QStringLiteral("%1 was not opened.\n\n%2")
                               .arg(QDir::toNativeSeparators(fileName), result.Error->Describe()));
        return;
    }
    ShowInformationBox(this, loadReport(fileName, result.Count));
    emit BoardOpened(fileName);
    if (!result.Warnings.isEmpty()) {
        Dialogs().ShowMessage(this, MessageIcon::Warning, QStringLiteral("Warning"),
                              leftOutReport(fileName, result.Warnings));
        return;
    }
    m_fileName = fileName;
}

bool TfrmPlugin::SaveToFile(const QString& fileName) {
    const BoardFile::TWriteResult written = BoardFile::WriteBoard(Board(), m_gridSize);
    if (written.Unreadable) {
        // The previous file stays rather than one that would not open.
        ShowErrorBox(this,
                     QStringLiteral("The board was not saved to %1: the file would not "
                                    "open again.\n\n%2")
                         .arg(QDir::toNativeSeparators(fileName), written.Unreadable->Describe()));
        return false;
    }
    try {
        BoardFile::WriteFile(fileName, written.Text.toUtf8());
    } catch (const BoardFile::BoardFileError& error) {
        ReportError(this, error);
        return false;
    }
    m_modified = false;
    if (!written.Lost.isEmpty() || !written.Added.isEmpty())
        Dialogs().ShowMessage(this, MessageIcon::Warning, QStringLiteral("Warning"),
                              wiringReport(fileName, written));
    return true;
}

void TfrmPlugin::miLoadClick() {
    const QString fileName = Dialogs().OpenFileName(
        this, fileDialog(QStringLiteral("Open"), BoardFilter + QStringLiteral(";;") + FormFilter,
                         QString()));
    if (!fileName.isEmpty()) LoadFromFile(fileName);
}

void TfrmPlugin::miSaveClick() {
    if (m_fileName.isEmpty())
        miSaveAsClick();
    else
        SaveToFile(m_fileName);
}

void TfrmPlugin::miSaveAsClick() {
    const QString fileName = Dialogs().SaveFileName(
        this, fileDialog(QStringLiteral("Save As"), BoardFilter, m_fileName));
    // The board belongs to the new name only once it is there.
    if (!fileName.isEmpty() && SaveToFile(fileName)) m_fileName = fileName;
}
