// Export Picture, Print, the Help menu and the tool buttons' shortcut tips.
#include "editor/windowextras.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editor/boardfile.h"
#include "editor/boardpicture.h"
#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"

namespace {

// A menu caption as the user reads it: "Save &As..." is "Save As...".
QString plainText(const QAction* action) {
    QString text = action->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

QString keysText(const QList<QKeySequence>& keys) {
    QStringList parts;
    for (const QKeySequence& key : keys)
        if (!key.isEmpty()) parts << key.toString(QKeySequence::NativeText);
    return parts.join(QStringLiteral(", "));
}

const char* const ExtensionOf[] = {"png", "png", "svg"};

} // namespace

TWindowExtras::TWindowExtras(TfrmPlugin& window) : QObject(&window), m_window(window) {
    CreateFileItems();
    CreateHelpMenu();
    m_window.installEventFilter(this);
}

// ---------------------------------------------------------------- pictures and printing

void TWindowExtras::CreateFileItems() {
    QMenu* file = m_window.FileMenu();
    // Before the separator above Exit.
    QAction* before = nullptr;
    for (QAction* action : file->actions())
        if (action->objectName() == u"N1") before = action;

    auto* exportMenu = new QMenu(QStringLiteral("&Export Picture"), file);
    exportMenu->setObjectName(QStringLiteral("mnuExportPicture"));
    const struct {
        const char* name;
        const char* caption;
        PictureFormat format;
    } items[] = {{"miExportPng", "&PNG...", PictureFormat::Png},
                 {"miExportPng2x", "PNG at &Twice the Size...", PictureFormat::Png2x},
                 {"miExportSvg", "&SVG...", PictureFormat::Svg}};
    for (const auto& item : items) {
        QAction* action = exportMenu->addAction(QLatin1String(item.caption));
        action->setObjectName(QLatin1String(item.name));
        const PictureFormat format = item.format;
        connect(action, &QAction::triggered, &m_window,
                [this, format] { m_window.Guard([&] { ExportClick(format); }); });
    }
    exportMenu->addSeparator();
    m_runningLook = exportMenu->addAction(QStringLiteral("As It Looks While &Running"));
    m_runningLook->setObjectName(QStringLiteral("miExportRunningLook"));
    m_runningLook->setCheckable(true);
    file->insertMenu(before, exportMenu);

    QAction* print = new QAction(QStringLiteral("&Print..."), file);
    print->setObjectName(QStringLiteral("miPrint"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, &m_window,
            [this] { m_window.Guard([&] { PrintClick(); }); });
    file->insertAction(before, print);
}

bool TWindowExtras::ExportPicture(const QString& fileName, PictureFormat format, bool runningLook) {
    if (BoardPicture::Area(m_window).isEmpty()) {
        ShowErrorBox(&m_window,
                     QStringLiteral("The board is empty: there is no picture to export."));
        return false;
    }
    // The running look of a board being edited: Run on for the picture, and off again.
    const bool enterRun = runningLook && !m_window.Running();
    if (enterRun) {
        m_window.tbRunClick();
        if (!m_window.Running()) return false; // the board cannot run; Run said why
    }
    QByteArray bytes;
    if (format == PictureFormat::Svg) {
        bytes = BoardPicture::RenderSvg(m_window);
    } else {
        const QImage image = BoardPicture::Render(m_window, format == PictureFormat::Png2x ? 2 : 1);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    if (enterRun && m_window.Running()) m_window.tbRunClick();
    if (bytes.isEmpty()) {
        ShowErrorBox(&m_window, QStringLiteral("The picture of the board could not be drawn."));
        return false;
    }
    if (const QString failure = BoardFile::WriteFile(fileName, bytes); !failure.isEmpty()) {
        ShowErrorBox(&m_window, failure);
        return false;
    }
    return true;
}

void TWindowExtras::ExportClick(PictureFormat format) {
    const QString suffix = QLatin1String(ExtensionOf[int(format)]);
    FileDialogOptions options;
    options.caption = QStringLiteral("Export Picture");
    options.defaultSuffix = suffix;
    options.filter = format == PictureFormat::Svg ? QStringLiteral("SVG drawing (*.svg)")
                                                  : QStringLiteral("PNG picture (*.png)");
    const QFileInfo board(m_window.FileName());
    options.directory = m_window.FileName().isEmpty() ? QStringLiteral(".") : board.absolutePath();
    options.fileName =
        (m_window.FileName().isEmpty() ? QStringLiteral("board") : board.completeBaseName()) +
        QLatin1Char('.') + suffix;
    const QString fileName = Dialogs().SaveFileName(&m_window, options);
    if (!fileName.isEmpty()) ExportPicture(fileName, format, m_runningLook->isChecked());
}

bool TWindowExtras::PrintTo(QPrinter& printer) {
    if (BoardPicture::Area(m_window).isEmpty()) {
        ShowErrorBox(&m_window, QStringLiteral("The board is empty: there is nothing to print."));
        return false;
    }
    if (!BoardPicture::Print(m_window, printer)) {
        ShowErrorBox(&m_window, QStringLiteral("The board could not be printed on %1.")
                                    .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                                         : printer.printerName()));
        return false;
    }
    return true;
}

void TWindowExtras::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_window.DisplayName());
    bool accepted = false;
    if (AskPrinter) {
        accepted = AskPrinter(printer);
    } else {
        QPrintDialog dialog(&printer, &m_window);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (accepted) PrintTo(printer);
}

// ---------------------------------------------------------------- Help

QString TWindowExtras::ExamplesFolder() {
    const QDir folder(QCoreApplication::applicationDirPath() +
                      QStringLiteral("/../share/brelvan/examples"));
    return folder.exists() ? folder.canonicalPath() : QString();
}

QStringList TWindowExtras::ExampleBoards() {
    const QString folder = ExamplesFolder();
    if (folder.isEmpty()) return {};
    QStringList boards;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.ovd")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files)
        boards << info.absoluteFilePath();
    return boards;
}

void TWindowExtras::CreateHelpMenu() {
    m_help = m_window.menuBar()->addMenu(QStringLiteral("&Help"));
    m_help->setObjectName(QStringLiteral("mnuHelp"));
    m_examples = m_help->addMenu(QStringLiteral("&Examples"));
    m_examples->setObjectName(QStringLiteral("mnuExamples"));
    // Filled when it opens: the boards in the folder as they are then.
    connect(m_examples, &QMenu::aboutToShow, this, [this] { FillExamplesMenu(); });
    FillExamplesMenu();
    QAction* shortcuts = m_help->addAction(QStringLiteral("&Keyboard Shortcuts"));
    shortcuts->setObjectName(QStringLiteral("miShortcuts"));
    connect(shortcuts, &QAction::triggered, &m_window,
            [this] { m_window.Guard([&] { ShowShortcuts(); }); });
    m_help->addSeparator();
    QAction* about = m_help->addAction(QStringLiteral("&About Brelvan"));
    about->setObjectName(QStringLiteral("miAbout"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, &m_window,
            [this] { m_window.Guard([&] { ShowAbout(); }); });
}

void TWindowExtras::FillExamplesMenu() {
    m_examples->clear();
    const QStringList boards = ExampleBoards();
    for (const QString& path : boards) {
        QAction* action = m_examples->addAction(
            QFileInfo(path).completeBaseName().replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(path);
        action->setToolTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, &m_window,
                [this, path] { m_window.Guard([&] { m_window.OpenFile(path); }); });
    }
    if (boards.isEmpty()) {
        m_examples->addAction(QStringLiteral("No example boards were installed"))
            ->setEnabled(false);
        return;
    }
    m_examples->addSeparator();
    QAction* browse = m_examples->addAction(QStringLiteral("&Open from the Examples Folder..."));
    connect(browse, &QAction::triggered, &m_window, [this] {
        m_window.Guard([&] {
            FileDialogOptions options;
            options.caption = QStringLiteral("Open Example");
            options.defaultSuffix = QStringLiteral("ovd");
            options.filter = QStringLiteral("Orvex schematic (*.ovd)");
            options.directory = ExamplesFolder();
            if (!m_window.QuerySaveChanges()) return;
            const QString fileName = Dialogs().OpenFileName(&m_window, options);
            if (!fileName.isEmpty()) m_window.LoadFromFile(fileName);
        });
    });
}

QList<QPair<QString, QString>> TWindowExtras::ShortcutList() const {
    QList<QPair<QString, QString>> list;
    QSet<const QObject*> listed;
    std::function<void(const QMenu*, const QString&)> walk = [&](const QMenu* menu,
                                                                 const QString& path) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            const QString name = path + plainText(action);
            if (action->menu()) {
                walk(action->menu(), name + QStringLiteral(" > "));
                continue;
            }
            listed.insert(action);
            if (const QString keys = keysText(action->shortcuts()); !keys.isEmpty())
                list.append({name, keys});
        }
    };
    for (QAction* top : m_window.menuBar()->actions())
        if (top->menu()) walk(top->menu(), plainText(top) + QStringLiteral(" > "));
    // Commands that have no menu item: tool bar actions and the window's own shortcuts.
    const QList<QAction*> actions = m_window.findChildren<QAction*>();
    for (const QAction* action : actions) {
        if (listed.contains(action) || action->menu()) continue;
        if (const QString keys = keysText(action->shortcuts()); !keys.isEmpty()) {
            listed.insert(action);
            list.append({plainText(action), keys});
        }
    }
    const QList<QShortcut*> shortcuts = m_window.findChildren<QShortcut*>();
    for (const QShortcut* shortcut : shortcuts) {
        const QString keys = keysText(shortcut->keys());
        if (keys.isEmpty()) continue;
        const QString name =
            !shortcut->whatsThis().isEmpty() ? shortcut->whatsThis() : shortcut->objectName();
        list.append({name.isEmpty() ? QStringLiteral("(unnamed)") : name, keys});
    }
    return list;
}

void TWindowExtras::ShowShortcuts() {
    if (!m_shortcuts) {
        m_shortcuts = new QDialog(&m_window);
        m_shortcuts->setObjectName(QStringLiteral("frmShortcuts"));
        m_shortcuts->setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
        auto* layout = new QVBoxLayout(m_shortcuts);
        m_shortcutTree = new QTreeWidget(m_shortcuts);
        m_shortcutTree->setColumnCount(2);
        m_shortcutTree->setHeaderLabels({QStringLiteral("Command"), QStringLiteral("Keys")});
        m_shortcutTree->setRootIsDecorated(false);
        m_shortcutTree->setAlternatingRowColors(true);
        m_shortcutTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        m_shortcutTree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        m_shortcutTree->header()->setStretchLastSection(false);
        layout->addWidget(m_shortcutTree);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_shortcuts);
        connect(buttons, &QDialogButtonBox::rejected, m_shortcuts, &QDialog::hide);
        layout->addWidget(buttons);
        m_shortcuts->resize(520, 560);
    }
    // Built anew every time: commands added since are listed too.
    m_shortcutTree->clear();
    for (const auto& [command, keys] : ShortcutList())
        m_shortcutTree->addTopLevelItem(new QTreeWidgetItem({command, keys}));
    m_shortcuts->show();
    m_shortcuts->raise();
}

QString TWindowExtras::AboutText() {
    return QStringLiteral("Brelvan %1\n\nEditor and simulator of peripheral boards for 8051 "
                          "microcontrollers.\n\nBuilt with Qt %2, running on Qt %3.\n\n"
                          "Released under the MIT licence.")
        .arg(QStringLiteral(BRELVAN_VERSION), QStringLiteral(QT_VERSION_STR),
             QString::fromLatin1(qVersion()));
}

void TWindowExtras::ShowAbout() {
    Dialogs().ShowMessage(&m_window, MessageIcon::Information, QStringLiteral("About Brelvan"),
                          AboutText());
}

// ---------------------------------------------------------------- shortcut tips

QString TWindowExtras::ToolTipWithShortcut(const QToolButton* button) {
    const QString tip = button->toolTip();
    const QAction* action = button->defaultAction();
    const QString keys =
        keysText(action ? action->shortcuts() : QList<QKeySequence>{button->shortcut()});
    if (keys.isEmpty() || tip.isEmpty() || tip.contains(keys)) return tip;
    return QStringLiteral("%1 (%2)").arg(tip, keys);
}

void TWindowExtras::WatchWindow() {
    const QList<QToolBar*> bars = m_window.findChildren<QToolBar*>();
    for (QToolBar* bar : bars) {
        bar->installEventFilter(this);
        const QList<QToolButton*> buttons = bar->findChildren<QToolButton*>();
        for (QToolButton* button : buttons)
            button->installEventFilter(this);
    }
    // Menus other parts add after this one come before Help all the same.
    QMenuBar* bar = m_window.menuBar();
    if (!bar->actions().isEmpty() && bar->actions().last() != m_help->menuAction()) {
        bar->removeAction(m_help->menuAction());
        bar->addAction(m_help->menuAction());
    }
}

bool TWindowExtras::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window) {
        if (event->type() == QEvent::Show || event->type() == QEvent::Polish) WatchWindow();
        return false;
    }
    if (event->type() == QEvent::ChildAdded && qobject_cast<QToolBar*>(watched)) {
        if (auto* button = qobject_cast<QToolButton*>(static_cast<QChildEvent*>(event)->child()))
            button->installEventFilter(this);
        return false;
    }
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            const QString tip = ToolTipWithShortcut(button);
            if (tip != button->toolTip()) {
                QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, button);
                return true;
            }
        }
    }
    return false;
}
