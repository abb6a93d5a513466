// Recovery copies of modified boards, and offering them back after a crash.
#include "editor/autosave.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUndoStack>

#include "editor/analysersetup.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"

namespace {

const QString Format = QStringLiteral("brelvan-recovery");
constexpr int FormatVersion = 1;
constexpr int DefaultIntervalSeconds = 60;
// A copy larger than a board file may be is not a copy this program wrote.
constexpr qint64 MaxCopySize = BoardFile::MaxFileSize * 2;

struct TCopy {
    QString BoardFile;
    QString Text;
    QDateTime Written;
    QString Error; // why the copy cannot be used
};

TCopy readCopy(const QString& path) {
    TCopy copy;
    QFile file(path);
    if (file.size() > MaxCopySize) {
        copy.Error = QStringLiteral("it is too large");
        return copy;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        copy.Error = file.errorString();
        return copy;
    }
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    const QJsonObject object = doc.object();
    if (parse.error != QJsonParseError::NoError || object.value(u"format").toString() != Format ||
        object.value(u"version").toInt() != FormatVersion || !object.value(u"board").isString()) {
        copy.Error = QStringLiteral("it is not a recovery copy of this program");
        return copy;
    }
    copy.BoardFile = object.value(u"file").toString();
    copy.Text = object.value(u"board").toString();
    copy.Written = QDateTime::fromString(object.value(u"written").toString(), Qt::ISODate);
    return copy;
}

QString sameFile(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

TAutosave::TAutosave(TfrmPlugin& window) : QObject(&window), m_window(window) {
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { WriteNow(); });
    // Saved, undone to the saved state, or replaced: the copy has nothing left to keep.
    connect(m_window.UndoStack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        if (clean) Remove();
    });
    connect(&m_window, &TfrmPlugin::BoardCleared, this, [this] { Remove(); });
}

TAutosave::~TAutosave() {
    Remove();
}

QString TAutosave::RecoveryFolder() {
    // The program's data folder without depending on the name a test or tool runs under.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Brelvan/recovery");
}

int TAutosave::ConfiguredIntervalMs() {
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("BRELVAN_AUTOSAVE_MS", &ok);
    if (ok && fromEnvironment >= 0) return fromEnvironment;
    const QSettings settings(QStringLiteral("Brelvan"), QStringLiteral("Brelvan"));
    const int seconds =
        settings.value(QStringLiteral("Autosave/IntervalSeconds"), DefaultIntervalSeconds)
            .toInt(&ok);
    if (!ok || seconds < 0) return DefaultIntervalSeconds * 1000;
    // Beyond a day it is as good as never; the cap keeps the milliseconds in range.
    return qMin(seconds, 86400) * 1000;
}

void TAutosave::Start(int intervalMs) {
    if (intervalMs <= 0) {
        m_timer->stop();
        return;
    }
    m_timer->start(intervalMs);
}

int TAutosave::IntervalMs() const {
    return m_timer->isActive() ? m_timer->interval() : 0;
}

QString TAutosave::LockPathOf(const QString& copyPath) {
    QString path = copyPath;
    path.chop(int(QStringLiteral(".json").size()));
    return path + QStringLiteral(".lock");
}

bool TAutosave::Lock() {
    if (m_lock) return true;
    const QString folder = RecoveryFolder();
    if (!QDir().mkpath(folder)) return false;
    // The process and a counter: windows of one process, and a process that reuses the number
    // of one that crashed, never meet (a name already taken is skipped).
    static int serial = 0;
    for (int tries = 0; tries < 100; ++tries) {
        const QString base = QStringLiteral("%1/%2-%3")
                                 .arg(folder)
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++serial);
        if (QFileInfo::exists(base + QStringLiteral(".json")) ||
            QFileInfo::exists(base + QStringLiteral(".lock")))
            continue;
        auto lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) continue;
        m_lock = std::move(lock);
        m_copyPath = base + QStringLiteral(".json");
        return true;
    }
    return false;
}

bool TAutosave::WriteNow() {
    if (!m_window.Modified()) {
        Remove();
        return false;
    }
    const QString text = BoardFile::WriteBoard(m_window.Board(), m_window.GridSize()).Text +
                         AnalyserSetup::Block(&m_window);
    // A board was saved under the copy's name: that file is the user's, the copy moves on.
    if (!m_copyPath.isEmpty() &&
        ((!m_window.FileName().isEmpty() &&
          sameFile(m_window.FileName()) == sameFile(m_copyPath)) ||
         (QFileInfo::exists(m_copyPath) && !readCopy(m_copyPath).Error.isEmpty()))) {
        m_lock.reset();
        m_copyPath.clear();
    }
    if (!m_copyPath.isEmpty() && text == m_lastText && QFileInfo::exists(m_copyPath)) return true;
    QString failure;
    if (!Lock()) {
        failure = QStringLiteral("The folder %1 cannot be written.")
                      .arg(QDir::toNativeSeparators(RecoveryFolder()));
    } else {
        QJsonObject object;
        object.insert(u"format", Format);
        object.insert(u"version", FormatVersion);
        object.insert(u"file", m_window.FileName().isEmpty()
                                   ? QString()
                                   : QFileInfo(m_window.FileName()).absoluteFilePath());
        object.insert(u"pid", QCoreApplication::applicationPid());
        object.insert(u"written", QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        object.insert(u"board", text);
        QSaveFile file(m_copyPath);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) < 0 || !file.commit())
            failure = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_copyPath),
                                                   file.errorString());
    }
    if (!failure.isEmpty()) {
        if (!m_failing) emit WriteFailed(failure);
        m_failing = true;
        return false;
    }
    m_failing = false;
    m_lastText = text;
    return true;
}

void TAutosave::Remove() {
    m_lastText.clear();
    if (m_copyPath.isEmpty()) return;
    // Only a copy: a board the user saved under its name stays.
    if (QFileInfo::exists(m_copyPath) && readCopy(m_copyPath).Error.isEmpty())
        QFile::remove(m_copyPath);
    // The lock stays for the next copy of this window; it goes with the window.
}

QList<TAutosave::TRecoveredBoard> TAutosave::FindRecovered() {
    QList<TRecoveredBoard> found;
    const QDir folder(RecoveryFolder());
    const QFileInfoList copies =
        folder.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time);
    for (const QFileInfo& info : copies) {
        const QString path = info.absoluteFilePath();
        if (path == m_copyPath) continue;
        bool held = false;
        for (const auto& [heldPath, lock] : m_found)
            held = held || heldPath == path;
        if (held) continue;
        // A lock whose process is gone is stale and taken over; a live owner keeps its copy.
        auto lock = std::make_shared<QLockFile>(LockPathOf(path));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) continue;
        m_found.append({path, lock});
        const TCopy copy = readCopy(path);
        found.append(
            {path, copy.BoardFile, copy.Written.isValid() ? copy.Written : info.lastModified()});
    }
    return found;
}

void TAutosave::ReleaseFound(const QString& copyPath, bool remove) {
    for (qsizetype i = 0; i < m_found.size(); ++i) {
        if (m_found[i].first != copyPath) continue;
        if (remove) QFile::remove(copyPath);
        m_found[i].second->unlock();
        m_found.removeAt(i);
        return;
    }
    if (remove) QFile::remove(copyPath);
}

int TAutosave::OfferRecovered() {
    int restored = 0;
    const QList<TRecoveredBoard> found = FindRecovered();
    for (const TRecoveredBoard& board : found) {
        const QString name = board.BoardFile.isEmpty() ? QStringLiteral("An untitled board")
                                                       : QDir::toNativeSeparators(board.BoardFile);
        const QString when = QLocale().toString(board.Written.toLocalTime(), QLocale::ShortFormat);
        const QString text =
            restored == 0
                ? QStringLiteral("%1 had unsaved changes when Brelvan last ended without closing "
                                 "it (recovery copy of %2).\n\nRestore the board, keep the copy "
                                 "for the next start, or discard it?")
                      .arg(name, when)
                : QStringLiteral("%1 had unsaved changes when Brelvan last ended without closing "
                                 "it (recovery copy of %2).\n\nA board was restored in this window "
                                 "already: keep the copy for the next start, or discard it?")
                      .arg(name, when);
        const QStringList buttons =
            restored == 0
                ? QStringList{QStringLiteral("&Restore"), QStringLiteral("&Keep for Later"),
                              QStringLiteral("&Discard")}
                : QStringList{QStringLiteral("&Keep for Later"), QStringLiteral("&Discard")};
        int answer =
            Dialogs().AskChoice(&m_window, QStringLiteral("Recover Boards"), text, buttons);
        if (restored > 0 && answer >= 0) ++answer; // the same meaning without Restore
        if (answer == 0) {
            if (Restore(board.CopyPath))
                ++restored;
            else
                ReleaseFound(board.CopyPath, false);
        } else if (answer == 2) {
            ReleaseFound(board.CopyPath, true);
        } else {
            // Keep for later, and a closed box: nothing is lost.
            ReleaseFound(board.CopyPath, false);
        }
    }
    return restored;
}

bool TAutosave::Restore(const QString& copyPath) {
    const TCopy copy = readCopy(copyPath);
    const QString shown = QDir::toNativeSeparators(copyPath);
    if (!copy.Error.isEmpty()) {
        ShowErrorBox(
            &m_window,
            QStringLiteral("The recovery copy %1 was not restored: %2.").arg(shown, copy.Error));
        return false;
    }
    // Read out of sight first, as Open does: a copy that does not read as a whole leaves the
    // board as it is.
    BoardFile::TReadResult trial;
    {
        ScopedDialogRecorder quiet;
        TBoardSurface scratch(nullptr);
        trial = BoardFile::ReadBoard(&scratch, copy.Text, m_window.GridSize());
        TBoardSurface::DeliverPolishRequests();
        for (TOrvexGraphicComponent* component : scratch.OwnedComponents())
            delete component;
    }
    if (trial.Error) {
        ShowErrorBox(&m_window, QStringLiteral("The recovery copy %1 was not restored.\n\n%2")
                                    .arg(shown, trial.Error->Describe()));
        return false;
    }
    if (trial.Count == 0 && !BoardFile::CleanLine(copy.Text).isEmpty() &&
        !AnalyserSetup::HasBlock(copy.Text)) {
        ShowErrorBox(&m_window, QStringLiteral("The recovery copy %1 was not restored: its board "
                                               "holds no component that can be built.")
                                    .arg(shown));
        return false;
    }
    if (!m_window.QuerySaveChanges() || !m_window.ClearBoard()) return false;
    const BoardFile::TReadResult result =
        BoardFile::ReadBoard(m_window.Board(), copy.Text, m_window.GridSize(),
                             [this](TOrvexGraphicComponent* component) {
                                 component->setToolTip(QString());
                                 m_window.WireComponent(component);
                             });
    // The board belongs to its file again, with its changes still to be saved there.
    m_window.SetFileName(copy.BoardFile);
    m_window.SetModified(true);
    if (!copy.BoardFile.isEmpty()) emit m_window.BoardOpened(copy.BoardFile);
    AnalyserSetup::Load(&m_window, copy.Text);
    ReleaseFound(copyPath, true);
    if (!result.Warnings.isEmpty())
        Dialogs().ShowMessage(&m_window, MessageIcon::Warning, QStringLiteral("Warning"),
                              QStringLiteral("Parts of the recovered board could not be read and "
                                             "were left out:\n\n%1")
                                  .arg(result.Warnings.first().Describe()));
    // The restored changes are safe again only once they are copied.
    if (IntervalMs() > 0) WriteNow();
    return true;
}
