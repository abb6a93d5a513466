// The File menu's Open, Save and Save As: the main window's side of board files.
#include "editor/filecommands.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QUndoStack>

#include "editor/analysersetup.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/editcommands.h"
#include "platform/dialogs.h"
#include "simulation/simform.h"

#include <sys/stat.h>

namespace {

const QString BoardFilter = QStringLiteral("Orvex schematic (*.ovd)");
const QString FormFilter = QStringLiteral("Borland Delphi Form (*.dfm)");

// A message box lists this many problems at most.
constexpr int ListedProblems = 20;
// Characters of a file name the Open Recent menu shows at most.
constexpr int RecentNameWidth = 48;

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

QString leftOutReport(const QString& fileName, const BoardFile::TReadResult& read) {
    const QList<BoardFile::TFileProblem>& problems = read.Warnings;
    const qsizetype total = problems.size() + read.OmittedWarnings;
    const QString shown = QDir::toNativeSeparators(fileName);
    QString text = QStringLiteral("Parts of %1 could not be read and were left out:").arg(shown);
    for (qsizetype i = 0; i < problems.size() && i < ListedProblems; ++i)
        text += QStringLiteral("\n\n") + problems[i].Describe();
    if (total > ListedProblems)
        text += QStringLiteral("\n\n... and %1 more.").arg(total - ListedProblems);
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

TFileCommands::TFileCommands(TfrmPlugin& window, TEditCommands& edits)
    : m_window(window), m_edits(edits) {
    QObject::connect(m_edits.UndoStack(), &QUndoStack::cleanChanged, &m_window, [this](bool clean) {
        m_modified = !clean;
        UpdateTitle();
    });
}

void TFileCommands::CreateMenu() {
    auto addItem = [this](const char* name, const QString& caption, const QKeySequence& shortcut,
                          auto handler) {
        auto* action = m_menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        QObject::connect(action, &QAction::triggered, &m_window,
                         [this, handler] { m_window.Guard([&] { handler(); }); });
        return action;
    };

    m_menu = m_window.menuBar()->addMenu(QStringLiteral("&File"));
    m_menu->setObjectName(QStringLiteral("mnuFile"));
    addItem("miNew", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
            [this] { miNewClick(); });
    addItem("miSave", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
            [this] { miSaveClick(); });
    addItem("miSaveAs", QStringLiteral("Save &As"), QKeySequence(), [this] { miSaveAsClick(); });
    addItem("miLoad", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
            [this] { miLoadClick(); });
    m_recentMenu = m_menu->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("mnuRecent"));
    UpdateRecentMenu();
    m_menu->addSeparator()->setObjectName(QStringLiteral("N1"));
    addItem("miExit", QStringLiteral("E&xit"), QKeySequence(), [this] { m_window.miExitClick(); });
}

bool TFileCommands::LoadFromFile(const QString& fileName) {
    const QString shown = QDir::toNativeSeparators(fileName);
    BoardFile::TFileBytes read = BoardFile::ReadFile(fileName);
    if (!read.Error.isEmpty()) {
        ShowErrorBox(&m_window, read.Error);
        return false;
    }
    const TDiskStamp stamp = StampOf(fileName);
    QByteArray bytes = std::move(read.Data);
    const QString text = BoardFile::DecodeText(bytes);
    bytes = QByteArray(); // the text holds it now
    // The file is read once out of sight first: only a file that opens as a whole replaces the
    // board, so a failure leaves the board, its file name and its modified mark as they were.
    BoardFile::TReadResult trial;
    {
        ScopedDialogRecorder quiet;
        TBoardSurface scratch(nullptr);
        trial = BoardFile::ReadBoard(&scratch, text, m_window.GridSize());
        // Nothing watches this board: its components go first made first, the order in which
        // Qt takes each out of the board's child list without searching or moving the rest.
        TBoardSurface::DeliverPolishRequests();
        for (TOrvexGraphicComponent* component : scratch.OwnedComponents())
            delete component;
    }
    if (trial.Error) {
        ShowErrorBox(
            &m_window,
            QStringLiteral("%1 was not opened.\n\n%2").arg(shown, trial.Error->Describe()));
        return false;
    }
    // An empty board is saved as a file without lines, and opens again as an empty board.
    const bool formFile = QFileInfo(fileName).suffix().compare(u"dfm", Qt::CaseInsensitive) == 0;
    if (trial.Count == 0 && (formFile || !BoardFile::CleanLine(text).isEmpty()) &&
        !AnalyserSetup::HasBlock(text)) {
        if (formFile)
            ShowErrorBox(&m_window, loadReport(fileName, 0));
        else if (!trial.Warnings.isEmpty())
            ShowErrorBox(&m_window,
                         QStringLiteral("%1 was not opened: none of its components can be "
                                        "built.\n\n%2")
                             .arg(shown, trial.Warnings.first().Describe()));
        else
            ShowErrorBox(&m_window, QStringLiteral("%1 was not opened: it is not a board file (it "
                                                   "holds no component).")
                                        .arg(shown));
        return false;
    }

    if (!m_window.ClearBoard()) return false;
    // The components are made on a hidden board and shown together. On a shown board each new
    // one would post layout and repaint requests that Qt merges by scanning its whole event
    // queue, which holds a few requests of every earlier component: the square of their number.
    // Shown again however the read ends, an exception included.
    struct HiddenBoard {
        QWidget* board;
        bool hadFocus;
        ~HiddenBoard() {
            board->show();
            if (hadFocus) board->setFocus();
        }
    };
    BoardFile::TReadResult result;
    {
        TBoardSurface* board = m_window.Board();
        HiddenBoard hidden{board, board->hasFocus()};
        board->hide();
        result = BoardFile::ReadBoard(board, text, m_window.GridSize(),
                                      [this](TOrvexGraphicComponent* component) {
                                          // As placing does: the hint is kept but not shown, the
                                          // mouse comes to this window.
                                          component->setToolTip(QString());
                                          m_window.WireComponent(component);
                                      });
    }
    ClearUndo();
    if (result.Error) {
        ShowErrorBox(
            &m_window,
            QStringLiteral("%1 was not opened.\n\n%2").arg(shown, result.Error->Describe()));
        UpdateTitle();
        return false;
    }
    m_stamp = stamp;
    AddRecentFile(fileName);
    // FileName stays empty when parts were left out: Save asks for a name rather than overwrite
    // the file.
    if (result.Warnings.isEmpty()) m_fileName = fileName;
    UpdateTitle();
    // The board stands complete, its title and firmware with it, before any box is shown: a box
    // holds up nothing that belongs to the board.
    emit m_window.BoardOpened(fileName);
    AnalyserSetup::Load(&m_window, text);
    ShowInformationBox(&m_window, loadReport(fileName, result.Count));
    if (!result.Warnings.isEmpty())
        Dialogs().ShowMessage(&m_window, MessageIcon::Warning, QStringLiteral("Warning"),
                              leftOutReport(fileName, result));
    return true;
}

bool TFileCommands::SaveToFile(const QString& fileName) {
    const BoardFile::TWriteResult written =
        BoardFile::WriteBoard(m_window.Board(), m_window.GridSize());
    if (written.Unreadable) {
        // The previous file stays rather than one that would not open.
        ShowErrorBox(&m_window,
                     QStringLiteral("The board was not saved to %1: the file would not "
                                    "open again.\n\n%2")
                         .arg(QDir::toNativeSeparators(fileName), written.Unreadable->Describe()));
        return false;
    }
    const QString text = written.Text + AnalyserSetup::Block(&m_window);
    if (const QString failure = BoardFile::WriteFile(fileName, text.toUtf8()); !failure.isEmpty()) {
        ShowErrorBox(&m_window, failure);
        return false;
    }
    m_stamp = StampOf(fileName);
    SetModified(false);
    AddRecentFile(fileName);
    if (!written.Lost.isEmpty() || !written.Added.isEmpty())
        Dialogs().ShowMessage(&m_window, MessageIcon::Warning, QStringLiteral("Warning"),
                              wiringReport(fileName, written));
    return true;
}

void TFileCommands::miLoadClick() {
    if (!QuerySaveChanges()) return;
    const QString fileName = Dialogs().OpenFileName(
        &m_window, fileDialog(QStringLiteral("Open"),
                              BoardFilter + QStringLiteral(";;") + FormFilter, QString()));
    if (!fileName.isEmpty()) LoadFromFile(fileName);
}

bool TFileCommands::OpenFile(const QString& fileName) {
    if (m_window.Running() || !QuerySaveChanges()) return false;
    return LoadFromFile(fileName);
}

void TFileCommands::miNewClick() {
    if (!QuerySaveChanges()) return;
    m_window.ClearBoard();
}

void TFileCommands::miSaveClick() {
    if (m_fileName.isEmpty()) {
        miSaveAsClick();
        return;
    }
    if (ConfirmOverwriteOfChangedFile()) SaveToFile(m_fileName);
}

TFileCommands::TDiskStamp TFileCommands::StampOf(const QString& fileName) {
    TDiskStamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0) return stamp;
    stamp.File = QFileInfo(fileName).absoluteFilePath();
    stamp.Size = qint64(info.st_size);
    stamp.ModifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.Inode = quint64(info.st_ino);
    return stamp;
}

bool TFileCommands::ConfirmOverwriteOfChangedFile() {
    const TDiskStamp now = StampOf(m_fileName);
    // A file that is gone is written again without a question: nothing of it can be lost.
    if (now.Size < 0 || m_stamp.File != now.File || now == m_stamp) return true;
    const int answer = Dialogs().AskChoice(
        &m_window, QStringLiteral("Brelvan"),
        QStringLiteral("%1 was changed on disk since this window opened or saved it.\n\n"
                       "Overwrite it with the board as it is here, save the board under "
                       "another name, or cancel?")
            .arg(QDir::toNativeSeparators(m_fileName)),
        {QStringLiteral("&Overwrite"), QStringLiteral("Save &As..."), QStringLiteral("Cancel")});
    if (answer == 0) return true;
    if (answer == 1) miSaveAsClick();
    return false;
}

void TFileCommands::miSaveAsClick() {
    const QString fileName = Dialogs().SaveFileName(
        &m_window, fileDialog(QStringLiteral("Save As"), BoardFilter, m_fileName));
    // The board belongs to the new name only once it is there.
    if (!fileName.isEmpty() && SaveToFile(fileName)) {
        m_fileName = fileName;
        UpdateTitle();
    }
}

// ---------------------------------------------------------------- never losing work

void TFileCommands::SetModified(bool on) {
    QUndoStack* undo = m_edits.UndoStack();
    if (on) {
        // A change outside the undo stack: no undo step brings the saved board back.
        if (undo->isClean()) undo->resetClean();
    } else {
        undo->setClean();
    }
    m_modified = on;
    UpdateTitle();
}

QString TFileCommands::DisplayName() const {
    return m_fileName.isEmpty() ? QStringLiteral("untitled") : QFileInfo(m_fileName).fileName();
}

void TFileCommands::UpdateTitle() {
    m_window.setWindowTitle(DisplayName() + QStringLiteral("[*] - Brelvan"));
    m_window.setWindowModified(m_modified);
}

bool TFileCommands::QuerySaveChanges() {
    if (!m_modified) return true;
    switch (Dialogs().AskSave(&m_window, QStringLiteral("Brelvan"),
                              QStringLiteral("Save changes to %1?").arg(DisplayName()))) {
    case SaveAnswer::Save:
        if (m_window.Running()) m_window.tbRunClick();
        miSaveClick();
        return !m_modified; // a failed or cancelled save keeps the board
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TFileCommands::ClearUndo() {
    QUndoStack* undo = m_edits.UndoStack();
    undo->clear();
    undo->setClean();
    m_modified = false;
    UpdateTitle();
    m_edits.UpdateUndoActions();
}

namespace {
QSettings recentSettings() {
    return QSettings(QStringLiteral("Brelvan"), QStringLiteral("Brelvan"));
}
const QString RecentKey = QStringLiteral("RecentFiles");
} // namespace

QStringList TFileCommands::RecentFiles() const {
    QStringList files = recentSettings().value(RecentKey).toStringList();
    files.removeAll(QString());
    return files.mid(0, TfrmPlugin::MaxRecentFiles);
}

void TFileCommands::AddRecentFile(const QString& fileName) {
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    recentSettings().setValue(RecentKey, files.mid(0, TfrmPlugin::MaxRecentFiles));
    UpdateRecentMenu();
}

void TFileCommands::UpdateRecentMenu() {
    m_recentMenu->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        // A long name is shortened in its middle, where names differ least; an ampersand in it
        // is shown rather than taken for a shortcut mark.
        const QFontMetrics metrics(m_recentMenu->font());
        const QString name = metrics.elidedText(QFileInfo(path).fileName(), Qt::ElideMiddle,
                                                metrics.averageCharWidth() * RecentNameWidth);
        QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QString(name).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setData(path);
        QObject::connect(action, &QAction::triggered, &m_window,
                         [this, path] { m_window.Guard([&] { OpenFile(path); }); });
    }
    m_recentMenu->menuAction()->setEnabled(!files.isEmpty() && !m_window.Running());
}
