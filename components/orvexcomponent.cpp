#include "components/orvexcomponent.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QToolTip>
#include <algorithm>

#include "components/imageview.h"
#include "model/controls.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "resources/pictures.h"

namespace {

bool isIdentifier(const QString& name) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return identifier.match(name).hasMatch();
}

QString variantSuffix(int variant) {
    return variant == 0 ? QString() : QString::number(variant);
}

} // namespace

TOrvexGraphicComponent::TOrvexGraphicComponent(QWidget* owner) : QWidget(owner) {
    // Controls created from here on get image views; a test may have installed its own factory.
    if (!CurrentViewFactory()) SetViewFactory(&CreateImageView);
    setMouseTracking(true);               // the board's probe follows moves without a button held
    setMaximumSize(MaxExtent, MaxExtent); // also for a resize by the mouse or a picture
    if (owner) setVisible(true);
    SetShowName(false);
}

TOrvexGraphicComponent::~TOrvexGraphicComponent() {
    // The control, its view and its contacts go first, while the board and the engine can still
    // ask this component about them; Qt would delete them later, from a bare QObject.
    delete m_control.data();
    // Contacts left to Qt go after this component has stopped being one.
    for (TOrvexDriver* driver : findChildren<TOrvexDriver*>())
        driver->ForgetOwners();
}

// ---------------------------------------------------------------- published properties

void TOrvexGraphicComponent::SetName(const QString& newName) {
    if (newName.isEmpty())
        throw ComponentError(QStringLiteral("A component's name cannot be empty"));
    if (!isIdentifier(newName))
        throw ComponentError(
            QStringLiteral("Component name \"%1\" is not a valid identifier").arg(newName));
    if (parent()) {
        auto duplicate = [&](const QObject* other) { return other && other != this; };
        if (auto* names = dynamic_cast<TOwnerNames*>(parent())) {
            if (duplicate(names->FindOwnedName(newName)))
                throw ComponentError(
                    QStringLiteral("A component named %1 already exists").arg(newName));
        } else {
            for (const QObject* sibling : parent()->children()) {
                if (duplicate(sibling) &&
                    sibling->objectName().compare(newName, Qt::CaseInsensitive) == 0)
                    throw ComponentError(
                        QStringLiteral("A component named %1 already exists").arg(newName));
            }
        }
    }
    setObjectName(newName);
    if (m_control) m_control->setObjectName(newName + QStringLiteral("_control_"));
    update();
}

QString TOrvexGraphicComponent::GetCaption() const {
    return m_caption.isEmpty() ? objectName() : m_caption;
}

void TOrvexGraphicComponent::SetCaption(const QString& value) {
    if (value == m_caption) return;
    m_caption = value;
    update();
}

void TOrvexGraphicComponent::SetHint(const QString& value) {
    m_hint = value;
}

QString TOrvexGraphicComponent::HoverText() const {
    const BoardLink* board = FindBoard(parent());
    if (board && !board->Suspended()) return {};
    if (!m_hint.isEmpty()) return m_hint;
    QString className = QString::fromLatin1(metaObject()->className());
    if (className.startsWith(QLatin1Char('T'))) className.remove(0, 1);
    return objectName().isEmpty() ? className
                                  : objectName() + QStringLiteral(" \u2014 ") + className;
}

bool TOrvexGraphicComponent::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const QString text = HoverText();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

// ---------------------------------------------------------------- modes

void TOrvexGraphicComponent::SetShowName(bool value) {
    m_showName = value;
    update();
}

void TOrvexGraphicComponent::SetVisibility(TVisibility value) {
    if (value == m_visibility) return;
    m_visibility = value;
    switch (value) {
    case vs_Invisible:
        HideView();
        hide();
        break;
    case vs_Schematic:
        HideView();
        show();
        if (m_hasFace && m_face) m_face->hide();
        if (!m_schematicPictureName.isEmpty() &&
            m_pictureName.compare(m_schematicPictureName, Qt::CaseInsensitive) != 0)
            LoadPicture(m_schematicPictureName);
        if (m_control && m_control->View() && !m_control->SchematicActiveName().isEmpty())
            m_control->View()->LoadViewPicture(m_control->SchematicActiveName());
        break;
    case vs_Component:
        LoadComponentSide();
        // Without a picture of its own the component has nothing to show in this mode.
        setVisible(m_hasComponentPicture);
        break;
    case vs_Hybrid:
        LoadComponentSide();
        show();
        RefreshView();
        break;
    }
    SetOrientation(m_orientation);
    update();
}

// The component picture (or the face) and the control's active picture, for the component and
// hybrid views.
void TOrvexGraphicComponent::LoadComponentSide() {
    if (m_hasFace && m_face) {
        m_face->setGeometry(rect());
        m_face->show();
        return;
    }
    if (!m_componentPictureName.isEmpty() &&
        m_pictureName.compare(m_componentPictureName, Qt::CaseInsensitive) != 0)
        LoadPicture(m_componentPictureName);
    if (m_control && m_control->View()) m_control->View()->LoadViewPicture(m_control->ActiveName());
}

void TOrvexGraphicComponent::SetOrientation(TOrientation value) {
    m_orientation = value;
    if (m_visibility == vs_Invisible) {
        hide();
        return;
    }
    const bool componentSide = m_visibility == vs_Component || m_visibility == vs_Hybrid;
    if (m_fixedPicture && componentSide) return;
    const QString& base = componentSide ? m_componentPictureName : m_schematicPictureName;
    if (base.isEmpty()) return;
    bool symmetric = m_symmetricPicture;
    if (m_visibility == vs_Schematic && m_control) symmetric = m_control->SymmetricSymbol();
    int variant = int(value);
    if (symmetric) variant &= 1;
    const QString suffix = variantSuffix(variant);
    LoadPicture(base + suffix);
    ControlView* view = m_control ? m_control->View() : nullptr;
    if (!view) return;
    QString active = m_control->ActiveName();
    if (m_visibility == vs_Schematic && !m_control->SchematicActiveName().isEmpty())
        active = m_control->SchematicActiveName();
    if (!active.isEmpty()) view->LoadViewPicture(active + suffix);
}

// ---------------------------------------------------------------- pictures

void TOrvexGraphicComponent::LoadPictures(const QString& componentName,
                                          const QString& schematicName, bool transparent) {
    m_componentPictureName = componentName.left(20);
    m_schematicPictureName = schematicName.left(20);
    m_stretch = true;
    m_center = true;
    const bool schematicSide =
        m_visibility == vs_Invisible || m_visibility == vs_Schematic || m_hasFace;
    LoadPicture(schematicSide ? m_schematicPictureName : m_componentPictureName);
    if (transparent) SetTransparent(true);
}

void TOrvexGraphicComponent::LoadPicture(const QString& name) {
    // Checked before anything changes: a refused name leaves the present picture in place.
    const QSize size = Pictures::NominalSize(name);
    m_pictureName = name;
    m_pictureSize = size;
    PictureChanged();
}

void TOrvexGraphicComponent::PictureChanged() {
    if (m_autoSize && !m_pictureName.isEmpty() && !m_pictureSize.isEmpty()) resize(m_pictureSize);
    // Never marked opaque, although a covering picture is: the board's repaints compose every
    // dirty component under the wire overlay (see TBoardSurface), and an opaque widget would be
    // painted alone, over the lines above it.
    if (!m_drawing) update();
}

void TOrvexGraphicComponent::SetStretch(bool on) {
    m_stretch = on;
    PictureChanged();
}

void TOrvexGraphicComponent::SetTransparent(bool on) {
    m_transparent = on;
    PictureChanged();
}

void TOrvexGraphicComponent::SetAutoSize(bool on) {
    m_autoSize = on;
    if (on) PictureChanged();
}

void TOrvexGraphicComponent::Crash() {
    if (m_crashPictureName.isEmpty()) return;
    if (m_hasFace && m_face) m_face->hide();
    LoadPicture(m_crashPictureName);
}

void TOrvexGraphicComponent::CrashComponent() {
    try {
        Crash();
    } catch (const PictureError&) {
        // Showing a short circuit is cosmetic; the simulation goes on without the picture.
    }
}

void TOrvexGraphicComponent::ShowUnpowered() {
    // What the simulation lit goes dark at once, without the afterglow.
    for (TOrvexControl* control : findChildren<TOrvexControl*>(Qt::FindDirectChildrenOnly)) {
        control->SetLit(false);
        control->SetEvaluated(false);
        control->SetEnded(false);
        if (SimTimer* timer = control->ViewTimer()) timer->Stop();
        if (ControlView* view = control->View()) view->HideView();
    }
    ClearCrash();
}

void TOrvexGraphicComponent::ClearCrash() {
    if (m_crashPictureName.isEmpty() ||
        m_pictureName.compare(m_crashPictureName, Qt::CaseInsensitive) != 0)
        return;
    try {
        if (m_visibility == vs_Component || m_visibility == vs_Hybrid)
            LoadComponentSide();
        else if (!m_schematicPictureName.isEmpty())
            LoadPicture(m_schematicPictureName);
        SetOrientation(m_orientation);
    } catch (const PictureError&) {
        // The crash picture stays; pictures were checked when the component was made.
    }
}

// ---------------------------------------------------------------- state, views, selection

void TOrvexGraphicComponent::ChangeState(int newVal) {
    m_state = newVal;
    if (OnChange) OnChange(this, newVal);
}

void TOrvexGraphicComponent::FireChange() {
    if (OnChange) OnChange(this, m_state);
}

void TOrvexGraphicComponent::HideView() {
    if (ControlView* view = m_control ? m_control->View() : nullptr) view->HideView();
}

void TOrvexGraphicComponent::RefreshView() {
    if (m_control && m_control->View()) m_control->UpdateView();
}

void TOrvexGraphicComponent::HostAccess(int, int, int, int, QObject*, int) {}

void TOrvexGraphicComponent::SetSelected(bool value) {
    m_selected = value;
    update();
}

BoardLink* TOrvexGraphicComponent::OwnerForm() const {
    return m_board.Find(parent());
}

void TOrvexGraphicComponent::SetControl(TOrvexControl* control) {
    if (control == m_control) return;
    delete m_control.data();
    m_control = control;
    if (control) {
        control->setParent(this);
        if (!objectName().isEmpty())
            control->setObjectName(objectName() + QStringLiteral("_control_"));
    }
}

void TOrvexGraphicComponent::SetFace(QWidget* face) {
    m_face = face;
    if (face) {
        face->setParent(this);
        face->setGeometry(rect());
    }
}

// ---------------------------------------------------------------- painting

void PaintSelectionMark(QPainter& painter, const QSize& size, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    painter.fillRect(QRect(size.width() - 5, size.height() - 5, 5, 5), color);
    painter.restore();
}

QFont TOrvexGraphicComponent::FitNameFont(const QString& text, int maxWidth, int maxHeight,
                                          int outerWidth) const {
    // Readable first: down to 6 pixels for the band; below that only to stay on the component.
    constexpr int readable = 6, smallest = 3;
    QFont font = this->font();
    font.setBold(true);
    int pixels = QFontInfo(font).pixelSize();
    for (;; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const int advance = metrics.horizontalAdvance(text);
        if (advance <= maxWidth && metrics.height() <= maxHeight) return font;
        if (pixels <= readable && (advance <= std::max(outerWidth, maxWidth) || pixels <= smallest))
            return font;
    }
}

void TOrvexGraphicComponent::DrawName(QPainter& painter) {
    const TNamePlace place = NamePlace();
    const QString caption = GetCaption();
    if (place.Rect.isEmpty() || caption.isEmpty()) return;
    painter.save();
    QRectF box(place.Rect);
    if (place.Upward) {
        painter.translate(box.bottomLeft());
        painter.rotate(-90);
        box = QRectF(0, 0, box.height(), box.width());
    }
    // A thin light halo keeps the name readable where it meets a line at the band's edge.
    QPainterPath text;
    text.addText(box.left(), box.top() + QFontMetricsF(place.Font).ascent(), place.Font, caption);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.strokePath(
        text, QPen(QColor(255, 255, 255, 200), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(text, palette().color(QPalette::WindowText));
    painter.restore();
}

QSize TOrvexGraphicComponent::sizeHint() const {
    return m_pictureName.isEmpty() ? QWidget::sizeHint() : m_pictureSize;
}

void TOrvexGraphicComponent::paintEvent(QPaintEvent*) {
    // The face covers the component in the component views; once hidden (a crash), the picture
    // shows again.
    if (m_hasFace && m_face && !m_face->isHidden() &&
        (m_visibility == vs_Component || m_visibility == vs_Hybrid))
        return;
    QPainter painter(this);
    if (!m_pictureName.isEmpty()) {
        painter.fillRect(rect(), palette().color(QPalette::Button));
        QRectF target(rect());
        if (!m_stretch) {
            target.setSize(m_pictureSize);
            if (m_center) target.moveCenter(QRectF(rect()).center());
        }
        // Checked when loaded; a picture that is not there paints nothing rather than fail.
        if (const auto picture = Pictures::FindPicture(m_pictureName)) {
            m_drawing = true;
            Pictures::Paint(painter, target, *picture);
            m_drawing = false;
        }
    }
    if (m_selected) PaintSelectionMark(painter, size());
    if (m_showName) DrawName(painter);
}

void TOrvexGraphicComponent::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_face) m_face->setGeometry(rect());
}

// ---------------------------------------------------------------- mouse

// Nothing thrown by a handler may cross Qt's event dispatch: it is reported here, once (on the
// board's window when the handler removed this component).
template <typename F> void TOrvexGraphicComponent::Guarded(F&& action) {
    const QPointer<QObject> self(this);
    const QPointer<QObject> owner(parent());
    try {
        action();
    } catch (const std::exception& error) {
        ReportError(self ? self.data() : owner.data(), error);
    }
}

void TOrvexGraphicComponent::mousePressEvent(QMouseEvent* event) {
    event->accept(); // a press on a component is not a press on the board
    m_pressed = event->button() == Qt::LeftButton;
    Guarded([&] { MouseDown(event->button(), event->modifiers(), event->position().toPoint()); });
}

void TOrvexGraphicComponent::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pos = event->position().toPoint();
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(pos);
    if (event->button() == Qt::LeftButton) m_pressed = false;
    QPointer<TOrvexGraphicComponent> alive(this);
    Guarded([&] { MouseUp(event->button(), event->modifiers(), pos); });
    if (click && alive) Guarded([&] { Click(); });
}

void TOrvexGraphicComponent::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pos = event->position().toPoint();
    QPointer<TOrvexGraphicComponent> alive(this);
    if (auto* owner = dynamic_cast<TComponentOwnerEvents*>(parent()))
        Guarded([&] {
            owner->OwnedComponentMouseMove(this, event->buttons(), event->modifiers(), pos);
        });
    if (alive) Guarded([&] { MouseMove(event->buttons(), event->modifiers(), pos); });
}

void TOrvexGraphicComponent::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                       const QPoint& pos) {
    if (button == Qt::RightButton) FireChange();
    if (OnMouseDown) OnMouseDown(this, button, modifiers, pos);
}

void TOrvexGraphicComponent::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                     const QPoint& pos) {
    if (button == Qt::LeftButton) FireChange();
    if (OnMouseUp) OnMouseUp(this, button, modifiers, pos);
}

void TOrvexGraphicComponent::MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                                       const QPoint& pos) {
    if (OnMouseMove) OnMouseMove(this, buttons, modifiers, pos);
}

void TOrvexGraphicComponent::Click() {
    if (OnClick) OnClick(this);
}

QList<TOrvexPinDriver*> TOrvexGraphicComponent::SchematicContacts() const {
    if (auto* two = qobject_cast<TOrvexTwoContactControl*>(Control()))
        return {two->Contact1(), two->Contact2()};
    if (auto* three = qobject_cast<TOrvexThreeContactControl*>(Control()))
        return {three->Contact1(), three->Contact2(), three->Contact3()};
    return {};
}
