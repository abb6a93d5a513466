#pragma once

#include <QString>
#include <QStringList>

class QMenu;
class TEditCommands;
class TfrmPlugin;

// The File menu: New, Open, Save, Save As, the recent files and Exit; the board's file name, its
// modified mark and the window title that shows both, and the question before work is lost.
class TFileCommands {
public:
    TFileCommands(TfrmPlugin& window, TEditCommands& edits);

    // Adds the File menu to the window's menu bar.
    void CreateMenu();
    QMenu* Menu() const { return m_menu; }
    QMenu* RecentMenu() const { return m_recentMenu; }

    // The board file last opened or saved; empty at start and after New.
    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& name) { m_fileName = name; }
    // Every change a user makes sets it (through the undo stack, whose clean state clears it
    // again); cleared by New, Open and Save. The running simulation never sets it.
    bool Modified() const { return m_modified; }
    void SetModified(bool on);
    // "Save changes to NAME?" while the board is modified: true when the board may be replaced
    // (saved, or the user discards it), false when the user cancelled or the save failed.
    bool QuerySaveChanges();
    // The name the title and the save question show: the file's name, or "untitled".
    QString DisplayName() const;
    void UpdateTitle();
    // A board starts afresh: nothing to undo, nothing modified.
    void ClearUndo();

    // Open: replaces the board with the file's components and reports how many were loaded.
    // The file is read completely first: one that cannot be read as a whole, or that holds no
    // component, leaves the board, FileName and Modified as they were and returns false. One of
    // which parts were left out opens with FileName empty, so that Save asks before overwriting it.
    bool LoadFromFile(const QString& fileName);
    // Writes the board to the file in one step (a failed write leaves the old file); reports a
    // failure and returns false. Clears Modified on success.
    bool SaveToFile(const QString& fileName);
    // Opens a board after the save question (Open Recent, the command line). False when the
    // user cancelled or the file did not open.
    bool OpenFile(const QString& fileName);
    void miNewClick();
    void miSaveClick();
    void miSaveAsClick();
    void miLoadClick();

    // The boards last opened or saved, the latest first (at most TfrmPlugin::MaxRecentFiles).
    QStringList RecentFiles() const;
    void UpdateRecentMenu();

private:
    // What the file looked like on disk when this window last read or wrote it.
    struct TDiskStamp {
        QString File;
        qint64 Size = -1;
        qint64 ModifiedNs = 0;
        quint64 Inode = 0;
        bool operator==(const TDiskStamp&) const = default;
    };
    static TDiskStamp StampOf(const QString& fileName);
    // Before Save writes over FileName: when another program changed the file since, the user
    // chooses (overwrite, save under another name, cancel). True when Save may go on.
    bool ConfirmOverwriteOfChangedFile();
    void AddRecentFile(const QString& fileName);

    TfrmPlugin& m_window;
    TEditCommands& m_edits;
    QString m_fileName;
    TDiskStamp m_stamp;
    bool m_modified = false;
    QMenu* m_menu = nullptr;
    QMenu* m_recentMenu = nullptr;
};
