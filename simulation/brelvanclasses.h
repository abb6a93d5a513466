#pragma once

#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

// The rubber band with which the user selects several components on the board.
//
// Hidden except during a drag. Start covers the parent with a snapshot of it, so the components
// are not repainted while the band moves over them; the band itself is drawn with an XOR pen, so
// it shows on any background. The rectangle is kept in the parent's coordinates: while dragging,
// LeftL/TopL are the anchor; after Finish the rectangle is normalised and stays until the next
// Start. It lets every mouse event through to the board underneath, which keeps its implicit
// mouse grab and feeds the band its positions through MoveTo and Finish.
class TSelectRect : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int TopL READ TopL WRITE SetTopL)
    Q_PROPERTY(int LeftL READ LeftL WRITE SetLeftL)
    Q_PROPERTY(int WidthL READ WidthL WRITE SetWidthL)
    Q_PROPERTY(int HeightL READ HeightL WRITE SetHeightL)

public:
    // Created hidden; the parent is the board.
    explicit TSelectRect(QWidget* parent = nullptr);

    int TopL() const { return m_top; }
    void SetTopL(int value) { m_top = value; }
    int LeftL() const { return m_left; }
    void SetLeftL(int value) { m_left = value; }
    int WidthL() const { return m_width; }
    void SetWidthL(int value) { m_width = value; }
    int HeightL() const { return m_height; }
    void SetHeightL(int value) { m_height = value; }

    // Begins a drag anchored at (LeftL, TopL), the pointer at (LeftL + WidthL, TopL + HeightL):
    // the control takes the whole of its parent, snapshots it and shows itself over it.
    void Start();
    // The pointer moved to pos (parent coordinates) during the drag: the band follows.
    void MoveTo(const QPoint& pos);
    // Ends the drag with the pointer at pos (parent coordinates), or where it was last seen:
    // hides the control and makes the rectangle run from the anchor to the pointer, with
    // non-negative width and height whichever way it was dragged. Returns false, changing
    // nothing, when no drag was under way (a second Finish, or one without Start): a caller
    // collecting the selection must not take it from a stale rectangle then.
    bool Finish(const QPoint& pos);
    bool Finish();
    // True from Start to Finish.
    bool Active() const { return m_active; }
    // The pointer position of the drag (parent coordinates).
    QPoint MousePos() const { return m_mouse; }
    // What the control shows under the band; the size of the control, taken at Start.
    const QPixmap& Snapshot() const { return m_snapshot; }

    // True when control, a sibling of this control, lies wholly inside the rectangle; touching
    // edges count as inside.
    bool Contains(const QWidget* control) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_top = 0;
    int m_left = 0;
    int m_width = 0;
    int m_height = 0;
    QPoint m_mouse;
    bool m_active = false;
    QPixmap m_snapshot;
};

// A borderless box that shows a few lines of text, tinted in the tooltip colour and translucent,
// with rounded corners. The board's probe shows levels and node listings in one, as a child
// widget of the board placed next to the pointer. It takes no mouse events, so the pointer moving
// over it still reaches the board and the components beneath.
class TScriptWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QFont Font READ font WRITE setFont)

public:
    // Height of one line of text, in pixels.
    static constexpr int LineHeight = 17;
    // Opacity of the tint over what is behind the window, out of 255.
    static constexpr int TintAlpha = 210;

    explicit TScriptWindow(QWidget* parent = nullptr);

    // The text to show, as given.
    const QString& Text() const { return m_text; }
    void SetText(const QString& text) { m_text = text; }
    // The text as laid out by the last Layout: its lines joined by CR LF.
    const QString& ShownText() const { return m_shownText; }
    QStringList ShownLines() const;

    // Lays Text out and sizes the window to it: the text is trimmed, kept at its own line breaks
    // and wrapped into lines of at most maxColumns characters after a blank, comma or equals
    // sign (a word longer than a line is cut); lines with nothing to show are dropped. Above 100
    // columns the window switches to a small Courier-style font (size 8, or size 7 and 400
    // columns from 201 on); up to 100 it keeps the font it has.
    void Layout(int maxColumns);

    // The font of that family and point size, or, when the system lacks the family, the
    // system's closest font of the same kind (monospace for StyleHint TypeWriter or Monospace).
    static QFont ClosestFont(const QString& family, int pointSize, QFont::StyleHint hint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString m_text;
    QString m_shownText;
    bool m_painting = false;
    QPixmap m_backdrop; // what is behind a top-level window, taken as it shows
};
