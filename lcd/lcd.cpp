#include "lcd/lcd.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>

#include "lcd/lcdfont.h"
#include "platform/errors.h"
#include "resources/pictures.h"

namespace {

const QColor LitDot(0, 0, 0);
const QColor GlassLit(168, 188, 33);
const QColor GlassDark(83, 87, 49);
const QColor Border(16, 16, 16);
const QColor Strip(128, 128, 128);
const QColor NameInk(225, 225, 225);

quint32 g_nextHandle = 1;

} // namespace

// ================================================================ TLCDDispView

TLCDDispView::TLCDDispView(TLCD* module, TLCDControl* controller, int dotsWide, int dotsHigh)
    : QWidget(module), m_controller(controller), m_dotsWide(dotsWide), m_dotsHigh(dotsHigh),
      m_module(module) {
    // The module under the view takes the mouse, as if the view were not there.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_origin = QPoint(8 * m_dotSize + 2, 8 * m_dotSize + 2);
}

void TLCDDispView::SetDotSize(int value) {
    if (value < 1 || value > MaxDotSize)
        throw ComponentError(
            QStringLiteral("DotSize must be from 1 to %1, not %2").arg(MaxDotSize).arg(value));
    m_dotSize = value;
    ResizeView();
}

void TLCDDispView::SetUnderlight(bool value) {
    m_underlight = value;
    update();
}

QSize TLCDDispView::ViewSize() const {
    return QSize(m_dotSize * (m_dotsWide + 19), m_dotSize * (m_dotsHigh + 19));
}

void TLCDDispView::ResizeView() {
    m_origin = QPoint(8 * m_dotSize + 2, 8 * m_dotSize + 2);
    // In the schematic view the module shows its symbol; the glass takes its size when it shows
    // again.
    if (m_module && m_module->Visibility() == vs_Schematic) return;
    const bool outer = m_resizing;
    m_resizing = true;
    const QSize size = ViewSize();
    resize(size);
    if (m_module) m_module->ApplySize(size);
    m_resizing = outer;
    update();
}

QColor TLCDDispView::GlassColor() const {
    return m_underlight ? GlassLit : GlassDark;
}

void TLCDDispView::DrawCell(int) {}

bool TLCDDispView::ShowsDots() const {
    if (!m_module) return false;
    const TVisibility visibility = m_module->Visibility();
    if (visibility != vs_Component && visibility != vs_Hybrid) return false;
    const BoardLink* board = m_module->OwnerForm();
    return !board || !board->Suspended();
}

void TLCDDispView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintFrame(painter);
    if (ShowsDots()) PaintDots(painter);
    // The border is nearly black: the mark shows in white on it.
    if (m_module && m_module->Selected()) PaintSelectionMark(painter, size(), Qt::white);
}

void TLCDDispView::PaintFrame(QPainter& painter) {
    const int d = m_dotSize;
    const int w = width();
    const int h = height();
    // The glass inside a dark border 5 dots wide, two grey strips along its top and bottom.
    painter.fillRect(rect(), Border);
    painter.fillRect(QRect(5 * d, 5 * d, w - 10 * d, h - 10 * d), GlassColor());
    int stripLeft = 3 * d;
    const QString name = m_module && m_module->ShowName() ? m_module->GetCaption() : QString();
    if (!name.isEmpty()) {
        // Light on the dark border, where the top strip would run; the strip starts after it.
        const QFont font = m_module->FitNameFont(name, w - 6 * d, 5 * d, w);
        const QFontMetrics metrics(font);
        const int top = std::max(0, (5 * d - metrics.height()) / 2);
        painter.save();
        painter.setFont(font);
        painter.setPen(NameInk);
        painter.drawText(QPoint(3 * d, top + metrics.ascent()), name);
        painter.restore();
        stripLeft = std::min(w - 3 * d, 3 * d + metrics.horizontalAdvance(name) + 2 * d);
    }
    painter.fillRect(QRect(stripLeft, 2 * d, w - 3 * d - stripLeft, d), Strip);
    painter.fillRect(QRect(3 * d, h - 3 * d, w - 6 * d, d), Strip);
}

QRect TLCDDispView::DotRect(int x, int y, int w, int h) const {
    return QRect(m_origin.x() + x * m_dotSize, m_origin.y() + y * m_dotSize, w * m_dotSize,
                 h * m_dotSize);
}

void TLCDDispView::FillDot(QPainter& painter, int x, int y, bool lit) const {
    painter.fillRect(DotRect(x, y, 1, 1), lit ? LitDot : GlassColor());
}

// ================================================================ TLCDAlphaView

TLCDAlphaView::TLCDAlphaView(TLCD* module, TLCDAlphaControl* controller)
    : TLCDDispView(module, controller, 6 * 16, 9 * 2) {}

TLCDAlphaControl* TLCDAlphaView::Alpha() const {
    return static_cast<TLCDAlphaControl*>(m_controller.data());
}

int TLCDAlphaView::Lines() const {
    switch (m_noOfLines) {
    case lcd_SingleLine:
        return 1;
    case lcd_FourLines:
        return 4;
    default:
        return 2;
    }
}

int TLCDAlphaView::Chars() const {
    switch (m_charsPerLine) {
    case lcd_8Ch:
        return 8;
    case lcd_20Ch:
        return 20;
    default:
        return 16;
    }
}

void TLCDAlphaView::SetNoOfLines(TLCD_Lines value) {
    m_noOfLines = value;
    m_dotsHigh = 9 * Lines();
    ResizeView();
}

void TLCDAlphaView::SetCharsPerLine(TLCD_Chars value) {
    m_charsPerLine = value;
    m_dotsWide = 6 * Chars();
    ResizeView();
}

QList<TLCDAlphaView::Place> TLCDAlphaView::Layout() const {
    QList<Place> places;
    const TLCDAlphaControl* alpha = Alpha();
    const int s = alpha ? alpha->ShiftOffset() : 0;
    const int n = Chars();
    const int lines = Lines();
    if (lines == 1 && m_lineDivided) {
        // Two halves of display memory side by side on one text row.
        const int h = n / 2;
        for (int c = 0; c < h; ++c)
            places.append({c, 0, (c + s) % 40});
        for (int c = 0; c < h; ++c)
            places.append({h + c, 0, 40 + (c + s) % 40});
        return places;
    }
    const int k = m_charsPerLine == lcd_20Ch ? 20 : 16;
    for (int row = 0; row < lines; ++row) {
        const int half = (row % 2) * 40;         // rows 1 and 3 show the second display line
        const int offset = row >= 2 ? s + k : s; // rows 2 and 3 continue rows 0 and 1
        for (int c = 0; c < n; ++c)
            places.append({c, row, half + (c + offset) % 40});
    }
    return places;
}

QList<QList<int>> TLCDAlphaView::Rows() const {
    QList<QList<int>> rows(Lines(), QList<int>(Chars(), 32));
    if (Lines() == 1) rows = {QList<int>(Chars(), 32)};
    const TLCDAlphaControl* alpha = Alpha();
    if (!alpha) return rows;
    for (const Place& place : Layout())
        rows[place.Row][place.Column] = alpha->DDRAM()[size_t(place.Cell)];
    return rows;
}

void TLCDAlphaView::DrawCell(int index) {
    TLCDAlphaControl* alpha = Alpha();
    if (!alpha || !alpha->DisplayOn()) return;
    if (index == TLCDDisplay::RedrawAll) {
        alpha->RestartBlink();
        update();
        return;
    }
    // While the display shifts with every entry, every cell may have moved.
    if (alpha->ShiftOnEntry()) {
        update();
        return;
    }
    for (const Place& place : Layout())
        if (place.Cell == index) update(DotRect(place.Column * 6, place.Row * 9, 5, 8));
}

void TLCDAlphaView::PaintDots(QPainter& painter) {
    const TLCDAlphaControl* alpha = Alpha();
    if (!alpha || !alpha->DisplayOn()) return;
    const bool cursorShown = alpha->CursorOn() || alpha->BlinkOn();
    for (const Place& place : Layout()) {
        DrawCharacter(painter, place.Column, place.Row, alpha->DDRAM()[size_t(place.Cell)],
                      cursorShown && place.Cell == alpha->AddressCounter());
    }
}

void TLCDAlphaView::DrawCharacter(QPainter& painter, int column, int row, int code,
                                  bool cursor) const {
    const TLCDAlphaControl* alpha = Alpha();
    LCDFont::Glyph glyph = LCDFont::CharacterGlyph(code, alpha->CGRAM());
    if (cursor) {
        if (alpha->CursorOn()) glyph[7] = 0x1F;
        if (alpha->BlinkPhase())
            for (int r = 0; r < 7; ++r)
                glyph[size_t(r)] = 0x1F;
    }
    const int x0 = column * 6;
    const int y0 = row * 9;
    for (int r = 0; r < 8; ++r)
        for (int dot = 0; dot < 5; ++dot)
            if (glyph[size_t(r)] & (0x10 >> dot)) FillDot(painter, x0 + dot, y0 + r, true);
}

// ================================================================ TLCDGraphView

TLCDGraphView::TLCDGraphView(TLCD* module, TLCDGraphControl* controller)
    : TLCDDispView(module, controller, 128, 64) {}

TLCDGraphControl* TLCDGraphView::Graph() const {
    return static_cast<TLCDGraphControl*>(m_controller.data());
}

void TLCDGraphView::SetResolutionX(int value) {
    if (value < 1 || value > 128)
        throw ComponentError(
            QStringLiteral("ResolutionX must be from 1 to 128, not %1").arg(value));
    m_dotsWide = value;
    ResizeView();
}

void TLCDGraphView::SetResolutionY(int value) {
    if (value < 1 || value > 64)
        throw ComponentError(QStringLiteral("ResolutionY must be from 1 to 64, not %1").arg(value));
    m_dotsHigh = value;
    ResizeView();
}

bool TLCDGraphView::PixelLit(int x, int y) const {
    const TLCDGraphControl* graph = Graph();
    if (!graph || x < 0 || y < 0 || x >= m_dotsWide || y >= m_dotsHigh) return false;
    const bool second = x >= 64;
    if (!(second ? graph->DisplayOn2() : graph->DisplayOn1())) return false;
    const int row = (y + (second ? graph->StartLine2() : graph->StartLine1())) % 64;
    const auto& ram = second ? graph->RAM2() : graph->RAM1();
    return ram[size_t((row / 8) * 64 + x % 64)] & (1 << (row % 8));
}

void TLCDGraphView::DrawCell(int index) {
    if (!m_module) return;
    if (const BoardLink* board = m_module->OwnerForm(); board && board->Suspended()) return;
    const TLCDGraphControl* graph = Graph();
    if (!graph || index == TLCDDisplay::RedrawAll || index < 0 || index >= 1024) {
        update();
        return;
    }
    const bool second = index >= 512;
    const int i = index % 512;
    if ((second ? graph->StartLine2() : graph->StartLine1()) != 0) {
        update(); // the page wraps round the glass
        return;
    }
    update(DotRect((i & 63) + (second ? 64 : 0), (i / 64) * 8, 1, 8));
}

void TLCDGraphView::PaintDots(QPainter& painter) {
    const TLCDGraphControl* graph = Graph();
    if (!graph) return;
    for (int chip = 0; chip < 2; ++chip) {
        if (!(chip ? graph->DisplayOn2() : graph->DisplayOn1())) continue;
        const auto& ram = chip ? graph->RAM2() : graph->RAM1();
        const int start = chip ? graph->StartLine2() : graph->StartLine1();
        for (int i = 0; i < 512; ++i) {
            const int byte = ram[size_t(i)];
            const int x = (i & 63) + chip * 64;
            if (!byte || x >= m_dotsWide) continue;
            for (int bit = 0; bit < 8; ++bit) {
                if (!(byte & (1 << bit))) continue;
                const int y = ScreenRow((i / 64) * 8 + bit, start);
                if (y < m_dotsHigh) FillDot(painter, x, y, true);
            }
        }
    }
}

// ================================================================ TLCD

TLCD::TLCD(QWidget* owner) : TOrvexGraphicComponent(owner), m_handle(g_nextHandle++) {
    SetSymmetricPicture(false);
    SetFixedPicture(true);
    SetHasComponentPicture(true);
    SetHasFace(true);
}

TLCD::~TLCD() = default;

void TLCD::Setup(TLCDControl* controller, TLCDDispView* view, const QString& schematicPicture) {
    SetControl(controller);
    m_controller = controller;
    m_view = view;
    SetFace(view);
    LoadPictures(QString(), schematicPicture, false);
    SetStretch(false);
    controller->SetHasView(true);
    controller->CreateView(this, schematicPicture, schematicPicture);
    view->show();
    view->ResizeView();
}

void TLCD::SetDotSize(int value) {
    if (m_view) m_view->SetDotSize(value);
}

void TLCD::SetUnderlight(bool value) {
    if (m_view) m_view->SetUnderlight(value);
}

void TLCD::SetPort(TOrvexPort* port) {
    if (m_controller) m_controller->SetPort(port);
}

TOrvexPinDriver* TLCD::RdWr() const {
    return m_controller ? m_controller->RdWrCtl()->GetContact() : nullptr;
}
void TLCD::SetRdWr(TOrvexPinDriver* driver) {
    if (m_controller) m_controller->RdWrCtl()->SetContact(driver);
}
TOrvexPinDriver* TLCD::RegSel() const {
    return m_controller ? m_controller->RegSelCtl()->GetContact() : nullptr;
}
void TLCD::SetRegSel(TOrvexPinDriver* driver) {
    if (m_controller) m_controller->RegSelCtl()->SetContact(driver);
}
TOrvexPinDriver* TLCD::Enable() const {
    return m_controller ? m_controller->EnableCtl()->GetContact() : nullptr;
}
void TLCD::SetEnable(TOrvexPinDriver* driver) {
    if (m_controller) m_controller->EnableCtl()->SetContact(driver);
}

void TLCD::ApplySize(const QSize& size) {
    if (!CanResize()) return;
    // Fixed: resizes from anywhere else (the editor's corner drag, a file's Width) are refused.
    setFixedSize(size);
}

void TLCD::SetVisibility(TVisibility value) {
    if (!m_view || value == Visibility()) {
        TOrvexGraphicComponent::SetVisibility(value);
        return;
    }
    const bool outer = m_view->Resizing();
    m_view->SetResizing(true);
    // Also when the schematic picture is refused.
    const auto restore = qScopeGuard([&] { m_view->SetResizing(outer); });
    if (value == vs_Schematic) {
        ApplySize(Pictures::NominalSize(SchematicPictureName()));
        m_view->resize(0, 0);
    }
    TOrvexGraphicComponent::SetVisibility(value);
    if (m_controller && m_controller->View()) m_controller->View()->HideView();
    if (value != vs_Schematic) m_view->ResizeView();
}

void TLCD::SetShowName(bool value) {
    TOrvexGraphicComponent::SetShowName(value);
    if (m_view) m_view->update();
}

TNamePlace TLCD::NamePlace() const {
    // The symbol's control pins start at x 10, 15 apart; its data lines follow 13 further on.
    const int controlPins = qobject_cast<const TLCDGraph*>(this) ? 5 : 3;
    const int dataFirst = 10 + (controlPins - 1) * 15 + 13;
    const QRect band(4, 41, dataFirst - 8, 10);
    TNamePlace place;
    place.Rect = band;
    place.Font = FitNameFont(GetCaption(), band.width(), band.height(), width());
    return place;
}

void TLCD::LCDDrawCell(int index) {
    if (m_view) m_view->DrawCell(index);
}

void TLCD::LCDRepaint() {
    if (m_view) m_view->update();
}

qintptr TLCD::HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) {
    TOrvexPort* port = Port();
    if (msg != HostMsg::HostAccess || wParam != m_handle || !port) return 0;
    int value = int(lParam & 0xFF);
    if (!m_controller->FullBus()) value = (port->Value() & 0x0F) | (value & 0xF0);
    port->SetValue(value);
    return 0;
}

QList<TOrvexPinDriver*> TLCD::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts;
    for (TOrvexPinDriver* line : {RdWr(), RegSel(), Enable()})
        if (line) contacts.append(line);
    return contacts;
}

// ================================================================ TLCDAlpha

TLCDAlpha::TLCDAlpha(QWidget* owner) : TLCD(owner) {
    auto* controller = new TLCDAlphaControl(this);
    Setup(controller, new TLCDAlphaView(this, controller), QStringLiteral("LCDAlpha_SCH"));
}

void TLCDAlpha::SetLineDivided(bool value) {
    AlphaView()->SetLineDivided(value);
    AlphaView()->update();
}

void TLCDAlpha::SetLCD_BUS(TLCD_BUS value) {
    Alpha()->SetBus8Bit(value == lcd_BUS8bits);
}

QString TLCDAlpha::Text() const {
    const TLCDAlphaControl* alpha = Alpha();
    if (!alpha || !alpha->DisplayOn()) return QString();
    QStringList rows;
    for (const QList<int>& codes : AlphaView()->Rows()) {
        QString row;
        for (int code : codes) {
            if (code >= 0x20 && code <= 0x7D)
                row += QChar(code);
            else
                row += QStringLiteral("\\x") +
                       QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
        while (row.endsWith(QLatin1Char(' ')))
            row.chop(1);
        rows.append(row);
    }
    return rows.join(QLatin1Char('|'));
}

// ================================================================ TLCDGraph

TLCDGraph::TLCDGraph(QWidget* owner) : TLCD(owner) {
    auto* controller = new TLCDGraphControl(this);
    Setup(controller, new TLCDGraphView(this, controller), QStringLiteral("LCDGraph_SCH"));
}

TOrvexPinDriver* TLCDGraph::CS1() const {
    return Graph() ? Graph()->CS1Ctl()->GetContact() : nullptr;
}
void TLCDGraph::SetCS1(TOrvexPinDriver* driver) {
    if (Graph()) Graph()->CS1Ctl()->SetContact(driver);
}
TOrvexPinDriver* TLCDGraph::CS2() const {
    return Graph() ? Graph()->CS2Ctl()->GetContact() : nullptr;
}
void TLCDGraph::SetCS2(TOrvexPinDriver* driver) {
    if (Graph()) Graph()->CS2Ctl()->SetContact(driver);
}

QList<TOrvexPinDriver*> TLCDGraph::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts = TLCD::SchematicContacts();
    for (TOrvexPinDriver* line : {CS1(), CS2()})
        if (line) contacts.append(line);
    return contacts;
}
