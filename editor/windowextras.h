#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QDialog;
class QMenu;
class QPrinter;
class QToolButton;
class QTreeWidget;
class TfrmPlugin;

// What the window offers beyond editing: File > Export Picture (PNG at the board's size or twice
// it, SVG; in the editing look or as the board looks while running) and File > Print, the Help
// menu (the example boards, every keyboard shortcut, About), and the shortcut in the tool tip of
// every tool button whose command has one.
class TWindowExtras : public QObject {
    Q_OBJECT

public:
    enum class PictureFormat { Png, Png2x, Svg };

    explicit TWindowExtras(TfrmPlugin& window);

    // The example boards: <program folder>/../share/brelvan/examples, as installed and as in the
    // build tree. Empty when there is none.
    static QString ExamplesFolder();
    // The example boards (full paths, sorted by name).
    static QStringList ExampleBoards();

    // Writes the board's picture to the file; false (and an error box) when there is nothing to
    // export or the file cannot be written. runningLook shows the board as Run shows it; a board
    // being edited goes into Run for the picture and comes back.
    bool ExportPicture(const QString& fileName, PictureFormat format, bool runningLook);
    // Prints the board on the printer (page fit); false with an error box on failure.
    bool PrintTo(QPrinter& printer);
    // Asks where to print: the print dialog unless a test puts its own answer here.
    std::function<bool(QPrinter&)> AskPrinter;

    QMenu* HelpMenu() const { return m_help; }
    QAction* RunningLookItem() const { return m_runningLook; }
    // The list Help > Keyboard Shortcuts shows, from the window's actions as they are now:
    // "Menu > Item", then the keys ("Ctrl+S, Ctrl+Shift+S").
    QList<QPair<QString, QString>> ShortcutList() const;
    // The open Keyboard Shortcuts window, or nullptr.
    QDialog* ShortcutsWindow() const { return m_shortcuts; }
    void ShowShortcuts();
    void ShowAbout();
    // The text of About: version, Qt version, licence.
    static QString AboutText();
    // A tool button's tool tip with the shortcut of its command, if any: "Reset (Ctrl+R)".
    static QString ToolTipWithShortcut(const QToolButton* button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateFileItems();
    void CreateHelpMenu();
    void FillExamplesMenu();
    void ExportClick(PictureFormat format);
    void PrintClick();
    // Tool buttons get the filter that shows their shortcut; the Help menu goes last.
    void WatchWindow();

    TfrmPlugin& m_window;
    QMenu* m_help = nullptr;
    QMenu* m_examples = nullptr;
    QAction* m_runningLook = nullptr;
    QDialog* m_shortcuts = nullptr;
    QTreeWidget* m_shortcutTree = nullptr;
};
