#pragma once

#include <QHash>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class TBoardSurface;
class TOrvexGraphicComponent;
class TOrvexPinDriver;

// One contact of a placed component as wires see it: the component's own contact (not the
// partner its property reads), the property that wires it (empty where none is writable: the pin
// of a pin symbol, a port's pins) and the point of its stub in the component's coordinates.
struct TWireEnd {
    TOrvexGraphicComponent* Component = nullptr;
    TOrvexPinDriver* Contact = nullptr;
    QString Property;
    QPointF Point;
    bool IsValid() const { return Contact != nullptr; }
};

namespace Wires {

// The stubs of ContactStubs with their own contacts and properties.
QList<TWireEnd> EndsOf(TOrvexGraphicComponent* component);
// The end whose stub is nearest to `at` within `radius` pixels, or an invalid end.
TWireEnd EndAt(TOrvexGraphicComponent* component, QPointF at, double radius);
// The wired partners of a contact that are contacts of components (not the hidden rails).
QList<TOrvexPinDriver*> Partners(const TOrvexPinDriver* contact);
// The contact's net: itself and every contact wired to it directly or through further wires.
QList<TOrvexPinDriver*> Net(TOrvexPinDriver* contact);

} // namespace Wires

// The connection lines drawn over the board: a thin line between the stubs of every two wired
// contacts, the rubber line of a wire being drawn and the highlighted net. It covers the board
// and takes no mouse input; the editor's handlers on the components (wire dragging, Disconnect,
// hovering) feed it. Its owner schedules repaints on every change of the board.
class TWireOverlay : public QWidget {
    Q_OBJECT

public:
    explicit TWireOverlay(TBoardSurface* board);

    void SetLinesShown(bool on);
    bool LinesShown() const { return m_linesShown; }
    // Running: lines coloured by the level of their contacts.
    void SetRunning(bool on);
    // The rubber line from a stub to the pointer (board coordinates); cleared with an empty line.
    void SetRubberLine(QPointF from, QPointF to);
    void ClearRubberLine();
    bool HasRubberLine() const { return m_rubber; }
    void SetHighlight(const QList<TOrvexPinDriver*>& net);
    const QList<TOrvexPinDriver*>& Highlight() const { return m_highlight; }
    // Every line drawn the last time, as pairs of board points (the tests' view of the picture).
    const QList<std::pair<QPointF, QPointF>>& Lines() const { return m_lines; }
    // The lines as they stand now, without painting.
    void Collect();
    // Follows the board's size and stays above the components.
    void Follow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TBoardSurface* m_board;
    bool m_linesShown = true;
    bool m_running = false;
    bool m_rubber = false;
    QPointF m_rubberFrom, m_rubberTo;
    QList<TOrvexPinDriver*> m_highlight;
    QList<std::pair<QPointF, QPointF>> m_lines;
    QList<int> m_levels; // per line: the level it shows while running
    QHash<const TOrvexPinDriver*, QPointF> m_points;
};
