#include "editor/boardpicture.h"

#include <QBuffer>
#include <QDomDocument>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <cmath>

#include "editor/brelvanfrm.h"

namespace {

QList<TOrvexGraphicComponent*> shownComponents(const TfrmPlugin& window) {
    QList<TOrvexGraphicComponent*> shown;
    const TBoardSurface* board = window.Board();
    for (TOrvexGraphicComponent* component : board->ComponentsInChildOrder())
        if (component->isVisibleTo(board)) shown.append(component);
    return shown;
}

// Renders the part of the area that the widget (a child of the board, or the board) covers.
// render() puts the top left of the part it draws at the offset, so the part is cut first.
void renderPart(QWidget* widget, QPoint boardPos, QPainter& painter, const QRect& area,
                QWidget::RenderFlags flags) {
    const QRect part = area.translated(-boardPos).intersected(widget->rect());
    if (part.isEmpty()) return;
    widget->render(&painter, part.topLeft() + boardPos - area.topLeft(), QRegion(part), flags);
}

// The board itself: its background and the grid over it (the board's own painting).
void paintBackground(const TfrmPlugin& window, QPainter& painter, const QRect& area) {
    TBoardSurface* board = window.Board();
    painter.fillRect(QRect(QPoint(), area.size()), board->palette().color(board->backgroundRole()));
    renderPart(board, QPoint(), painter, area, QWidget::DrawWindowBackground);
}

void paintWires(const TfrmPlugin& window, QPainter& painter, const QRect& area) {
    if (QWidget* overlay = window.WireOverlay(); overlay && overlay->isVisibleTo(window.Board()))
        renderPart(overlay, overlay->pos(), painter, area, QWidget::DrawChildren);
}

// What a QSvgGenerator wrote for one paint, its ids made unique to the component.
QDomDocument generated(const std::function<void(QPainter&)>& paint, QSize size,
                       const QString& idPrefix) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(), size));
        QPainter painter(&generator);
        paint(painter);
    }
    QString text = QString::fromUtf8(bytes);
    text.replace(QRegularExpression(QStringLiteral(" id=\"")), QStringLiteral(" id=\"") + idPrefix);
    text.replace(QStringLiteral("url(#"), QStringLiteral("url(#") + idPrefix);
    text.replace(QStringLiteral("href=\"#"), QStringLiteral("href=\"#") + idPrefix);
    QDomDocument doc;
    doc.setContent(text);
    return doc;
}

// Moves what one generated document drew into the group.
void adopt(QDomDocument& target, QDomElement& group, const QDomDocument& source) {
    for (QDomNode node = source.documentElement().firstChild(); !node.isNull();
         node = node.nextSibling()) {
        if (!node.isElement()) continue;
        const QString tag = node.toElement().tagName();
        if (tag == u"title" || tag == u"desc") continue;
        group.appendChild(target.importNode(node, true));
    }
}

} // namespace

namespace BoardPicture {

QRect Area(const TfrmPlugin& window) {
    QRect area;
    for (const TOrvexGraphicComponent* component : shownComponents(window))
        area |= component->geometry();
    if (area.isEmpty()) return {};
    return area.adjusted(-Margin, -Margin, Margin, Margin);
}

void Paint(const TfrmPlugin& window, QPainter& painter, const QRect& area) {
    paintBackground(window, painter, area);
    for (TOrvexGraphicComponent* component : shownComponents(window))
        component->render(&painter, component->pos() - area.topLeft(), QRegion(),
                          QWidget::DrawChildren);
    paintWires(window, painter, area);
}

QImage Render(const TfrmPlugin& window, int scale) {
    const QRect area = Area(window);
    if (area.isEmpty() || scale < 1) return {};
    QImage image(area.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    Paint(window, painter, area);
    painter.end();
    return image;
}

QByteArray RenderSvg(const TfrmPlugin& window) {
    const QRect area = Area(window);
    if (area.isEmpty()) return {};
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement svg = doc.createElement(QStringLiteral("svg"));
    svg.setAttribute(QStringLiteral("xmlns"), QStringLiteral("http://www.w3.org/2000/svg"));
    svg.setAttribute(QStringLiteral("xmlns:xlink"), QStringLiteral("http://www.w3.org/1999/xlink"));
    svg.setAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    svg.setAttribute(QStringLiteral("width"), area.width());
    svg.setAttribute(QStringLiteral("height"), area.height());
    svg.setAttribute(QStringLiteral("viewBox"),
                     QStringLiteral("0 0 %1 %2").arg(area.width()).arg(area.height()));
    doc.appendChild(svg);
    QDomElement title = doc.createElement(QStringLiteral("title"));
    title.appendChild(doc.createTextNode(window.DisplayName()));
    svg.appendChild(title);

    QDomElement board = doc.createElement(QStringLiteral("g"));
    board.setAttribute(QStringLiteral("id"), QStringLiteral("board"));
    adopt(doc, board,
          generated([&](QPainter& p) { paintBackground(window, p, area); }, area.size(),
                    QStringLiteral("board-")));
    svg.appendChild(board);

    int index = 0;
    for (TOrvexGraphicComponent* component : shownComponents(window)) {
        const QString name = component->objectName();
        QDomElement group = doc.createElement(QStringLiteral("g"));
        group.setAttribute(QStringLiteral("id"), QStringLiteral("component-") + name);
        group.setAttribute(QStringLiteral("class"), QStringLiteral("component"));
        const QPoint at = component->pos() - area.topLeft();
        group.setAttribute(QStringLiteral("transform"),
                           QStringLiteral("translate(%1,%2)").arg(at.x()).arg(at.y()));
        adopt(doc, group,
              generated(
                  [component](QPainter& p) {
                      component->render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
                  },
                  component->size(), QStringLiteral("c%1-").arg(++index)));
        svg.appendChild(group);
    }

    QDomElement wires = doc.createElement(QStringLiteral("g"));
    wires.setAttribute(QStringLiteral("id"), QStringLiteral("wires"));
    adopt(doc, wires,
          generated([&](QPainter& p) { paintWires(window, p, area); }, area.size(),
                    QStringLiteral("wires-")));
    svg.appendChild(wires);
    return doc.toByteArray(1);
}

bool Print(const TfrmPlugin& window, QPrinter& printer) {
    const QRect area = Area(window);
    if (area.isEmpty()) return false;
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSizeF fitted = QSizeF(area.size()).scaled(page.size(), Qt::KeepAspectRatio);
    // Widgets painted through a scaled painter go through a pixmap of the printer's resolution,
    // which takes seconds; a picture at up to four times the board's pixels is sharp on paper.
    const int scale = qBound(1, int(std::ceil(fitted.width() / area.width())), 4);
    const QImage image = Render(window, scale);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        QRectF(QPointF((page.width() - fitted.width()) / 2, (page.height() - fitted.height()) / 2),
               fitted),
        image);
    return painter.end();
}

} // namespace BoardPicture
