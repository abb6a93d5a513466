// Recovery copies: written while a board is modified, never over its file, gone after a save or a
// close, and offered back after the program was killed.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include "editor/analyser.h"
#include "editor/autosave.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "tests/support/windowfixture.h"

namespace {

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString boardText(const TfrmPlugin& window) {
    return BoardFile::WriteBoard(window.Board(), window.GridSize()).Text;
}

QStringList copiesOnDisk() {
    return QDir(TAutosave::RecoveryFolder()).entryList({QStringLiteral("*.json")}, QDir::Files);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir m_data;  // the user's data folder
    QTemporaryDir m_files; // the user's boards
    ScratchSettings m_settings;

    // A copy of an example board the user edits.
    QString userBoard(const QString& name = QStringLiteral("switch_led.ovd")) {
        const QString path = m_files.filePath(name);
        QFile::remove(path);
        if (!QFile::copy(QStringLiteral(BOARDS_DIR "/") + name, path)) return {};
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // Opens the board in the fixture's window and changes it.
    static void openAndEdit(WindowFixture& f, const QString& path) {
        QVERIFY(f.window->LoadFromFile(path));
        TOrvexGraphicComponent* first = f.board()->OwnedComponents().value(0);
        QVERIFY(first);
        f.window->WritePropertyText(first, QStringLiteral("Left"),
                                    QString::number(first->x() + 4 * f.window->GridSize()));
        QVERIFY(f.window->Modified());
    }

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid() && m_files.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    }

    void cleanup() {
        // Every test starts without copies.
        const QStringList copies = copiesOnDisk();
        for (const QString& name : copies)
            QFile::remove(TAutosave::RecoveryFolder() + QLatin1Char('/') + name);
    }

    // A killed program leaves its copy; while it ran, no other instance could take it; the next
    // start restores exactly the edited board, named after its file and still to be saved.
    void restoresTheBoardOfAKilledProgram() {
        const QString path = userBoard();
        const QByteArray original = bytesOf(path);
        const QString edited = m_files.filePath(QStringLiteral("edited.ovd"));
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(RECOVERY_CHILD), {path, edited});
        QVERIFY(child.waitForStarted());
        QString copy;
        QDeadlineTimer deadline(30000);
        while (copy.isEmpty() && !deadline.hasExpired() && child.state() == QProcess::Running) {
            child.waitForReadyRead(200);
            copy = QString::fromLocal8Bit(child.readLine()).trimmed();
        }
        QVERIFY2(!copy.isEmpty(), "the child wrote no recovery copy");
        QVERIFY(copy.startsWith(TAutosave::RecoveryFolder()));

        {
            // Another instance while the owner lives: its copy is not for the taking.
            WindowFixture other;
            QVERIFY(other.window->Autosave()->FindRecovered().isEmpty());
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(QFile::exists(copy));
        QCOMPARE(bytesOf(path), original);

        WindowFixture f;
        f.dialogs->choiceAnswers = {0}; // Restore
        QCOMPARE(f.window->Autosave()->OfferRecovered(), 1);
        QCOMPARE(f.dialogs->choiceQuestions.size(), 1);
        QVERIFY(f.dialogs->choiceQuestions[0].contains(QDir::toNativeSeparators(path)));
        QCOMPARE(boardText(*f.window), QString::fromUtf8(bytesOf(edited)));
        QCOMPARE(f.window->FileName(), path);
        QVERIFY(f.window->Modified());
        QVERIFY(!QFile::exists(copy));
        QCOMPARE(bytesOf(path), original); // saving is the user's choice

        // Saved, the restored board is the edited one on disk.
        const QString saved = m_files.filePath(QStringLiteral("restored.ovd"));
        QVERIFY(f.window->SaveToFile(saved));
        QCOMPARE(bytesOf(saved), bytesOf(edited));
    }

    // The copy lies in the data folder and names the board's file; the user's file keeps its
    // bytes, even when the user saved a board under the copy's own name.
    void copyNeverOverwritesTheUsersFile() {
        const QString path = userBoard();
        const QByteArray original = bytesOf(path);
        WindowFixture f;
        TAutosave* autosave = f.window->Autosave();
        openAndEdit(f, path);
        QVERIFY(autosave->WriteNow());
        const QString copy = autosave->CopyPath();
        QVERIFY(copy.startsWith(TAutosave::RecoveryFolder() + QLatin1Char('/')));
        QCOMPARE(bytesOf(path), original);
        const QJsonObject object = QJsonDocument::fromJson(bytesOf(copy)).object();
        QCOMPARE(object.value(u"file").toString(), path);
        QCOMPARE(object.value(u"board").toString(), boardText(*f.window));

        // The board saved over its own copy's name, then changed again.
        f.dialogs->saveAnswers = {copy};
        f.window->miSaveAsClick();
        QCOMPARE(f.window->FileName(), copy);
        const QByteArray userBytes = bytesOf(copy);
        QVERIFY(userBytes.startsWith("object "));
        openAndEdit(f, copy);
        QCOMPARE(bytesOf(copy), userBytes);
        QSignalSpy failed(autosave, &TAutosave::WriteFailed);
        QVERIFY(autosave->WriteNow());
        QVERIFY(autosave->CopyPath() != copy);
        QCOMPARE(bytesOf(copy), userBytes);
        QCOMPARE(failed.size(), 0);
        // Closed, the window removes its copy and leaves the user's file.
        f.dialogs->saveQuestionAnswers = {SaveAnswer::Discard};
        QVERIFY(f.window->close());
        QCOMPARE(bytesOf(copy), userBytes);
    }

    // What ends the need for a copy removes it.
    void endOfChangesRemovesTheCopy_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("save") << "save";
        QTest::newRow("undo to the saved board") << "undo";
        QTest::newRow("new, discarding") << "new";
        QTest::newRow("close, discarding") << "close";
    }
    void endOfChangesRemovesTheCopy() {
        QFETCH(QString, how);
        const QString path = userBoard();
        WindowFixture f;
        openAndEdit(f, path);
        QVERIFY(f.window->Autosave()->WriteNow());
        const QString copy = f.window->Autosave()->CopyPath();
        QVERIFY(QFile::exists(copy));
        if (how == u"save") {
            f.window->miSaveClick();
        } else if (how == u"undo") {
            f.undo()->undo();
        } else if (how == u"new") {
            f.dialogs->saveQuestionAnswers = {SaveAnswer::Discard};
            f.window->miNewClick();
        } else {
            f.dialogs->saveQuestionAnswers = {SaveAnswer::Discard};
            QVERIFY(f.window->close());
        }
        QVERIFY(!f.window->Modified());
        QVERIFY(!QFile::exists(copy));
        // A board not modified is not copied.
        QVERIFY(!f.window->Autosave()->WriteNow());
        QVERIFY(copiesOnDisk().isEmpty());
    }

    // The timer writes the copy while the board is modified, and a later change updates it.
    void timerKeepsTheCopyCurrent() {
        const QString path = userBoard();
        WindowFixture f;
        TAutosave* autosave = f.window->Autosave();
        autosave->Start(20);
        QCOMPARE(autosave->IntervalMs(), 20);
        openAndEdit(f, path);
        QTRY_VERIFY(!autosave->CopyPath().isEmpty() && QFile::exists(autosave->CopyPath()));
        const QString copy = autosave->CopyPath();
        TOrvexGraphicComponent* first = f.board()->OwnedComponents().value(0);
        f.window->WritePropertyText(first, QStringLiteral("Top"), QString::number(first->y() + 40));
        const QString now = boardText(*f.window);
        QTRY_COMPARE(QJsonDocument::fromJson(bytesOf(copy)).object().value(u"board").toString(),
                     now);
        autosave->Start(0);
        QCOMPARE(autosave->IntervalMs(), 0);
    }

    // Keep for later leaves the copy for the next start; Discard removes it; a closed box keeps.
    void keepAndDiscard_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("kept");
        QTest::newRow("keep for later") << 1 << true;
        QTest::newRow("discard") << 2 << false;
        QTest::newRow("box closed") << -1 << true;
    }
    void keepAndDiscard() {
        QFETCH(int, answer);
        QFETCH(bool, kept);
        QDir().mkpath(TAutosave::RecoveryFolder());
        // An orphan: a copy whose owner left no lock.
        const QString copy = TAutosave::RecoveryFolder() + QStringLiteral("/999999-1.json");
        {
            WindowFixture writer;
            openAndEdit(writer, userBoard());
            QVERIFY(writer.window->Autosave()->WriteNow());
            QVERIFY(QFile::copy(writer.window->Autosave()->CopyPath(), copy));
        }
        QCOMPARE(copiesOnDisk(), QStringList{QStringLiteral("999999-1.json")});
        WindowFixture f;
        f.dialogs->choiceAnswers = {answer};
        QCOMPARE(f.window->Autosave()->OfferRecovered(), 0);
        QCOMPARE(f.dialogs->choiceQuestions.size(), 1);
        QCOMPARE(QFile::exists(copy), kept);
        QVERIFY(f.board()->OwnedComponents().isEmpty());
        // Kept, it is offered again, and the lock taken for the question was let go.
        WindowFixture next;
        QCOMPARE(next.window->Autosave()->FindRecovered().size(), kept ? 1 : 0);
    }

    // The analyser's rows belong to the board: a copy keeps them and restoring brings them back.
    void copyKeepsAnalyserRows() {
        QDir().mkpath(TAutosave::RecoveryFolder());
        const QString copy = TAutosave::RecoveryFolder() + QStringLiteral("/999998-1.json");
        {
            WindowFixture writer;
            openAndEdit(writer, userBoard());
            TAnalyser* analyser = writer.window->findChild<TAnalyser*>();
            QVERIFY(analyser->AddPath(QStringLiteral("Host.P1.3"), nullptr));
            analyser->Row(0).Label = QStringLiteral("Clock");
            QVERIFY(writer.window->Autosave()->WriteNow());
            QVERIFY(QFile::copy(writer.window->Autosave()->CopyPath(), copy));
        }
        WindowFixture f;
        f.dialogs->choiceAnswers = {0}; // Restore
        QCOMPARE(f.window->Autosave()->OfferRecovered(), 1);
        const TAnalyser* analyser = f.window->findChild<TAnalyser*>();
        QCOMPARE(analyser->Rows().size(), 1);
        QCOMPARE(analyser->Rows()[0].Label, QStringLiteral("Clock"));
        QCOMPARE(analyser->RowPath(0), QStringLiteral("Host.P1.3"));
    }

    // A damaged copy is reported, kept, and leaves the board alone.
    void damagedCopyIsReported_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("object LED1: TLED\r\nend\r\n");
        QTest::newRow("another format") << QByteArray(R"({"format":"x","version":1,"board":""})");
        QTest::newRow("board unreadable")
            << QByteArray(R"({"format":"brelvan-recovery","version":1,"file":"",)"
                          R"("board":"this is not a board"})");
    }
    void damagedCopyIsReported() {
        QFETCH(QByteArray, bytes);
        QDir().mkpath(TAutosave::RecoveryFolder());
        const QString copy = TAutosave::RecoveryFolder() + QStringLiteral("/999998-1.json");
        QFile file(copy);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        WindowFixture f;
        openAndEdit(f, userBoard());
        const QString before = boardText(*f.window);
        f.dialogs->choiceAnswers = {0};
        QCOMPARE(f.window->Autosave()->OfferRecovered(), 0);
        QVERIFY(f.dialogs->LastText().contains(QStringLiteral("was not restored")));
        QVERIFY(QFile::exists(copy));
        QCOMPARE(boardText(*f.window), before);
        QVERIFY(f.window->Modified());
    }
};

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
