#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class QLockFile;
class QTimer;
class TfrmPlugin;

// Recovery copies: while the window's board has unsaved changes, a copy of it is written every
// interval to the user's data folder (never next to or over the board's own file), in one step,
// with the name of the file it belongs to. Saving, New, Open and a normal close remove it; a crash
// or a kill leaves it, and the next start offers it back.
//
// Each window's copy has a lock file beside it that the window holds while it lives (a PID lock,
// QLockFile): another running instance never takes a copy whose owner is alive, and two instances
// that start together cannot both take the same orphaned one.
class TAutosave : public QObject {
    Q_OBJECT

public:
    // One orphaned copy, as the start finds it.
    struct TRecoveredBoard {
        QString CopyPath;  // the recovery copy itself
        QString BoardFile; // the file the board belonged to; empty for an untitled board
        QDateTime Written;
    };

    explicit TAutosave(TfrmPlugin& window);
    ~TAutosave() override;

    // <user data>/Brelvan/recovery
    static QString RecoveryFolder();
    // The interval the program starts with: the setting Autosave/IntervalSeconds (60 when unset,
    // 0 for never), unless BRELVAN_AUTOSAVE_MS gives it in milliseconds.
    static int ConfiguredIntervalMs();

    // Copies are written every intervalMs while the board is modified; 0 stops writing them.
    // Off until the program starts it, so that tools and tests leave the user's folder alone.
    void Start(int intervalMs);
    int IntervalMs() const;
    // This window's copy; empty before the first one was written.
    QString CopyPath() const { return m_copyPath; }

    // Writes the copy now when the board is modified and differs from the last copy; removes it
    // when the board is not modified. True when a copy of the present board is on disk after.
    bool WriteNow();
    // Removes this window's copy (the board was saved, replaced or closed).
    void Remove();

    // Copies no running instance holds, the newest first. Each one returned is locked by this
    // window until it is restored, discarded or kept (ReleaseFound).
    QList<TRecoveredBoard> FindRecovered();
    // Asks about each copy no running instance holds: restore, keep for later, discard. The first
    // one restored replaces this window's board; the later ones can be kept for the next start or
    // discarded. Returns how many were restored (0 or 1).
    int OfferRecovered();
    // Replaces the board with the copy's board, modified and named after its file; removes the
    // copy on success. Reports a copy that cannot be read and keeps it.
    bool Restore(const QString& copyPath);

signals:
    // A recovery copy could not be written (once per failing stretch).
    void WriteFailed(const QString& reason);

private:
    bool Lock();
    void ReleaseFound(const QString& copyPath, bool remove);
    static QString LockPathOf(const QString& copyPath);

    TfrmPlugin& m_window;
    QTimer* m_timer = nullptr;
    QString m_copyPath;
    QString m_lastText; // the board text of the copy on disk
    bool m_failing = false;
    std::unique_ptr<QLockFile> m_lock;
    // The orphaned copies this window holds while it asks about them.
    QList<std::pair<QString, std::shared_ptr<QLockFile>>> m_found;
};
