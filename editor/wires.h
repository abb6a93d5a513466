#pragma once

#include <QHash>
#include <QImage>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <functional>

class QPainter;
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
// The end whose stub is nearest to `at` within `radius` pixels (the last of equally near ones),
// or an invalid end.
TWireEnd NearestEnd(const QList<TWireEnd>& ends, QPointF at, double radius);
TWireEnd EndAt(TOrvexGraphicComponent* component, QPointF at, double radius);
// The wired partners of a contact that are contacts of components (not the hidden rails).
QList<TOrvexPinDriver*> Partners(const TOrvexPinDriver* contact);
// The contact's net: itself and every contact wired to it directly or through further wires.
QList<TOrvexPinDriver*> Net(TOrvexPinDriver* contact);

} // namespace Wires

// The connection lines drawn over the board: a thin line between the stubs of every two wired
// contacts, the rubber line of a wire being drawn and the highlighted net. It covers the board
// and takes no mouse input; the editor's handlers on the components (wire dragging, Disconnect,
// hovering) feed it.
//
// Finding the stubs and the wired pairs reads every component's properties and contact lists, far
// too slow for every repaint of a large board: both are kept until the owner reports a change
// that alters them. Positions are not kept: each line is drawn from its components' positions as
// they are at the paint, so a moved component never leaves its lines behind.
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
    // The ring of the contact end under the pointer (board coordinates): the end a press there
    // starts a wire from, or a release there ends one at.
    void SetHoverEnd(QPointF at);
    void ClearHoverEnd();
    bool HasHoverEnd() const { return m_hoverEnd; }
    QPointF HoverEnd() const { return m_hoverAt; }
    // The ends that take a wire and have none, as board points (their rings while editing).
    QList<QPointF> OpenEnds();
    static constexpr double OpenEndRadius = 2.5;
    static constexpr double HoverEndRadius = 7.0;

    void SetHighlight(const QList<TOrvexPinDriver*>& net);
    const QList<TOrvexPinDriver*>& Highlight() const { return m_highlight; }
    // Every line drawn the last time, as pairs of board points (the tests' view of the picture).
    const QList<std::pair<QPointF, QPointF>>& Lines() const { return m_lines; }
    // The lines as they stand now, without painting.
    void Collect();
    // Follows the board's size and stays above the components.
    void Follow();

    // The ends of a component as Wires::EndsOf finds them, kept until a change is reported.
    const QList<TWireEnd>& EndsOf(TOrvexGraphicComponent* component);
    TWireEnd EndAt(TOrvexGraphicComponent* component, QPointF at, double radius);

    // Changes reported by the owner. Anything may have changed its wires or stubs (a property
    // write, an undo step, a component placed, deleted or shown, a file read): all is found anew.
    void Invalidate();
    // The component's size changed: its stubs moved within it.
    void ComponentResized(TOrvexGraphicComponent* component);
    // The component moved: only its lines are repainted.
    void ComponentMoved(TOrvexGraphicComponent* component);
    // Running: repaints the lines whose level changed since they were drawn.
    void LevelsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A wire between two stubs; its ends in their components' coordinates.
    struct TLine {
        TOrvexGraphicComponent* ComponentA;
        TOrvexGraphicComponent* ComponentB;
        TOrvexPinDriver* A;
        TOrvexPinDriver* B;
        QPointF PointA, PointB;
        QLineF Shown;   // where it was drawn last, or is to be drawn by a pending repaint
        int Level = -1; // the level it was drawn in while running
    };
    // A stub on the board: its component and its point there.
    struct TStub {
        TOrvexGraphicComponent* Component;
        QPointF Point;
    };

    void EnsureLines();
    // The lines of the LCD modules to the ports and pins they name.
    void AddModuleLines();
    QLineF Current(const TLine& line) const;
    QPointF BoardPoint(const TStub& stub) const;
    void UpdateLine(TLine& line);
    // The lines (and their end dots) whose extents meet `within`.
    void DrawLines(QPainter& painter, const QRect& within);

    TBoardSurface* m_board;
    bool m_linesShown = true;
    bool m_running = false;
    bool m_rubber = false;
    QPointF m_rubberFrom, m_rubberTo;
    QList<TOrvexPinDriver*> m_highlight;
    QList<std::pair<QPointF, QPointF>> m_lines;

    QHash<const TOrvexGraphicComponent*, QList<TWireEnd>> m_ends;
    bool m_linesValid = false;
    QList<TLine> m_wireLines;
    QHash<const TOrvexGraphicComponent*, QList<qsizetype>> m_linesOf; // indices into m_wireLines
    QHash<const TOrvexPinDriver*, TStub> m_stubs;                     // every visible stub
    QList<TStub> m_openEnds; // the visible stubs of contacts without a wire
    bool m_hoverEnd = false;
    QPointF m_hoverAt;

    // The lines drawn while editing, kept for repaints; a board larger than LayerPixels is drawn
    // directly instead. What changed since the last paint is drawn again there.
    static constexpr qint64 LayerPixels = 8 * 1024 * 1024;
    QImage m_layer;
    QRegion m_layerDirty;
    bool m_layerAll = true;
};
