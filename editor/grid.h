#pragma once

#include <QColor>
#include <QPixmap>

class QPainter;
class QRect;
class TfrmPlugin;

// The main window's grid: the step that placing, moving and resizing snap to, the dots drawn on
// the board while editing, and its changes from the View menu and the Ctrl + wheel.
class TBoardGrid {
public:
    explicit TBoardGrid(TfrmPlugin& window);

    int Size() const { return m_size; }
    // Clamped to 1..TfrmPlugin::MaxGridSize; repaints the board.
    void SetSize(int size);
    // Asks for the size (View > Grid size).
    void AskSize();
    // The wheel over the board. With Ctrl held it changes the grid size by one per notch and
    // returns true (taken); otherwise false, and the board scrolls.
    bool Wheel(int angleDelta, Qt::KeyboardModifiers modifiers);
    // The dots over the board's background, while editing.
    void Paint(QPainter& painter, const QRect& exposed);

private:
    TfrmPlugin& m_window;
    int m_size = 4;
    int m_wheelRest = 0; // wheel turn below one notch (high-resolution wheels)
    QPixmap m_tile;
    int m_tileSize = 0;
    QColor m_tileColor;
};
