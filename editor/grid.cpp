// The grid of the main window's board.
#include "editor/grid.h"

#include <QPainter>
#include <optional>

#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"

TBoardGrid::TBoardGrid(TfrmPlugin& window) : m_window(window) {}

void TBoardGrid::SetSize(int size) {
    m_size = qBound(1, size, TfrmPlugin::MaxGridSize);
    m_window.Board()->update();
}

void TBoardGrid::AskSize() {
    const std::optional<QString> answer = Dialogs().InputText(
        &m_window, QStringLiteral("Grid size"),
        QStringLiteral("Specify grid size value. Can be also changed using your mouse wheel and "
                       "holding CTRL key."),
        QString::number(m_size));
    if (!answer) return;
    bool ok = false;
    const int size = answer->trimmed().toInt(&ok, 10);
    if (!ok) {
        m_window.MessageError(QStringLiteral("Wrong value!"));
        return;
    }
    SetSize(size);
}

bool TBoardGrid::Wheel(int angleDelta, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier)) return false;
    // Whole notches of 120; a finer wheel adds up its turns until they make one.
    m_wheelRest += angleDelta;
    const int notches = m_wheelRest / 120;
    m_wheelRest -= notches * 120;
    SetSize(m_size + notches);
    return true;
}

void TBoardGrid::Paint(QPainter& painter, const QRect& exposed) {
    if (m_window.Running() || m_size < 2) return;
    TBoardSurface* board = m_window.Board();
    const QColor window = board->palette().color(QPalette::Window);
    const int g = m_size;
    const QRect all = board->rect();
    int side = g;
    while (side < 8)
        side *= 2;
    if (side <= 256) {
        if (m_tile.isNull() || m_tileSize != g || m_tileColor != window) {
            QImage tile(side, side, QImage::Format_RGB32);
            tile.fill(window);
            for (int y = 0; y < side; y += g)
                for (int x = 0; x < side; x += g)
                    tile.setPixelColor(x, y, Qt::black);
            m_tile = QPixmap::fromImage(tile);
            m_tileSize = g;
            m_tileColor = window;
        }
        painter.fillRect(all.adjusted(1, 1, -1, -1), QBrush(m_tile));
    } else {
        // A tile this large would cost more than the few dots it holds.
        const QRect area = exposed.intersected(all);
        painter.setPen(Qt::black);
        for (int y = (area.top() + g - 1) / g * g; y <= area.bottom(); y += g)
            for (int x = (area.left() + g - 1) / g * g; x <= area.right(); x += g)
                painter.drawPoint(x, y);
    }
    painter.setPen(QPen(window, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
}
