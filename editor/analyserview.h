#pragma once

#include <QWidget>

#include "editor/analyser.h"
#include "editor/analyserdialogs.h"

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMimeData;
class QPainter;
class QTimer;

// Draws an analyser's rows over time: labels on the left, a time axis on top, digital rows as
// high/low lines (undefined hatched grey), buses as hex boxes, decoded UART bytes above their row,
// gaps, the start of the kept part, ends of traces and the two cursors. The wheel zooms around the
// pointer, dragging pans; a left click places cursor A, a right or Shift click cursor B; Left and
// Right jump cursor A to the selected row's previous or next edge.
class TAnalyserView : public QWidget {
    Q_OBJECT

public:
    static constexpr int LabelWidth = 130;
    static constexpr int AxisHeight = 22;
    static constexpr int RowHeight = 34;

    explicit TAnalyserView(TAnalyser* analyser, QWidget* parent = nullptr);

    TTimeView& View() { return m_view; }
    int Selected() const { return m_selected; }
    void SetSelected(int row);
    // The width of the time area in pixels.
    int PlotWidth() const { return std::max(1, width() - LabelWidth); }
    void FitAll();
    // Keeps the present at the right edge while on.
    void SetFollow(bool on) { m_follow = on; }
    bool Follow() const { return m_follow; }
    // Scrolls so that the present is in view when following, and repaints.
    void Tick();
    // Paints the whole view at `size` (also for pictures).
    void Render(QPainter& painter, QSize size) const;

    QSize sizeHint() const override { return {700, 200}; }

    // grouping and saving
    // The selected group header (empty when a row or nothing is selected).
    const QString& SelectedGroup() const { return m_selectedGroup; }
    void SelectGroup(const QString& group);
    // The selected row and those Ctrl+clicked with it, in row order.
    QList<int> SelectedRows() const;
    // The view's line under y (-1 above the rows, the number of lines below them).
    int LineAt(int y) const;
    // Where a drop at y puts rows: before which row, in which group.
    std::pair<int, QString> DropPlace(int y) const;
    // Drops trace paths (text, one a line) or dragged rows at y; false when nothing was taken.
    bool Drop(const QMimeData* data, int y);
    static const QString RowsMime; // rows dragged within the view: "row N" or "group NAME"

signals:
    void SelectionChanged(int row);
    void CursorsChanged();
    void EdgeRequested(bool next);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void DrawRow(QPainter& painter, int row, int top, int plotWidth) const;
    void DrawAxis(QPainter& painter, int plotWidth) const;
    void PlaceCursor(QMouseEvent* event);

    TAnalyser* m_analyser;
    TTimeView m_view;
    int m_selected = -1;
    bool m_follow = false;
    QPoint m_pressAt;
    double m_pressStart = 0;
    bool m_dragging = false;
    Qt::MouseButton m_button = Qt::NoButton;
    bool m_shift = false;
    // grouping and saving
    void DrawHeader(QPainter& painter, const QString& group, int top, int plotWidth) const;
    void StartRowDrag();
    QString m_selectedGroup;
    int m_dropY = -1;    // where a drag over the view would insert, or -1
    QList<int> m_marked; // rows Ctrl+clicked besides the selected one
    // decoders
    void DrawLcd(QPainter& painter, int row, int top, int plotWidth) const;
};

// The analyser dock's content: a trace path field with completion, the row commands (remove,
// rename, move, colour, UART), edge jumps, fit and follow, the trigger, exports, and the cursor
// read-out under the view.
class TAnalyserPanel : public QWidget {
    Q_OBJECT

public:
    explicit TAnalyserPanel(TfrmPlugin* window, QWidget* parent = nullptr);

    TAnalyser* Analyser() const { return m_analyser; }
    TAnalyserView* ViewWidget() const { return m_viewWidget; }
    QLineEdit* PathField() const { return m_path; }
    QLabel* Readout() const { return m_readout; }

    // Adds the path in the field; a failure is reported.
    void AddClick();
    bool AddPath(const QString& path);
    void RemoveClick();
    void RenameClick();
    void ColourClick();
    void UartClick();
    void TriggerClick();
    // Moves cursor A to the previous or next edge of the selected row.
    void JumpEdge(bool next);
    // Exports: VCD of the whole recording or between the cursors, the visible view as PNG/SVG.
    // Errors are reported; true on success.
    bool ExportVcd(const QString& fileName, bool betweenCursors);
    bool ExportPicture(const QString& fileName);
    void ExportClick(int what);
    void UpdateReadout();
    void UpdateCompletion();
    // grouping and saving
    // Moves the selected row or group up (-1) or down (1).
    void MoveClick(int by);
    // Puts the selected rows in a group named by the user (an existing name joins it); with a
    // group header selected, renames the group.
    void GroupClick();

private:
    TfrmPlugin* m_window;
    TAnalyser* m_analyser;
    TAnalyserView* m_viewWidget;
    QLineEdit* m_path;
    QLabel* m_readout;
    QAction* m_followBox; // checkable
    QTimer* m_timer;

public:
    // decoders
    // What the settings dialogs give, applied (UartClick, TriggerClick and LcdClick open them).
    void ApplyUart(int row, const TUartSettings& settings);
    void ApplyTrigger(const TAnalyserTrigger& trigger);
    void LcdClick();
    // Adds a row that decodes a character LCD's bus; a failure is reported.
    bool AddLcdRow(const TLcdBusPaths& paths);
};

// Puts the analyser dock in the window, with its toggle in the Firmware menu.
QDockWidget* InstallAnalyser(TfrmPlugin* window);
