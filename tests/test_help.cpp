// The Help menu: the example boards, the keyboard shortcuts as the window's actions have them,
// About; and the shortcut in a tool button's tip.
#include <QDialog>
#include <QMenuBar>
#include <QShortcut>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "editor/brelvanfrm.h"
#include "editor/windowextras.h"
#include "tests/support/windowfixture.h"

namespace {

QString keysFor(const QList<QPair<QString, QString>>& list, const QString& command) {
    for (const auto& [name, keys] : list)
        if (name == command) return keys;
    return QStringLiteral("<not listed>");
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    ScratchSettings m_settings;

private slots:
    // Menu items by their path, commands without a menu item by their name; what is added after
    // the window was made is listed too, and the Help menu stays last.
    void shortcutsComeFromTheActions() {
        WindowFixture f;
        TWindowExtras* extras = f.window->Extras();
        auto list = extras->ShortcutList();
        QCOMPARE(keysFor(list, QStringLiteral("File > Save")), QStringLiteral("Ctrl+S"));
        QCOMPARE(keysFor(list, QStringLiteral("File > Print...")), QStringLiteral("Ctrl+P"));
        QCOMPARE(keysFor(list, QStringLiteral("Edit > Redo")),
                 QStringLiteral("Ctrl+Shift+Z, Ctrl+Y"));
        QCOMPARE(keysFor(list, QStringLiteral("View > Show/Hide properties window")),
                 QStringLiteral("F4"));
        QCOMPARE(keysFor(list, QStringLiteral("Debug > Step Into")), QStringLiteral("F11"));
        QCOMPARE(keysFor(list, QStringLiteral("File > Save As")), QStringLiteral("<not listed>"));

        // Another part's menu, a tool-bar-only command and a bare shortcut, added later.
        QMenu* later = f.window->menuBar()->addMenu(QStringLiteral("&Probe"));
        later->addAction(QStringLiteral("&Trace"))->setShortcut(QKeySequence(Qt::Key_F3));
        auto* toolOnly = new QAction(QStringLiteral("Zoom &In"), f.window.get());
        toolOnly->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
        f.window->ToolBar()->addAction(toolOnly);
        auto* bare = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_G), f.window.get());
        bare->setWhatsThis(QStringLiteral("Go to the grid"));
        list = extras->ShortcutList();
        QCOMPARE(keysFor(list, QStringLiteral("Probe > Trace")), QStringLiteral("F3"));
        QCOMPARE(keysFor(list, QStringLiteral("Zoom In")), QStringLiteral("Ctrl++"));
        QCOMPARE(keysFor(list, QStringLiteral("Go to the grid")), QStringLiteral("Alt+G"));
        for (qsizetype i = 0; i < list.size(); ++i)
            for (qsizetype j = i + 1; j < list.size(); ++j)
                QVERIFY2(list[i] != list[j], qPrintable(list[i].first));

        extras->ShowShortcuts();
        QDialog* window = extras->ShortcutsWindow();
        QVERIFY(window && window->isVisible());
        auto* tree = window->findChild<QTreeWidget*>();
        QVERIFY(tree);
        QCOMPARE(tree->topLevelItemCount(), int(list.size()));

        f.window->hide();
        f.window->show();
        QCOMPARE(f.window->menuBar()->actions().last(), extras->HelpMenu()->menuAction());
    }

    void aboutNamesVersionQtAndLicence() {
        WindowFixture f;
        f.window->Extras()->HelpMenu()->findChild<QAction*>(QStringLiteral("miAbout"))->trigger();
        QCOMPARE(f.dialogs->messages.size(), 1);
        const QString text = f.dialogs->LastText();
        QVERIFY(text.contains(QStringLiteral("Brelvan " BRELVAN_VERSION)));
        QVERIFY(text.contains(QString::fromLatin1(qVersion())));
        QVERIFY(text.contains(QStringLiteral("MIT")));
    }

    // The build tree has its examples where an installed program has them; the menu opens them.
    void examplesOpenFromTheMenu() {
        WindowFixture f;
        const QStringList boards = TWindowExtras::ExampleBoards();
        QVERIFY(!boards.isEmpty());
        QVERIFY(boards.contains(TWindowExtras::ExamplesFolder() + QStringLiteral("/blink.ovd")));
        QMenu* examples =
            f.window->Extras()->HelpMenu()->findChild<QMenu*>(QStringLiteral("mnuExamples"));
        QVERIFY(examples);
        emit examples->aboutToShow();
        QAction* blink = nullptr;
        for (QAction* action : examples->actions())
            if (action->data().toString().endsWith(QStringLiteral("/blink.ovd"))) blink = action;
        QVERIFY(blink);
        blink->trigger();
        QVERIFY(f.window->FileName().endsWith(QStringLiteral("/blink.ovd")));
        QVERIFY(!f.board()->OwnedComponents().isEmpty());
    }

    // The tip of a tool button names the shortcut of its command, once; one without keeps its tip.
    void toolTipsShowShortcuts() {
        WindowFixture f;
        QToolButton* withKeys = nullptr;
        const QList<QToolBar*> bars = f.window->findChildren<QToolBar*>();
        for (QToolBar* bar : bars)
            for (QToolButton* button : bar->findChildren<QToolButton*>())
                if (button->defaultAction() && !button->defaultAction()->shortcut().isEmpty())
                    withKeys = button;
        QVERIFY(withKeys);
        const QString keys =
            withKeys->defaultAction()->shortcut().toString(QKeySequence::NativeText);
        const QString tip = TWindowExtras::ToolTipWithShortcut(withKeys);
        QCOMPARE(tip, withKeys->toolTip() + QStringLiteral(" (") + keys + QStringLiteral(")"));
        // A tip that names its keys already is left alone.
        withKeys->defaultAction()->setToolTip(tip);
        QCOMPARE(TWindowExtras::ToolTipWithShortcut(withKeys), tip);
        QCOMPARE(TWindowExtras::ToolTipWithShortcut(f.window->RunButton()),
                 f.window->RunButton()->toolTip());
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
