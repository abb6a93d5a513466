#include "components/imageview.h"

#include <QEvent>
#include <QPainter>

#include "resources/pictures.h"

TOrvexImageView::TOrvexImageView(QWidget* component, const QString& pictureName)
    : QWidget(component) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    hide();
    if (component) {
        setGeometry(component->rect());
        component->installEventFilter(this);
    }
    LoadViewPicture(pictureName);
}

void TOrvexImageView::ShowView() {
    // Asked at every level change of a lit control. A view already shown and on top stays as it
    // is: show() and raise() would change nothing, but show() asks the platform first.
    const QWidget* component = parentWidget();
    if (!isHidden() && component && component->children().constLast() == this &&
        (testAttribute(Qt::WA_WState_Created) || !component->testAttribute(Qt::WA_WState_Created)))
        return;
    show();
    raise(); // above a face or any other child the component has
}

void TOrvexImageView::HideView() {
    hide();
}

// Whether the view is switched on, whatever the visibility of the component or the board: a view
// on a hidden board must still be hidden when its control goes dark.
bool TOrvexImageView::IsViewShown() const {
    return !isHidden();
}

void TOrvexImageView::LoadViewPicture(const QString& name) {
    const QString known = Pictures::Exists(name) ? name : QString();
    if (known == m_pictureName) return;
    m_pictureName = known;
    update();
}

void TOrvexImageView::RepaintView() {
    update();
}

bool TOrvexImageView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return false;
}

void TOrvexImageView::paintEvent(QPaintEvent*) {
    if (m_pictureName.isEmpty()) return;
    // Checked when loaded; a view shows nothing rather than fail while painting.
    const auto picture = Pictures::FindPicture(m_pictureName);
    if (!picture) return;
    QPainter painter(this);
    Pictures::Paint(painter, QRectF(rect()), *picture);
}

ControlView* CreateImageView(QObject* component, const QString& pictureName) {
    auto* widget = qobject_cast<QWidget*>(component);
    return widget ? new TOrvexImageView(widget, pictureName) : nullptr;
}
