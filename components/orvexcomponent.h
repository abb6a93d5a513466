#pragma once

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

#include "model/boardlink.h"
#include "model/controls.h"
#include "model/enums.h"

class QPainter;
class TOrvexGraphicComponent;

// Where a component draws its caption: the font and the text's box on the component. An upward
// name is turned a quarter left and reads from the bottom of its box to the top.
struct TNamePlace {
    QFont Font;
    QRect Rect;
    bool Upward = false;
};

// Implemented by the owner of placed components (the board). It hears every mouse move over one
// of its components before the component handles it, with the component as sender and the
// position in the component's own coordinates: the board's hover probe follows the pointer
// across components this way.
class TComponentOwnerEvents {
public:
    virtual void OwnedComponentMouseMove(TOrvexGraphicComponent* sender, Qt::MouseButtons buttons,
                                         Qt::KeyboardModifiers modifiers, const QPoint& pos) = 0;

protected:
    ~TComponentOwnerEvents() = default;
};

// An owner that indexes the names of the objects it owns, so that naming a component need not
// look at every sibling (boards hold thousands of components). Lookups ignore letter case.
class TOwnerNames {
public:
    virtual QObject* FindOwnedName(const QString& name) const = 0;

protected:
    ~TOwnerNames() = default;
};

// The base of every component placed on a board: one picture from the picture registry, painted
// in one of four visibility modes and four orientations, optionally with its name, a selection
// frame and its control's active picture (the view) laid over it. It owns its main electrical
// control and hands host bus accesses on to descendants that take them.
//
// Published here: Name, Left, Top, Width, Height, Caption, Hint. Descendants publish ShowName,
// Visibility and Orientation themselves where their class has them, with these lines:
//   Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
//   Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)
//   Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)
class TOrvexGraphicComponent : public QWidget, public ComponentRole {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    // Fired with the component and the new (or present) State.
    using TChangeEvent = std::function<void(QObject* sender, int newVal)>;
    using TNotifyEvent = std::function<void(QObject* sender)>;
    using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button,
                                           Qt::KeyboardModifiers modifiers, const QPoint& pos)>;
    using TMouseMoveEvent = std::function<void(QObject* sender, Qt::MouseButtons buttons,
                                               Qt::KeyboardModifiers modifiers, const QPoint& pos)>;

    // The owner is the parent: the board the component is placed on (or nullptr). A component
    // with an owner starts shown.
    explicit TOrvexGraphicComponent(QWidget* owner = nullptr);
    ~TOrvexGraphicComponent() override;

    // ---- published by the base
    QString Name() const { return objectName(); }
    // Refuses, with a ComponentError, a name that is not an identifier (the empty name too) or
    // that another object of the same owner already has (compared without regard to case). A
    // component is unnamed until the board names it, but a named one cannot lose its name: no
    // file line could name it, and a board file would lose it. Renames the control to Name +
    // "_control_".
    virtual void SetName(const QString& newName);
    // Positions and sizes stay within these bounds, so that no sum of them overflows (a widget's
    // right edge, the board's extent); the setters clamp, and no resize goes beyond MaxExtent.
    static constexpr int MaxCoordinate = 1000000; // |Left|, |Top| in pixels
    static constexpr int MaxExtent = 100000;      // Width, Height in pixels
    int Left() const { return x(); }
    void SetLeft(int value) { move(qBound(-MaxCoordinate, value, MaxCoordinate), y()); }
    int Top() const { return y(); }
    void SetTop(int value) { move(x(), qBound(-MaxCoordinate, value, MaxCoordinate)); }
    int Width() const { return width(); }
    void SetWidth(int value) { resize(qBound(0, value, MaxExtent), height()); }
    int Height() const { return height(); }
    void SetHeight(int value) { resize(width(), qBound(0, value, MaxExtent)); }
    // The caption, or the Name while no caption is set.
    virtual QString GetCaption() const;
    virtual void SetCaption(const QString& value);
    const QString& Hint() const { return m_hint; }
    void SetHint(const QString& value);
    // The tooltip while editing: the Hint, else the name and the class ("LED1 — LED"). Empty
    // while the board runs: the probe owns the hover then.
    QString HoverText() const;

    // ---- for descendants to publish
    bool ShowName() const { return m_showName; }
    virtual void SetShowName(bool value);
    TVisibility Visibility() const { return m_visibility; }
    virtual void SetVisibility(TVisibility value);
    TOrientation Orientation() const { return m_orientation; }
    // Throws PictureError when the variant's picture does not exist.
    virtual void SetOrientation(TOrientation value);

    // ---- operations
    virtual void ChangeState(int newVal);
    virtual void HideView();
    virtual void RefreshView();
    // Shows the crash picture (a short circuit); nothing without a crash picture name.
    virtual void Crash();
    // One host bus access (the board hands every access to every component): kind's low three
    // bits are a TPortSpace, bits 6 and 7 the strobe levels; bitNo is 0 for a byte access, else
    // the accessed bit plus 1. The base takes no access.
    virtual void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved,
                            int bitNo);

    // Stores the picture names (each cut to 20 characters) and loads the one the present
    // visibility shows. Throws PictureError for a name the picture registry does not know.
    void LoadPictures(const QString& componentName, const QString& schematicName, bool transparent);
    void SetSelected(bool value);
    bool Selected() const { return m_selected; }
    // The first board at or above the component's owner.
    BoardLink* OwnerForm() const;

    // ---- state
    int State() const { return m_state; }
    // The resource name of the picture shown; empty before pictures are loaded.
    const QString& Picture() const { return m_pictureName; }
    const QString& ComponentPictureName() const { return m_componentPictureName; }
    const QString& SchematicPictureName() const { return m_schematicPictureName; }
    void SetCrashPictureName(const QString& name) { m_crashPictureName = name.left(20); }
    TOrvexControl* Control() const { return m_control.data(); }

    // Picture flags, set by descendants' constructors.
    void SetSymmetricPicture(bool on) { m_symmetricPicture = on; }
    void SetFixedPicture(bool on) { m_fixedPicture = on; }
    void SetHasComponentPicture(bool on) { m_hasComponentPicture = on; }
    void SetHasFace(bool on) { m_hasFace = on; }
    // Painting options: stretched over the component, else drawn at its nominal size (centred
    // once LoadPictures has run, else at the top left).
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool on);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on);
    // While on, the component takes its picture's nominal size. Off by default.
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on);

    // Events, as the board assigns them.
    TChangeEvent OnChange;
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // The natural size: the picture's nominal size.
    QSize sizeHint() const override;
    // Takes the natural size once (components that start at their picture's size).
    void TakePictureSize() {
        if (sizeHint().isValid()) resize(sizeHint());
    }

    // ---- schematic building (Run)
    // The contacts the schematic joins, in order. By default the main control's own contacts
    // when it is a two- or three-contact control, else none.
    virtual QList<TOrvexPinDriver*> SchematicContacts() const;
    // A supply symbol joins its pin straight to a rail node (0 GND, 1 Vcc) without a search.
    virtual int SchematicRail() const { return -1; }
    // When the simulation starts it spreads first from every graphic pin's pin...
    virtual TOrvexPinDriver* StartupPin() const { return nullptr; }
    // ...then from the contact wired to every gate's or inverter's output.
    virtual TOrvexPinDriver* StartupGateOutput() const { return nullptr; }

    // Where the caption is drawn while ShowName is on (an empty box: it is not drawn). Families
    // keep it in a band of their picture that holds no drawing, in a smaller font where a long
    // name needs it.
    virtual TNamePlace NamePlace() const { return {}; }
    // The component's font in bold, made smaller (to 6 pixels at the least) until `text` fits
    // within maxWidth x maxHeight pixels (the band of the picture that is free for it).
    // A name that does not fit at 6 pixels gets smaller still until it fits outerWidth (the
    // component), so that it is never cut off.
    QFont FitNameFont(const QString& text, int maxWidth, int maxHeight, int outerWidth = 0) const;

    // ---- ComponentRole
    TVisibility ComponentVisibility() const override { return m_visibility; }
    bool ComponentHasFace() const override { return m_hasFace; }
    void CrashComponent() override;
    void ShowUnpowered() override;

protected:
    // Draws the caption where NamePlace puts it (ShowName on); the painter is set up for the
    // whole component.
    virtual void DrawName(QPainter& painter);
    // The component owns its main control from here on; a previous one is destroyed.
    void SetControl(TOrvexControl* control);
    // The face: a child widget shown instead of the picture in the component views (HasFace).
    void SetFace(QWidget* face);
    // Loads one picture by name and runs the picture-changed step. Throws PictureError.
    void LoadPicture(const QString& name);
    // After any picture change: auto-size, opacity, repaint.
    virtual void PictureChanged();
    // A crash picture gives way to the picture of the present mode and orientation.
    void ClearCrash();

    // The mouse as the component handles it, after the event forwarding of the base. Overrides
    // call the base version, which fires the matching On... handler.
    virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                           const QPoint& pos);
    virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                         const QPoint& pos);
    virtual void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                           const QPoint& pos);
    virtual void Click();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void FireChange();
    void LoadComponentSide();
    template <typename F> void Guarded(F&& action);

    int m_state = 0;
    TVisibility m_visibility = vs_Hybrid;
    bool m_showName = false;
    bool m_selected = false;
    QString m_caption;
    QString m_hint;
    QString m_pictureName;
    QSize m_pictureSize;
    QString m_componentPictureName;
    QString m_schematicPictureName;
    QString m_crashPictureName;
    TOrientation m_orientation = opo_HorizontalPositive;
    bool m_symmetricPicture = true;
    bool m_fixedPicture = true;
    bool m_hasComponentPicture = false;
    bool m_hasFace = false;
    bool m_stretch = false;
    bool m_center = false;
    bool m_transparent = false;
    bool m_autoSize = false;
    bool m_drawing = false;
    bool m_pressed = false; // a press began on the component (a release over it is a click)
    QPointer<QWidget> m_face;
    QPointer<TOrvexControl> m_control;
    KeptBoard m_board; // OwnerForm's answer, checked against the owners on each ask
};

// The selection mark of a component of that size: a dotted frame with a grip at the lower right
// corner. A component's face draws it too, as the face covers the component; a dark face draws it
// in a light colour.
void PaintSelectionMark(QPainter& painter, const QSize& size, const QColor& color = Qt::black);
