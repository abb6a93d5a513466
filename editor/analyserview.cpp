#include "editor/analyserview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCompleter>
#include <QDockWidget>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "components/orvexcomponent.h"
#include "editor/analyserdialogs.h"
#include "editor/analysersetup.h"
#include "editor/boardcontextmenu.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"
#include "model/drivers.h"
#include "platform/dialogs.h"
#include "properties/propertytext.h"
#include "simulation/simform.h"
#include "trace/recorder.h"

// ---------------------------------------------------------------- view

TAnalyserView::TAnalyserView(TAnalyser* analyser, QWidget* parent)
    : QWidget(parent), m_analyser(analyser) {
    setObjectName(QStringLiteral("AnalyserView"));
    setMinimumHeight(AxisHeight + RowHeight);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
    connect(analyser, &TAnalyser::RowsChanged, this, [this] {
        if (m_selected >= m_analyser->Rows().size())
            SetSelected(int(m_analyser->Rows().size()) - 1);
        if (!m_selectedGroup.isEmpty() && !m_analyser->Groups().contains(m_selectedGroup))
            m_selectedGroup.clear();
        m_marked.clear();
        setMinimumHeight(AxisHeight +
                         RowHeight * std::max<int>(1, int(m_analyser->Lines().size())));
        update();
    });
}

void TAnalyserView::SetSelected(int row) {
    m_selected = row;
    if (row >= 0) m_selectedGroup.clear();
    emit SelectionChanged(row);
    update();
}

void TAnalyserView::FitAll() {
    m_analyser->Refresh();
    m_view.Fit(double(m_analyser->BeginPs()), double(m_analyser->EndPs()), PlotWidth());
    update();
}

void TAnalyserView::Tick() {
    m_analyser->Refresh();
    if (m_follow) {
        // The present at the right edge, the scale kept; a recording shorter than the view
        // fills it from its start rather than showing time before it.
        m_view.SetStart(std::max(double(m_analyser->BeginPs()),
                                 double(m_analyser->EndPs()) - PlotWidth() * m_view.PsPerPixel));
    }
    update();
}

void TAnalyserView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Render(painter, size());
}

void TAnalyserView::Render(QPainter& painter, QSize size) const {
    const int plotWidth = std::max(1, size.width() - LabelWidth);
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(250, 250, 250));
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawAxis(painter, plotWidth);
    const QList<TAnalyserLine> lines = m_analyser->Lines();
    for (int line = 0; line < lines.size(); ++line) {
        const int top = AxisHeight + line * RowHeight;
        if (lines[line].Row < 0)
            DrawHeader(painter, lines[line].Group, top, plotWidth);
        else
            DrawRow(painter, lines[line].Row, top, plotWidth);
    }
    if (m_dropY >= 0) {
        painter.setPen(QPen(QColor(0, 90, 200), 2));
        painter.drawLine(0, m_dropY, LabelWidth + plotWidth, m_dropY);
    }

    painter.save();
    painter.translate(LabelWidth, 0);
    painter.setClipRect(0, 0, plotWidth, size.height());
    const int bottom = size.height();
    // Gaps (Run off and on, resets) and the start of the kept part.
    painter.setPen(QPen(QColor(120, 120, 120), 1, Qt::DashLine));
    const std::vector<quint64>& gaps = m_analyser->Index().Gaps();
    const auto firstGap =
        std::lower_bound(gaps.begin(), gaps.end(), quint64(std::max(0.0, m_view.StartPs)));
    for (auto it = firstGap; it != gaps.end() && m_view.X(double(*it)) <= plotWidth; ++it) {
        const int x = int(std::lround(m_view.X(double(*it))));
        painter.drawLine(x, AxisHeight, x, bottom);
    }
    if (m_analyser->Session()->Recorder().Dropped() > 0) {
        const int x = int(std::lround(m_view.X(double(m_analyser->BeginPs()))));
        painter.fillRect(QRect(-1, AxisHeight, x + 1, bottom), QColor(0, 0, 0, 30));
        painter.setPen(QPen(QColor(150, 0, 0), 2));
        painter.drawLine(x, AxisHeight, x, bottom);
        painter.drawText(x + 3, AxisHeight + 12, QStringLiteral("kept from here"));
    }
    // Cursors.
    const auto drawCursor = [&](const std::optional<quint64>& at, const QColor& colour,
                                const QString& name) {
        if (!at) return;
        const double x = m_view.X(double(*at));
        if (x < -1 || x > plotWidth + 1) return;
        painter.setPen(QPen(colour, 1));
        painter.drawLine(QPointF(x, 0), QPointF(x, bottom));
        painter.fillRect(QRectF(x - 1, 0, 12, 12), colour);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(x - 1, 0, 12, 12), Qt::AlignCenter, name);
    };
    drawCursor(m_analyser->CursorA, QColor(200, 0, 0), QStringLiteral("A"));
    drawCursor(m_analyser->CursorB, QColor(0, 0, 200), QStringLiteral("B"));
    painter.restore();
}

void TAnalyserView::DrawAxis(QPainter& painter, int plotWidth) const {
    painter.fillRect(QRect(0, 0, LabelWidth + plotWidth, AxisHeight), QColor(235, 235, 235));
    painter.setPen(QColor(60, 60, 60));
    // A tick every 1, 2 or 5 times a power of ten, about 90 pixels apart.
    const double wanted = 90 * m_view.PsPerPixel;
    double step = std::pow(10.0, std::floor(std::log10(wanted)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (step * m >= wanted) {
            step *= m;
            break;
        }
    const double first = std::ceil(m_view.StartPs / step) * step;
    // Enough digits that neighbouring ticks read differently.
    const double largest = std::max(std::fabs(first), std::fabs(m_view.Time(plotWidth)));
    const int digits = std::clamp(int(std::ceil(std::log10(largest / step + 1))) + 1, 3, 12);
    // Counted, so that a step too small to change a large time cannot loop for ever.
    for (int k = 0; k < 200 && m_view.X(first + k * step) <= plotWidth; ++k) {
        const double t = first + k * step;
        const double x = LabelWidth + m_view.X(t);
        painter.drawLine(QPointF(x, AxisHeight - 6), QPointF(x, AxisHeight));
        painter.drawText(QPointF(x + 2, AxisHeight - 8), AnalyserTimeText(t, digits));
    }
}

void TAnalyserView::DrawRow(QPainter& painter, int row, int top, int plotWidth) const {
    const TAnalyserRow& r = m_analyser->Rows()[row];
    const TTraceIndex& index = m_analyser->Index();
    const bool bus = m_analyser->Width(row) > 1;
    const QRect labelRect(0, top, LabelWidth, RowHeight);
    painter.fillRect(labelRect, row == m_selected || m_marked.contains(row)
                                    ? QColor(200, 220, 255)
                                    : QColor(240, 240, 240));
    painter.setPen(r.Color);
    painter.fillRect(QRect(2, top + 4, 4, RowHeight - 8), r.Color);
    painter.setPen(Qt::black);
    const int indent = r.Group.isEmpty() ? 0 : 10; // a group's rows stand under its header
    painter.drawText(
        labelRect.adjusted(10 + indent, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
        painter.fontMetrics().elidedText(r.Label, Qt::ElideLeft, LabelWidth - 12 - indent));
    if (r.Trace < 0) {
        painter.setPen(QColor(160, 0, 0));
        painter.drawText(QRect(LabelWidth + 6, top, plotWidth - 6, RowHeight),
                         Qt::AlignVCenter | Qt::AlignLeft,
                         QStringLiteral("%1 is not on this board").arg(r.Unresolved));
    }
    painter.setPen(QColor(220, 220, 220));
    painter.drawLine(0, top + RowHeight - 1, LabelWidth + plotWidth, top + RowHeight - 1);

    if (r.Lcd) {
        DrawLcd(painter, row, top, plotWidth);
        return;
    }
    painter.save();
    painter.translate(LabelWidth, top);
    painter.setClipRect(0, 0, plotWidth, RowHeight);
    const int high = r.Uart ? 16 : 8;
    const int low = RowHeight - 6;
    const int mid = (high + low) / 2;

    // Only the changes in view: binary search for the first, stop past the right edge.
    const std::vector<TTraceIndex::TPoint>& points = index.Points(r.Trace);
    const double from = std::max(0.0, m_view.StartPs);
    const double to = m_view.Time(plotWidth);
    size_t i = index.LowerBound(r.Trace, quint64(from));
    qint32 value = index.ValueAt(r.Trace, quint64(from));
    double x = m_view.X(from);
    const double endX = std::min<double>(plotWidth, m_view.X(double(m_analyser->EndPs())));
    const QColor colour = r.Color;
    const auto segment = [&](double x0, double x1, qint32 v) {
        if (x1 < x0) return;
        const QRectF band(x0, high, std::max(1.0, x1 - x0), low - high);
        if (v == TTraceRecorder::Unknown || v == TTraceIndex::Ended) return; // nothing known
        if (v < 0) { // undefined: hatched grey
            painter.fillRect(band, QBrush(QColor(150, 150, 150), Qt::BDiagPattern));
            painter.setPen(QColor(130, 130, 130));
            painter.drawLine(QPointF(x0, mid), QPointF(x1, mid));
            return;
        }
        painter.setPen(QPen(colour, 2));
        if (bus) {
            QPainterPath path;
            const double s = std::min(3.0, (x1 - x0) / 2);
            path.moveTo(x0, mid);
            path.lineTo(x0 + s, high);
            path.lineTo(x1 - s, high);
            path.lineTo(x1, mid);
            path.lineTo(x1 - s, low);
            path.lineTo(x0 + s, low);
            path.closeSubpath();
            painter.drawPath(path);
            const QString text = QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
            if (x1 - x0 > painter.fontMetrics().horizontalAdvance(text) + 6) {
                painter.setPen(Qt::black);
                painter.drawText(band, Qt::AlignCenter, text);
            }
        } else {
            const double y = v ? high : low;
            if (v)
                painter.fillRect(QRectF(x0, high, x1 - x0, low - high),
                                 QColor(colour.red(), colour.green(), colour.blue(), 40));
            painter.drawLine(QPointF(x0, y), QPointF(x1, y));
        }
    };
    // Changes closer than a pixel make one activity mark, and the search goes on past that pixel:
    // a paint costs per pixel, not per change, however far out the view is zoomed.
    while (i < points.size() && double(points[i].Time) <= to) {
        const double px = m_view.X(double(points[i].Time));
        if (px - x < 1 && points[i].Value != TTraceIndex::Ended) {
            const size_t next = std::max(
                i + 1,
                index.LowerBound(r.Trace, quint64(std::max(0.0, m_view.Time(std::floor(px) + 1)))));
            if (points[next - 1].Value != value || next - i > 1) {
                painter.setPen(QPen(colour, 1));
                painter.drawLine(QPointF(px, high), QPointF(px, low));
            }
            value = points[next - 1].Value;
            i = next;
            x = px;
            if (value == TTraceIndex::Ended) {
                painter.setPen(QPen(QColor(180, 0, 0), 2));
                painter.drawLine(QPointF(px, 2), QPointF(px, RowHeight - 2));
            }
            continue;
        }
        segment(x, px, value);
        if (!bus && value >= 0 && points[i].Value >= 0 && value != points[i].Value) {
            painter.setPen(QPen(colour, 2));
            painter.drawLine(QPointF(px, high), QPointF(px, low));
        }
        x = px;
        if (points[i].Value == TTraceIndex::Ended) {
            painter.setPen(QPen(QColor(180, 0, 0), 2));
            painter.drawLine(QPointF(px, 2), QPointF(px, RowHeight - 2));
            painter.drawText(QPointF(px + 3, RowHeight - 4), QStringLiteral("end"));
        }
        value = points[i].Value;
        ++i;
    }
    if (value != TTraceIndex::Ended) segment(x, endX, value);

    // Decoded bytes above the row.
    const double frameLength = m_analyser->BaudOf(row) > 0 ? 12e12 / m_analyser->BaudOf(row) : 0;
    // Frames narrower than a few pixels would be unreadable: not decoded then.
    if (r.Uart && frameLength > 4 * m_view.PsPerPixel) {
        const quint64 decodeFrom = quint64(std::max(0.0, from - frameLength));
        const quint64 decodeTo =
            std::min<quint64>(quint64(std::max(0.0, to + frameLength)), m_analyser->EndPs());
        const std::vector<TUartFrame> frames = m_analyser->Frames(row, decodeFrom, decodeTo);
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        painter.setFont(font);
        for (const TUartFrame& frame : frames) {
            const double x0 = m_view.X(double(frame.Start));
            const double x1 = m_view.X(double(frame.End));
            const QRectF box(x0, 1, x1 - x0, 13);
            painter.fillRect(box,
                             frame.FramingError ? QColor(255, 200, 200) : QColor(255, 240, 190));
            painter.setPen(QColor(120, 90, 0));
            painter.drawRect(box);
            const bool printable = frame.Value >= 0x20 && frame.Value < 0x7F;
            QString text = QStringLiteral("%1").arg(frame.Value, 2, 16, QLatin1Char('0')).toUpper();
            if (printable) text = QStringLiteral("'%1' %2").arg(QChar(frame.Value)).arg(text);
            if (box.width() > painter.fontMetrics().horizontalAdvance(text) + 2)
                painter.drawText(box, Qt::AlignCenter, text);
            else if (box.width() > painter.fontMetrics().horizontalAdvance(text.right(2)) + 2)
                painter.drawText(box, Qt::AlignCenter, text.right(2));
        }
    }
    painter.restore();
}

void TAnalyserView::wheelEvent(QWheelEvent* event) {
    const double x = event->position().x() - LabelWidth;
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || x < 0) return;
    m_view.ZoomAt(x, std::pow(1.25, steps));
    update();
    event->accept();
}

void TAnalyserView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        emit EdgeRequested(false);
        break;
    case Qt::Key_Right:
        emit EdgeRequested(true);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // Over the lines shown: headers and the rows of expanded groups.
        const QList<TAnalyserLine> lines = m_analyser->Lines();
        qsizetype at = -1;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if ((lines[i].Row >= 0 && lines[i].Row == m_selected) ||
                (lines[i].Row < 0 && !m_selectedGroup.isEmpty() &&
                 lines[i].Group == m_selectedGroup))
                at = i;
        const qsizetype to = event->key() == Qt::Key_Up ? at - 1 : at + 1;
        if (at < 0 || to < 0 || to >= lines.size()) break;
        if (lines[to].Row >= 0)
            SetSelected(lines[to].Row);
        else
            SelectGroup(lines[to].Group);
        break;
    }
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TAnalyserView::mousePressEvent(QMouseEvent* event) {
    m_pressAt = event->position().toPoint();
    m_pressStart = m_view.StartPs;
    m_dragging = false;
    m_button = event->button();
    m_shift = event->modifiers() & Qt::ShiftModifier;
    const QList<TAnalyserLine> lines = m_analyser->Lines();
    const int line = LineAt(m_pressAt.y());
    if (line < 0 || line >= lines.size()) return;
    if (lines[line].Row >= 0) {
        // Ctrl+click adds rows to the selection (for Group), a plain click selects one.
        const int row = lines[line].Row;
        if (event->modifiers() & Qt::ControlModifier) {
            if (m_selected >= 0 && m_selected != row && !m_marked.contains(m_selected))
                m_marked.append(m_selected);
            if (m_marked.contains(row)) {
                m_marked.removeAll(row);
                update();
                return;
            }
        } else {
            m_marked.clear();
        }
        SetSelected(row);
        return;
    }
    m_marked.clear();
    SelectGroup(lines[line].Group);
    // The triangle folds and unfolds the group.
    if (m_pressAt.x() < 18 && m_button == Qt::LeftButton) {
        // Folding is saved with the board, so it counts as a change of the rows.
        m_analyser->SetCollapsed(lines[line].Group, !m_analyser->Collapsed(lines[line].Group));
        AnalyserSetup::Commit(m_analyser);
    }
}

void TAnalyserView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_shift) return;
    // A drag in the label column takes the row (or group) to another place.
    if (m_pressAt.x() < LabelWidth && m_pressAt.y() >= AxisHeight) {
        if ((event->position().toPoint() - m_pressAt).manhattanLength() >=
            QApplication::startDragDistance())
            StartRowDrag();
        return;
    }
    const int dx = event->position().toPoint().x() - m_pressAt.x();
    if (!m_dragging && std::abs(dx) < 4) return;
    m_dragging = true;
    m_view.SetStart(m_pressStart - dx * m_view.PsPerPixel);
    update();
}

void TAnalyserView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging && event->position().x() >= LabelWidth) PlaceCursor(event);
    m_dragging = false;
}

void TAnalyserView::PlaceCursor(QMouseEvent* event) {
    const double t = m_view.Time(event->position().x() - LabelWidth);
    const quint64 at = quint64(std::max(0.0, t));
    if (m_button == Qt::RightButton || m_shift)
        m_analyser->CursorB = at;
    else if (m_button == Qt::LeftButton)
        m_analyser->CursorA = at;
    emit CursorsChanged();
    update();
}

// ---------------------------------------------------------------- view: groups and drops

const QString TAnalyserView::RowsMime = QStringLiteral("application/x-brelvan-analyser-rows");

void TAnalyserView::SelectGroup(const QString& group) {
    m_selectedGroup = group;
    m_selected = -1;
    emit SelectionChanged(-1);
    update();
}

QList<int> TAnalyserView::SelectedRows() const {
    QList<int> rows;
    for (int row : m_marked)
        if (row >= 0 && row < m_analyser->Rows().size()) rows.append(row);
    if (m_selected >= 0 && m_selected < m_analyser->Rows().size() && !rows.contains(m_selected))
        rows.append(m_selected);
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TAnalyserView::LineAt(int y) const {
    if (y < AxisHeight) return -1;
    return std::min<int>((y - AxisHeight) / RowHeight, int(m_analyser->Lines().size()));
}

void TAnalyserView::DrawHeader(QPainter& painter, const QString& group, int top,
                               int plotWidth) const {
    const QRect labelRect(0, top, LabelWidth, RowHeight);
    const bool selected = group == m_selectedGroup;
    painter.fillRect(labelRect, selected ? QColor(200, 220, 255) : QColor(225, 225, 232));
    painter.fillRect(QRect(LabelWidth, top, plotWidth, RowHeight), QColor(242, 242, 246));
    const bool collapsed = m_analyser->Collapsed(group);
    // The triangle: pointing right when folded, down when open.
    QPainterPath triangle;
    const QPointF c(9, top + RowHeight / 2.0);
    if (collapsed) {
        triangle.moveTo(c + QPointF(-3, -5));
        triangle.lineTo(c + QPointF(4, 0));
        triangle.lineTo(c + QPointF(-3, 5));
    } else {
        triangle.moveTo(c + QPointF(-5, -3));
        triangle.lineTo(c + QPointF(5, -3));
        triangle.lineTo(c + QPointF(0, 4));
    }
    triangle.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillPath(triangle, QColor(70, 70, 70));
    painter.restore();
    int count = 0;
    for (const TAnalyserRow& row : m_analyser->Rows())
        if (row.Group == group) ++count;
    QFont font = painter.font();
    font.setBold(true);
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(labelRect.adjusted(18, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(group, Qt::ElideRight, LabelWidth - 20));
    painter.restore();
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRect(LabelWidth + 6, top, plotWidth - 6, RowHeight),
                     Qt::AlignVCenter | Qt::AlignLeft,
                     collapsed ? QStringLiteral("%1 rows folded").arg(count)
                               : QStringLiteral("%1 rows").arg(count));
    painter.setPen(QColor(200, 200, 210));
    painter.drawLine(0, top + RowHeight - 1, LabelWidth + plotWidth, top + RowHeight - 1);
}

void TAnalyserView::StartRowDrag() {
    const QList<TAnalyserLine> lines = m_analyser->Lines();
    const int line = LineAt(m_pressAt.y());
    if (line < 0 || line >= lines.size()) return;
    auto* data = new QMimeData;
    if (lines[line].Row >= 0) {
        data->setData(RowsMime, QStringLiteral("row %1").arg(lines[line].Row).toUtf8());
        data->setText(m_analyser->RowPath(lines[line].Row));
    } else {
        data->setData(RowsMime, (QStringLiteral("group ") + lines[line].Group).toUtf8());
        QStringList paths;
        for (int i = 0; i < m_analyser->Rows().size(); ++i)
            if (m_analyser->Rows()[i].Group == lines[line].Group) paths << m_analyser->RowPath(i);
        data->setText(paths.join(QLatin1Char('\n')));
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    m_dropY = -1;
    update();
}

std::pair<int, QString> TAnalyserView::DropPlace(int y) const {
    const QList<TAnalyserLine> lines = m_analyser->Lines();
    const int rows = int(m_analyser->Rows().size());
    const int line = LineAt(y);
    if (line < 0) return {0, QString()};
    if (line >= lines.size()) return {rows, QString()};
    const TAnalyserLine& at = lines[line];
    if (at.Row < 0) {
        // On a header: first in its group.
        for (int i = 0; i < rows; ++i)
            if (m_analyser->Rows()[i].Group == at.Group) return {i, at.Group};
        return {rows, at.Group};
    }
    const bool lowerHalf = (y - AxisHeight) % RowHeight >= RowHeight / 2;
    return {lowerHalf ? at.Row + 1 : at.Row, m_analyser->Rows()[at.Row].Group};
}

bool TAnalyserView::Drop(const QMimeData* data, int y) {
    if (!data) return false;
    const auto [before, group] = DropPlace(y);
    if (data->hasFormat(RowsMime)) {
        const QString what = QString::fromUtf8(data->data(RowsMime));
        if (what.startsWith(QStringLiteral("row "))) {
            bool ok = false;
            const int row = what.mid(4).toInt(&ok);
            if (!ok || row < 0 || row >= m_analyser->Rows().size()) return false;
            const int trace = m_analyser->Rows()[row].Trace;
            m_analyser->MoveRowsTo({row}, before, group);
            for (int i = 0; i < m_analyser->Rows().size() && trace >= 0; ++i)
                if (m_analyser->Rows()[i].Trace == trace) SetSelected(i);
        } else if (what.startsWith(QStringLiteral("group "))) {
            const QString moved = what.mid(6);
            QList<int> members;
            for (int i = 0; i < m_analyser->Rows().size(); ++i)
                if (m_analyser->Rows()[i].Group == moved) members << i;
            if (members.isEmpty() || group == moved) return false;
            m_analyser->MoveRowsTo(members, before, moved);
        } else {
            return false;
        }
        AnalyserSetup::Commit(m_analyser);
        return true;
    }
    if (!data->hasText()) return false;
    QStringList failed;
    QList<int> added;
    for (const QString& line : data->text().split(QLatin1Char('\n'))) {
        const QString path = line.trimmed();
        if (path.isEmpty()) continue;
        // A drop of something that is no list of paths is refused, not tried line by line.
        if (path.size() > AnalyserSetup::MaxField || added.size() + failed.size() >= 256) {
            failed << QStringLiteral("the dropped text is not a list of trace paths");
            break;
        }
        QString error;
        if (m_analyser->AddPath(path, &error))
            added << int(m_analyser->Rows().size()) - 1;
        else
            failed << error;
    }
    if (!added.isEmpty()) {
        m_analyser->MoveRowsTo(added, before, group);
        SetSelected(std::min<int>(before, int(m_analyser->Rows().size()) - 1));
        AnalyserSetup::Commit(m_analyser);
    }
    if (!failed.isEmpty()) ShowErrorBox(this, failed.join(QLatin1Char('\n')));
    return !added.isEmpty();
}

void TAnalyserView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(RowsMime) || event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TAnalyserView::dragMoveEvent(QDragMoveEvent* event) {
    // The edge between lines where the drop would go: below a header, else the nearer edge.
    const int y = event->position().toPoint().y();
    const QList<TAnalyserLine> lines = m_analyser->Lines();
    const int line = std::max(0, LineAt(y));
    int edge = line;
    if (line < lines.size() &&
        (lines[line].Row < 0 || (y - AxisHeight) % RowHeight >= RowHeight / 2))
        ++edge;
    m_dropY = AxisHeight + edge * RowHeight;
    event->acceptProposedAction();
    update();
}

void TAnalyserView::dragLeaveEvent(QDragLeaveEvent*) {
    m_dropY = -1;
    update();
}

void TAnalyserView::dropEvent(QDropEvent* event) {
    m_dropY = -1;
    if (Drop(event->mimeData(), event->position().toPoint().y()))
        event->acceptProposedAction();
    else
        event->ignore();
    update();
}

void TAnalyserView::DrawLcd(QPainter& painter, int row, int top, int plotWidth) const {
    painter.save();
    painter.translate(LabelWidth, top);
    painter.setClipRect(0, 0, plotWidth, RowHeight);
    const double from = std::max(0.0, m_view.StartPs);
    const double to = std::min(m_view.Time(plotWidth), double(m_analyser->EndPs()));
    if (to < from) {
        painter.restore();
        return;
    }
    // Each transfer is a box from the rise of E to the next transfer (or the present): commands
    // blue, data green, reads grey, with as much of its text as fits.
    // From the last transfer before the view: its box reaches into it.
    const TTraceIndex& index = m_analyser->Index();
    const int e = m_analyser->Rows()[row].Trace;
    std::optional<quint64> before = index.PreviousEdge(e, quint64(from));
    if (before) before = index.PreviousEdge(e, *before);
    const std::vector<TLcdTransfer> transfers =
        m_analyser->LcdTransfers(row, before.value_or(quint64(from)), quint64(to));
    const quint64 end = m_analyser->EndPs();
    const int y0 = 5, y1 = RowHeight - 6;
    double lastX = -10;
    for (size_t i = 0; i < transfers.size(); ++i) {
        const TLcdTransfer& t = transfers[i];
        const double x0 = m_view.X(double(t.Start));
        const double x1 = m_view.X(double(i + 1 < transfers.size() ? transfers[i + 1].Start : end));
        // Transfers closer than a pixel share one mark.
        if (x0 - lastX < 1 && x1 - x0 < 3) continue;
        lastX = x0;
        const QColor colour = t.Read   ? QColor(120, 120, 120)
                              : t.Data ? QColor(0, 140, 60)
                                       : QColor(0, 90, 200);
        const QRectF box(x0, y0, std::max(1.0, x1 - x0 - 1), y1 - y0);
        painter.fillRect(box, QColor(colour.red(), colour.green(), colour.blue(), 45));
        painter.setPen(QPen(colour, 1));
        painter.drawRect(box);
        // The text stays in the visible part of a box that starts left of the view.
        const QRectF label =
            box.intersected(QRectF(0, y0, plotWidth, y1 - y0)).adjusted(2, 0, -2, 0);
        if (label.width() > 8) {
            painter.setPen(Qt::black);
            painter.drawText(
                label, Qt::AlignVCenter | Qt::AlignLeft,
                painter.fontMetrics().elidedText(t.Text, Qt::ElideRight, int(label.width())));
        }
    }
    painter.restore();
}

// ---------------------------------------------------------------- panel

namespace {

// A command of the analyser's bar: a button while it fits, an entry of the bar's extension menu
// when the dock is too narrow for it.
QAction* command(QToolBar* bar, const QString& text, const char* name, const QString& tip,
                 const QString& buttonText = {}) {
    QAction* action = bar->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(tip);
    if (!buttonText.isEmpty()) action->setIconText(buttonText); // the menu keeps the words
    return action;
}

} // namespace

TAnalyserPanel::TAnalyserPanel(TfrmPlugin* window, QWidget* parent)
    : QWidget(parent), m_window(window), m_analyser(new TAnalyser(window, this)) {
    setObjectName(QStringLiteral("AnalyserPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    // A tool bar rather than a row of buttons: in a narrow dock (beside the terminal and the
    // debugger's docks) what does not fit goes behind its extension button instead of widening
    // the window past the screen.
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("AnalyserBar"));
    bar->setIconSize(QSize(16, 16));
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("AnalyserPath"));
    m_path->setPlaceholderText(QStringLiteral("Trace (e.g. SW1.Contact1, Host.P1, Host.TXD)"));
    m_path->setToolTip(QStringLiteral("Rows also come from a component's right-click menu, from "
                                      "dragging a component with the middle button onto the "
                                      "rows, and from trace paths dropped as text"));
    m_path->setCompleter(new QCompleter(this));
    m_path->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    m_path->setMaximumWidth(240);
    m_path->setMinimumWidth(160);
    bar->addWidget(m_path);
    connect(m_path, &QLineEdit::returnPressed, this, &TAnalyserPanel::AddClick);
    connect(command(bar, QStringLiteral("Add"), "AnalyserAdd", QStringLiteral("Add the trace")),
            &QAction::triggered, this, &TAnalyserPanel::AddClick);
    connect(command(bar, QStringLiteral("Remove"), "AnalyserRemove",
                    QStringLiteral("Remove the selected row")),
            &QAction::triggered, this, &TAnalyserPanel::RemoveClick);
    connect(command(bar, QStringLiteral("Move Up"), "AnalyserUp", QStringLiteral("Move the row up"),
                    QStringLiteral("\u2191")),
            &QAction::triggered, this, [this] { MoveClick(-1); });
    connect(command(bar, QStringLiteral("Move Down"), "AnalyserDown",
                    QStringLiteral("Move the row down"), QStringLiteral("\u2193")),
            &QAction::triggered, this, [this] { MoveClick(1); });
    connect(command(bar, QStringLiteral("Group"), "AnalyserGroup",
                    QStringLiteral("Put the row in a named group")),
            &QAction::triggered, this, &TAnalyserPanel::GroupClick);
    connect(
        command(bar, QStringLiteral("Rename"), "AnalyserRename", QStringLiteral("Rename the row")),
        &QAction::triggered, this, &TAnalyserPanel::RenameClick);
    connect(command(bar, QStringLiteral("Colour"), "AnalyserColour",
                    QStringLiteral("Colour of the row")),
            &QAction::triggered, this, &TAnalyserPanel::ColourClick);
    connect(command(bar, QStringLiteral("UART"), "AnalyserUart",
                    QStringLiteral("Decode the row as UART frames")),
            &QAction::triggered, this, &TAnalyserPanel::UartClick);
    connect(command(bar, QStringLiteral("LCD"), "AnalyserLcd",
                    QStringLiteral("Add a row that decodes a character LCD's bus")),
            &QAction::triggered, this, &TAnalyserPanel::LcdClick);
    connect(command(bar, QStringLiteral("Previous Edge"), "AnalyserPrevEdge",
                    QStringLiteral("Previous edge (cursor A)"), QStringLiteral("\u25C0")),
            &QAction::triggered, this, [this] { JumpEdge(false); });
    connect(command(bar, QStringLiteral("Next Edge"), "AnalyserNextEdge",
                    QStringLiteral("Next edge (cursor A)"), QStringLiteral("\u25B6")),
            &QAction::triggered, this, [this] { JumpEdge(true); });
    connect(command(bar, QStringLiteral("Fit"), "AnalyserFit", QStringLiteral("Fit all")),
            &QAction::triggered, this, [this] { m_viewWidget->FitAll(); });
    m_followBox = command(bar, QStringLiteral("Follow"), "AnalyserFollow",
                          QStringLiteral("Keep the present in view while running"));
    m_followBox->setCheckable(true);
    m_followBox->setChecked(true);
    connect(command(bar, QStringLiteral("Trigger"), "AnalyserTrigger",
                    QStringLiteral("Arm a single trigger on the selected row")),
            &QAction::triggered, this, &TAnalyserPanel::TriggerClick);
    QAction* exportAction =
        command(bar, QStringLiteral("Export"), "AnalyserExport", QStringLiteral("Export"));
    auto* exportMenu = new QMenu(this);
    const QStringList exports = {QStringLiteral("VCD (whole recording)..."),
                                 QStringLiteral("VCD (between cursors)..."),
                                 QStringLiteral("Picture (PNG or SVG)...")};
    for (int i = 0; i < exports.size(); ++i)
        connect(exportMenu->addAction(exports[i]), &QAction::triggered, this,
                [this, i] { ExportClick(i); });
    exportAction->setMenu(exportMenu);
    if (auto* exportButton = qobject_cast<QToolButton*>(bar->widgetForAction(exportAction)))
        exportButton->setPopupMode(QToolButton::InstantPopup);
    layout->addWidget(bar);

    m_viewWidget = new TAnalyserView(m_analyser, this);
    m_viewWidget->SetFollow(true);
    // Many rows scroll rather than squeeze the board out of the window.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("AnalyserScroller"));
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidget(m_viewWidget);
    layout->addWidget(scroller, 1);
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("AnalyserReadout"));
    layout->addWidget(m_readout);
    connect(m_followBox, &QAction::toggled, m_viewWidget, &TAnalyserView::SetFollow);
    connect(m_viewWidget, &TAnalyserView::CursorsChanged, this, &TAnalyserPanel::UpdateReadout);
    connect(m_viewWidget, &TAnalyserView::EdgeRequested, this, &TAnalyserPanel::JumpEdge);
    connect(m_analyser, &TAnalyser::Triggered, this, [this](quint64 ps) {
        m_analyser->CursorA = ps;
        m_followBox->setChecked(false);
        m_viewWidget->View().SetStart(double(ps) - m_viewWidget->PlotWidth() / 2.0 *
                                                       m_viewWidget->View().PsPerPixel);
        UpdateReadout();
    });
    connect(m_window, &TfrmPlugin::RunningChanged, this, &TAnalyserPanel::UpdateCompletion);

    // The present scrolls in ~15 times a second; a hidden dock costs nothing.
    m_timer = new QTimer(this);
    m_timer->setInterval(66);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (isVisible() || m_analyser->Armed()) m_viewWidget->Tick();
    });
    m_timer->start();
    UpdateReadout();
}

void TAnalyserPanel::UpdateCompletion() {
    QStringList paths;
    for (const char* pin : {"P0", "P1", "P2", "P3", "TXD", "RXD", "INT0", "INT1", "T0", "T1"})
        paths << QStringLiteral("Host.") + QLatin1String(pin);
    TBoardSurface* board = m_window->Board();
    for (QObject* object : board->OwnedObjects()) {
        if (object->objectName().isEmpty()) continue;
        for (TOrvexDriver* contact : object->findChildren<TOrvexDriver*>()) {
            QString path = contact->objectName();
            for (QObject* up = contact->parent(); up && up != object; up = up->parent())
                path = up->objectName() + QLatin1Char('.') + path;
            if (!contact->objectName().isEmpty())
                paths << object->objectName() + QLatin1Char('.') + path;
        }
    }
    paths.removeDuplicates();
    m_path->completer()->setModel(nullptr);
    delete m_path->completer();
    auto* completer = new QCompleter(paths, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_path->setCompleter(completer);
}

bool TAnalyserPanel::AddPath(const QString& path) {
    QString error;
    if (!m_analyser->AddPath(path, &error)) {
        ShowErrorBox(this, error);
        return false;
    }
    m_viewWidget->SetSelected(int(m_analyser->Rows().size()) - 1);
    AnalyserSetup::Commit(m_analyser);
    return true;
}

void TAnalyserPanel::AddClick() {
    if (m_path->text().trimmed().isEmpty()) return;
    if (AddPath(m_path->text())) m_path->clear();
}

void TAnalyserPanel::MoveClick(int by) {
    if (!m_viewWidget->SelectedGroup().isEmpty()) {
        m_analyser->MoveGroup(m_viewWidget->SelectedGroup(), by);
    } else {
        const int row = m_viewWidget->Selected();
        if (row < 0 || row >= m_analyser->Rows().size()) return;
        const int trace = m_analyser->Rows()[row].Trace;
        const QString label = m_analyser->Rows()[row].Label;
        m_analyser->MoveRowInGroups(row, by);
        // The selection follows the row.
        for (int i = 0; i < m_analyser->Rows().size(); ++i)
            if (m_analyser->Rows()[i].Trace == trace && m_analyser->Rows()[i].Label == label)
                m_viewWidget->SetSelected(i);
    }
    AnalyserSetup::Commit(m_analyser);
}

void TAnalyserPanel::GroupClick() {
    // The selected rows join a group; with a header selected, its rows take the new name.
    const QString header = m_viewWidget->SelectedGroup();
    QList<int> rows;
    if (!header.isEmpty()) {
        for (int i = 0; i < m_analyser->Rows().size(); ++i)
            if (m_analyser->Rows()[i].Group == header) rows << i;
    } else {
        rows = m_viewWidget->SelectedRows();
    }
    if (rows.isEmpty()) {
        ShowErrorBox(this, QStringLiteral("Select the rows to group first (Ctrl+click adds rows)"));
        return;
    }
    const QStringList groups = m_analyser->Groups();
    const std::optional<QString> name = Dialogs().InputText(
        this, QStringLiteral("Group"),
        groups.isEmpty() ? QStringLiteral("Group name (empty: no group):")
                         : QStringLiteral("Group name (empty: no group; groups: %1):")
                               .arg(groups.join(QStringLiteral(", "))),
        header.isEmpty() ? m_analyser->Rows()[rows.first()].Group : header);
    if (!name) return;
    const QString group = name->trimmed();
    if (group.size() > AnalyserSetup::MaxField) {
        ShowErrorBox(
            this,
            QStringLiteral("A group name has at most %1 characters").arg(AnalyserSetup::MaxField));
        return;
    }
    const int trace = m_analyser->Rows()[rows.first()].Trace;
    m_analyser->SetGroup(rows, group);
    if (!header.isEmpty() && !group.isEmpty()) {
        m_viewWidget->SelectGroup(group);
    } else {
        for (int i = 0; i < m_analyser->Rows().size(); ++i)
            if (m_analyser->Rows()[i].Trace == trace && m_analyser->Rows()[i].Group == group)
                m_viewWidget->SetSelected(i);
    }
    AnalyserSetup::Commit(m_analyser);
}

void TAnalyserPanel::RemoveClick() {
    m_analyser->RemoveRow(m_viewWidget->Selected());
    AnalyserSetup::Commit(m_analyser);
}

void TAnalyserPanel::RenameClick() {
    const int row = m_viewWidget->Selected();
    if (row < 0 || row >= m_analyser->Rows().size()) return;
    const std::optional<QString> name = Dialogs().InputText(
        this, QStringLiteral("Rename Row"), QStringLiteral("Name:"), m_analyser->Rows()[row].Label);
    if (!name || name->trimmed().isEmpty()) return;
    if (name->trimmed().size() > AnalyserSetup::MaxField) {
        ShowErrorBox(
            this,
            QStringLiteral("A row's name has at most %1 characters").arg(AnalyserSetup::MaxField));
        return;
    }
    m_analyser->Row(row).Label = name->trimmed();
    m_viewWidget->update();
    AnalyserSetup::Commit(m_analyser);
}

void TAnalyserPanel::ColourClick() {
    const int row = m_viewWidget->Selected();
    if (row < 0 || row >= m_analyser->Rows().size()) return;
    const std::optional<QString> name = Dialogs().InputText(
        this, QStringLiteral("Row Colour"), QStringLiteral("Colour (name or #RRGGBB):"),
        m_analyser->Rows()[row].Color.name());
    if (!name) return;
    const QColor colour = QColor::fromString(name->trimmed());
    if (!colour.isValid()) {
        ShowErrorBox(this, QStringLiteral("%1 is no colour").arg(*name));
        return;
    }
    m_analyser->Row(row).Color = colour;
    m_viewWidget->update();
    AnalyserSetup::Commit(m_analyser);
}

void TAnalyserPanel::UartClick() {
    const int row = m_viewWidget->Selected();
    if (row < 0 || row >= m_analyser->Rows().size()) return;
    const TAnalyserRow& r = m_analyser->Rows()[row];
    if (m_analyser->Width(row) != 1 || r.Lcd) {
        ShowErrorBox(this, QStringLiteral("A UART is decoded from a single line, not a bus"));
        return;
    }
    const TTraceRecorder::TTrace& trace = m_analyser->Session()->Recorder().Trace(r.Trace);
    const bool serialPin =
        trace.IsCore && trace.Core.Port == 3 && (trace.Core.Bit == 0 || trace.Core.Bit == 1);
    TUartSettings settings;
    settings.On = true; // asked for to decode; unticking turns it off
    settings.Baud = r.Baud;
    settings.Bits = r.UartBits;
    auto* dialog = new TUartDialog(settings, serialPin, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, row] {
        if (const std::optional<TUartSettings> result = dialog->Result()) ApplyUart(row, *result);
    });
    dialog->open();
}

void TAnalyserPanel::ApplyUart(int row, const TUartSettings& settings) {
    if (row < 0 || row >= m_analyser->Rows().size() || m_analyser->Width(row) != 1) return;
    TAnalyserRow& r = m_analyser->Row(row);
    r.Uart = settings.On;
    r.Baud = settings.Baud;
    r.UartBits = settings.Bits;
    AnalyserSetup::Commit(m_analyser);
    if (r.Uart && m_analyser->BaudOf(row) <= 0)
        ShowInformationBox(this, QStringLiteral("No baud rate yet: the firmware's serial port is "
                                                "not set up; set one by hand"));
    m_viewWidget->update();
}

void TAnalyserPanel::TriggerClick() {
    QList<TTriggerRowChoice> rows;
    for (int i = 0; i < m_analyser->Rows().size(); ++i)
        rows.append({m_analyser->Rows()[i].Label, m_analyser->Width(i)});
    if (rows.isEmpty()) {
        ShowErrorBox(this, QStringLiteral("Add the row to trigger on first"));
        return;
    }
    auto* dialog = new TTriggerDialog(rows, m_viewWidget->Selected(), m_analyser->Armed(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, dialog](int code) {
        if (code == TTriggerDialog::Disarmed) {
            m_analyser->Disarm();
            UpdateReadout();
        } else if (code == QDialog::Accepted) {
            if (const std::optional<TAnalyserTrigger> trigger = dialog->Result())
                ApplyTrigger(*trigger);
        }
    });
    dialog->open();
}

void TAnalyserPanel::ApplyTrigger(const TAnalyserTrigger& trigger) {
    if (trigger.Row < 0 || trigger.Row >= m_analyser->Rows().size()) return;
    m_analyser->Arm(trigger);
    UpdateReadout();
}

void TAnalyserPanel::LcdClick() {
    QStringList lines, buses;
    for (int i = 0; i < m_analyser->Rows().size(); ++i) {
        if (m_analyser->Rows()[i].Lcd) continue;
        (m_analyser->Width(i) == 1 ? lines : buses)
            << m_analyser->TracePath(m_analyser->Rows()[i].Trace);
    }
    auto* dialog = new TLcdDialog(lines, buses, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (const std::optional<TLcdBusPaths> paths = dialog->Result()) AddLcdRow(*paths);
    });
    dialog->open();
}

bool TAnalyserPanel::AddLcdRow(const TLcdBusPaths& paths) {
    QString error;
    if (!m_analyser->AddLcdRow(paths, &error)) {
        ShowErrorBox(this, error);
        return false;
    }
    AnalyserSetup::Commit(m_analyser);
    m_viewWidget->SetSelected(int(m_analyser->Rows().size()) - 1);
    return true;
}

void TAnalyserPanel::JumpEdge(bool next) {
    const int row = m_viewWidget->Selected();
    if (row < 0 || row >= m_analyser->Rows().size()) return;
    m_analyser->Refresh();
    const int trace = m_analyser->Rows()[row].Trace;
    const quint64 from = m_analyser->CursorA.value_or(
        quint64(std::max(0.0, m_viewWidget->View().Time(next ? 0 : m_viewWidget->PlotWidth()))));
    const std::optional<quint64> edge = next ? m_analyser->Index().NextEdge(trace, from)
                                             : m_analyser->Index().PreviousEdge(trace, from);
    if (!edge) return;
    m_analyser->CursorA = *edge;
    // Keep it in view.
    TTimeView& view = m_viewWidget->View();
    const double x = view.X(double(*edge));
    if (x < 0 || x > m_viewWidget->PlotWidth()) {
        m_followBox->setChecked(false);
        view.SetStart(double(*edge) - m_viewWidget->PlotWidth() / 2.0 * view.PsPerPixel);
    }
    m_viewWidget->update();
    UpdateReadout();
}

void TAnalyserPanel::UpdateReadout() {
    QStringList parts;
    const auto& a = m_analyser->CursorA;
    const auto& b = m_analyser->CursorB;
    if (a) parts << QStringLiteral("A: %1").arg(AnalyserTimeText(double(*a), 9));
    if (b) parts << QStringLiteral("B: %1").arg(AnalyserTimeText(double(*b), 9));
    if (a && b && *a != *b) {
        const double delta = std::fabs(double(*b) - double(*a));
        parts << QStringLiteral("\u0394t: %1").arg(AnalyserTimeText(delta, 9))
              << QStringLiteral("1/\u0394t: %1").arg(AnalyserFrequencyText(1e12 / delta));
    }
    if (m_analyser->Armed()) parts << QStringLiteral("trigger armed");
    if (m_analyser->TriggeredAt())
        parts << QStringLiteral("triggered at %1")
                     .arg(AnalyserTimeText(double(*m_analyser->TriggeredAt())));
    if (parts.isEmpty())
        parts << QStringLiteral("Left click: cursor A, right or Shift click: cursor B");
    m_readout->setText(parts.join(QStringLiteral("    ")));
}

bool TAnalyserPanel::ExportVcd(const QString& fileName, bool betweenCursors) {
    TVcdOptions options;
    options.UnitPs = m_analyser->Session()->DefaultVcdUnit();
    if (betweenCursors) {
        const auto& a = m_analyser->CursorA;
        const auto& b = m_analyser->CursorB;
        if (!a || !b || *a == *b) {
            ShowErrorBox(this, QStringLiteral("Place both cursors first"));
            return false;
        }
        options.From = std::min(*a, *b);
        options.To = std::max(*a, *b);
    }
    QString error;
    const QByteArray text = m_analyser->Session()->Vcd(options, &error);
    if (text.isEmpty()) {
        ShowErrorBox(this, error.isEmpty() ? QStringLiteral("Nothing is traced") : error);
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush()) {
        ShowErrorBox(this, QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
        return false;
    }
    return true;
}

bool TAnalyserPanel::ExportPicture(const QString& fileName) {
    const QSize size = m_viewWidget->size();
    if (fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator generator;
        generator.setFileName(fileName);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(QStringLiteral("Analyser"));
        QPainter painter;
        if (!painter.begin(&generator)) {
            ShowErrorBox(this, QStringLiteral("Cannot write %1").arg(fileName));
            return false;
        }
        m_viewWidget->Render(painter, size);
        painter.end();
        if (!QFile::exists(fileName)) {
            ShowErrorBox(this, QStringLiteral("Cannot write %1").arg(fileName));
            return false;
        }
        return true;
    }
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    m_viewWidget->Render(painter, size);
    painter.end();
    if (!image.save(fileName, "PNG")) {
        ShowErrorBox(this, QStringLiteral("Cannot write %1").arg(fileName));
        return false;
    }
    return true;
}

void TAnalyserPanel::ExportClick(int what) {
    FileDialogOptions options;
    options.caption = QStringLiteral("Export");
    if (what < 2) {
        options.filter = QStringLiteral("Value change dump (*.vcd)");
        options.defaultSuffix = QStringLiteral("vcd");
    } else {
        options.filter = QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)");
        options.defaultSuffix = QStringLiteral("png");
    }
    const QString fileName = Dialogs().SaveFileName(this, options);
    if (fileName.isEmpty()) return;
    if (what < 2)
        ExportVcd(fileName, what == 1);
    else
        ExportPicture(fileName);
}

// ---------------------------------------------------------------- window

QDockWidget* InstallAnalyser(TfrmPlugin* window) {
    auto* dock = new QDockWidget(QStringLiteral("Analyser"), window);
    dock->setObjectName(QStringLiteral("AnalyserDock"));
    auto* panel = new TAnalyserPanel(window, dock);
    dock->setWidget(panel);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QMenu* menu = window->Firmware()->Menu();
    menu->addSeparator();
    QAction* show = dock->toggleViewAction();
    show->setText(QStringLiteral("&Analyser"));
    show->setObjectName(QStringLiteral("miAnalyser"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A));
    menu->addAction(show);
    QObject::connect(show, &QAction::toggled, panel, [panel](bool on) {
        if (on) panel->UpdateCompletion();
    });
    // Every contact of the selected components, as rows: what each one's context menu adds
    // with All Contacts.
    QAction* add = menu->addAction(QStringLiteral("A&dd Selection to Analyser"));
    add->setObjectName(QStringLiteral("miAddToAnalyser"));
    QObject::connect(add, &QAction::triggered, panel, [window, dock, panel] {
        QStringList failed;
        for (TOrvexGraphicComponent* component : window->SelectedComponents()) {
            for (const QString& path : BoardContextMenu::TracePaths(component)) {
                if (path.startsWith(QStringLiteral("Host."))) continue;
                QString error;
                if (!panel->Analyser()->AddPath(path, &error)) failed << error;
            }
        }
        dock->show();
        AnalyserSetup::Commit(panel->Analyser());
        if (!failed.isEmpty()) ShowErrorBox(panel, failed.join(QLatin1Char('\n')));
    });
    return dock;
}
