#include "simulation/brelvanclasses.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QScreen>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace {

// Rectangle arithmetic is done in 64 bits: the properties take any int.
int clampToInt(qint64 value) {
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

bool isTrimmed(QChar c) {
    return c.unicode() <= u' ' || c.category() == QChar::Other_Control;
}

QString trimBlanksAndControls(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isTrimmed(text[first]))
        ++first;
    while (end > first && isTrimmed(text[end - 1]))
        --end;
    return text.mid(first, end - first);
}

bool isBreakChar(QChar c) {
    return c == u' ' || c == u',' || c == u'=';
}

QString withoutTrailingBlanks(QString text) {
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// Cuts one line of the text into pieces of at most maxColumns characters (maxColumns >= 1). A
// piece ends after the last blank, comma or equals sign that keeps it within the limit; a blank
// it ends on is dropped, so a blank may stand just past the limit. A run with no such character
// is cut at the limit. Continuation pieces do not start with blanks.
void wrapLine(const QString& line, qsizetype maxColumns, QStringList& out) {
    const qsizetype n = line.size();
    qsizetype start = 0;
    auto append = [&out](const QString& piece) {
        if (!piece.trimmed().isEmpty()) out.append(piece);
    };
    while (n - start > maxColumns) {
        qsizetype next = -1;
        for (qsizetype i = std::min(start + maxColumns, n - 2); i >= start; --i) {
            const QChar c = line[i];
            const qsizetype length = i - start + (c == u' ' ? 0 : 1);
            if (isBreakChar(c) && length <= maxColumns) {
                next = i + 1;
                break;
            }
        }
        if (next < 0) next = start + maxColumns;
        append(withoutTrailingBlanks(line.mid(start, next - start)));
        start = next;
        while (start < n && line[start] == u' ')
            ++start;
    }
    append(line.mid(start));
}

QStringList wrapLines(const QString& text, int maxColumns) {
    QStringList lines;
    const QString trimmed = trimBlanksAndControls(text);
    if (trimmed.isEmpty()) return lines;
    QString unified = trimmed;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString& line : unified.split(u'\n'))
        wrapLine(line, std::max(1, maxColumns), lines);
    return lines;
}

} // namespace

// ---- TSelectRect

TSelectRect::TSelectRect(QWidget* parent) : QWidget(parent) {
    // The board keeps the mouse: it sees the press that starts a drag and every move after it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void TSelectRect::Start() {
    // A band still showing would end up in the snapshot.
    hide();
    m_mouse = QPoint(clampToInt(qint64(m_left) + m_width), clampToInt(qint64(m_top) + m_height));
    if (QWidget* board = parentWidget()) {
        setGeometry(board->rect());
        m_snapshot = board->grab(geometry());
    } else {
        QScreen* where = screen();
        m_snapshot = where ? where->grabWindow(0, x(), y(), width(), height()) : QPixmap();
    }
    m_active = true;
    raise();
    show();
}

void TSelectRect::MoveTo(const QPoint& pos) {
    m_mouse = pos;
    if (m_active) update();
}

bool TSelectRect::Finish(const QPoint& pos) {
    if (!m_active) {
        hide();
        return false;
    }
    m_mouse = pos;
    return Finish();
}

bool TSelectRect::Finish() {
    hide();
    if (!m_active) return false;
    m_active = false;
    m_snapshot = QPixmap(); // only needed while the band shows

    qint64 left = m_left;
    qint64 top = m_top;
    qint64 width = qint64(m_mouse.x()) - left;
    qint64 height = qint64(m_mouse.y()) - top;
    if (width < 0) {
        left += width;
        width = -width;
    }
    if (height < 0) {
        top += height;
        height = -height;
    }
    m_left = clampToInt(left);
    m_top = clampToInt(top);
    m_width = clampToInt(width);
    m_height = clampToInt(height);
    return true;
}

bool TSelectRect::Contains(const QWidget* control) const {
    if (!control) return false;
    const QRect g = control->geometry();
    return qint64(m_top) <= g.y() && qint64(g.y()) + g.height() <= qint64(m_top) + m_height &&
           qint64(g.x()) >= m_left && qint64(g.x()) + g.width() <= qint64(m_left) + m_width;
}

void TSelectRect::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QSizeF shot = m_snapshot.deviceIndependentSize();
    if (shot.width() < width() || shot.height() < height())
        painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, m_snapshot);
    if (!m_active) return;

    // XOR with white inverts what lies under the band, so it shows on any background and
    // a second stroke over the same pixels would restore them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 3, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    const QPoint anchor = QPoint(m_left, m_top) - pos();
    const QPoint mouse = m_mouse - pos();
    painter.drawRoundedRect(QRect(anchor, mouse).normalized(), 10, 10);
}

// ---- TScriptWindow

TScriptWindow::TScriptWindow(QWidget* parent) : QWidget(parent) {
    // The pointer moving over the box must still reach the board: the probe closes it on a move.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!parent) setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
}

QStringList TScriptWindow::ShownLines() const {
    if (m_shownText.isEmpty()) return {};
    return m_shownText.split(QStringLiteral("\r\n"));
}

QFont TScriptWindow::ClosestFont(const QString& family, int pointSize, QFont::StyleHint hint) {
    QFont font(family);
    font.setStyleHint(hint);
    if (!QFontDatabase::hasFamily(family)) {
        const bool monospace = hint == QFont::TypeWriter || hint == QFont::Monospace;
        const QFont system = QFontDatabase::systemFont(monospace ? QFontDatabase::FixedFont
                                                                 : QFontDatabase::GeneralFont);
        font.setFamily(system.family());
        if (monospace && !QFontInfo(font).fixedPitch()) {
            const QStringList families = QFontDatabase::families();
            const auto fixed = std::find_if(families.begin(), families.end(), [](const auto& f) {
                return QFontDatabase::isFixedPitch(f) && !QFontDatabase::isPrivateFamily(f);
            });
            if (fixed != families.end()) font.setFamily(*fixed);
        }
    }
    font.setPointSize(pointSize);
    return font;
}

void TScriptWindow::Layout(int maxColumns) {
    m_painting = false;
    int columns = maxColumns;
    if (columns > 100) {
        const bool wide = columns >= 201;
        if (wide) columns = 400;
        setFont(ClosestFont(QStringLiteral("Courier New"), wide ? 7 : 8, QFont::TypeWriter));
    }
    const QStringList lines = wrapLines(m_text, columns);

    const QFontMetrics metrics(font());
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const qsizetype height = std::min<qsizetype>(lines.size() * LineHeight + 2, QWIDGETSIZE_MAX);
    resize(widest + 5, int(height));
    m_shownText = lines.join(QStringLiteral("\r\n"));
}

void TScriptWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A child blends over its parent's painting; a window of its own needs the screen behind it,
    // taken before it covers it.
    m_backdrop = QPixmap();
    if (!isWindow()) return;
    if (QScreen* where = screen()) {
        const QPoint at = pos() - where->geometry().topLeft();
        m_backdrop = where->grabWindow(0, at.x(), at.y(), width(), height());
    }
}

void TScriptWindow::paintEvent(QPaintEvent*) {
    if (m_painting) return;
    m_painting = true;
    {
        QPainter painter(this);
        const QRect box = rect();
        const QPalette tip = QToolTip::palette();
        const QColor tint = tip.color(QPalette::ToolTipBase);

        // The corner pixels keep what is behind, so the box looks rounded.
        QRegion body(box);
        const int right = box.right();
        const int bottom = box.bottom();
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
            const int x3 = corner.x() == 0 ? 0 : right - 2;
            const int y3 = corner.y() == 0 ? 0 : bottom - 2;
            body -= QRegion(corner.x(), y3, 1, 3);
            body -= QRegion(x3, corner.y(), 3, 1);
        }

        const bool opaque = isWindow() && m_backdrop.isNull();
        if (isWindow() && !opaque) painter.drawPixmap(0, 0, m_backdrop);
        painter.setClipRegion(body);
        if (opaque) {
            // Nothing to blend over: a window of its own with no picture of the screen.
            painter.fillRect(box, tint);
        } else {
            // A child's backing store already holds what is behind it; blending there means
            // every repaint shows the present state of the board under the box.
            painter.setOpacity(TintAlpha / 255.0);
            painter.fillRect(box, tint);
            painter.setOpacity(1.0);
        }
        painter.setClipping(false);

        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(tip.color(QPalette::ToolTipText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);

        painter.setFont(font());
        const int ascent = QFontMetrics(font()).ascent();
        const QStringList lines = ShownLines();
        for (qsizetype i = 0; i < lines.size(); ++i)
            painter.drawText(2, int(2 + i * LineHeight + ascent), lines[i]);
    }
    m_painting = false;
}
