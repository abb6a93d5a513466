#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "components/orvexcomponent.h"
#include "lcd/lcdcontrol.h"
#include "model/hostpins.h"
#include "platform/hostmessages.h"

class TLCD;

// The glass of an LCD module: every dot a DotSize x DotSize square, the glass framed by a dark
// border with two grey strips. The view is its module's face; the mouse passes through it to the
// module.
class TLCDDispView : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxDotSize = 16;

    int DotSize() const { return m_dotSize; }
    // Throws ComponentError outside 1..MaxDotSize.
    void SetDotSize(int value);
    bool Underlight() const { return m_underlight; }
    void SetUnderlight(bool value);
    QPoint Origin() const { return m_origin; }
    bool Resizing() const { return m_resizing; }
    void SetResizing(bool on) { m_resizing = on; }
    TLCDControl* Controller() const { return m_controller.data(); }

    // The view's size for its dot size and glass: DotSize x (dots wide + 19) by
    // DotSize x (dots high + 19).
    QSize ViewSize() const;
    // Takes that size and gives the module the same.
    void ResizeView();

    QColor GlassColor() const;
    // The redraw request of the controller: one cell, or everything (TLCDDisplay::RedrawAll).
    virtual void DrawCell(int index);

protected:
    TLCDDispView(TLCD* module, TLCDControl* controller, int dotsWide, int dotsHigh);

    // The glass is painted with its dots only in the component views while the board runs.
    bool ShowsDots() const;
    void paintEvent(QPaintEvent* event) override;
    // The frame and the empty glass, with the module's name in the top border when it shows it.
    void PaintFrame(QPainter& painter);
    // Draws the dots of the view into the painter (the glass is painted already).
    virtual void PaintDots(QPainter& painter) = 0;
    void FillDot(QPainter& painter, int x, int y, bool lit) const;
    // The screen rectangle of `w` x `h` dots at dot (x, y).
    QRect DotRect(int x, int y, int w, int h) const;

    int m_dotSize = 2;
    bool m_underlight = false;
    QPoint m_origin;
    bool m_resizing = false;
    QPointer<TLCDControl> m_controller;
    int m_dotsWide = 0;
    int m_dotsHigh = 0;
    QPointer<TLCD> m_module;
};

// The glass of a character module: one, two or four text rows of 8, 16 or 20 characters, each
// character 5 x 8 dots in a 6 x 9 dot cell.
class TLCDAlphaView : public TLCDDispView {
    Q_OBJECT

public:
    TLCDAlphaView(TLCD* module, TLCDAlphaControl* controller);

    TLCD_Lines NoOfLines() const { return m_noOfLines; }
    void SetNoOfLines(TLCD_Lines value);
    TLCD_Chars CharsPerLine() const { return m_charsPerLine; }
    void SetCharsPerLine(TLCD_Chars value);
    bool LineDivided() const { return m_lineDivided; }
    void SetLineDivided(bool value) { m_lineDivided = value; }

    int Lines() const;
    int Chars() const;
    // One text position of the glass and the display-memory cell it shows.
    struct Place {
        int Column;
        int Row;
        int Cell;
    };
    // Every text position with its cell, for the present shift, row by row.
    QList<Place> Layout() const;
    // The rows as shown: the code of each text position, row by row.
    QList<QList<int>> Rows() const;

    void DrawCell(int index) override;

protected:
    void PaintDots(QPainter& painter) override;

private:
    TLCDAlphaControl* Alpha() const;
    void DrawCharacter(QPainter& painter, int column, int row, int code, bool cursor) const;

    TLCD_Lines m_noOfLines = lcd_TwoLines;
    TLCD_Chars m_charsPerLine = lcd_16Ch;
    bool m_lineDivided = false;
};

// The glass of a graphic module: up to 128 x 64 dots, the left 64 columns shown by chip 1, the
// right 64 by chip 2.
class TLCDGraphView : public TLCDDispView {
    Q_OBJECT

public:
    TLCDGraphView(TLCD* module, TLCDGraphControl* controller);

    int ResolutionX() const { return m_dotsWide; }
    // Throws ComponentError outside 1..128.
    void SetResolutionX(int value);
    int ResolutionY() const { return m_dotsHigh; }
    // Throws ComponentError outside 1..64.
    void SetResolutionY(int value);

    // Whether the glass shows dot (x, y) lit: its chip's display is on and its memory bit set.
    bool PixelLit(int x, int y) const;

    void DrawCell(int index) override;

protected:
    void PaintDots(QPainter& painter) override;

private:
    TLCDGraphControl* Graph() const;
    // The screen row of memory row `row` of a chip with start line `startLine`.
    static int ScreenRow(int row, int startLine) { return (row - startLine + 64) % 64; }
};

// The common base of the LCD modules: a component whose face is its view and which owns its
// controller. Its size follows the view only; the editor and files cannot resize it.
class TLCD : public TOrvexGraphicComponent, public TLCDDisplay, public MessageTarget {
    Q_OBJECT
    Q_PROPERTY(int DotSize READ DotSize WRITE SetDotSize)
    Q_PROPERTY(bool Underlight READ Underlight WRITE SetUnderlight)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)
    Q_PROPERTY(TOrvexPort* Port READ Port WRITE SetPort)
    Q_PROPERTY(TOrvexPinDriver* RdWr READ RdWr WRITE SetRdWr)
    Q_PROPERTY(TOrvexPinDriver* RegSel READ RegSel WRITE SetRegSel)
    Q_PROPERTY(TOrvexPinDriver* Enable READ Enable WRITE SetEnable)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    ~TLCD() override;

    int DotSize() const { return m_view ? m_view->DotSize() : 0; }
    void SetDotSize(int value);
    bool Underlight() const { return m_view && m_view->Underlight(); }
    void SetUnderlight(bool value);
    TOrvexPort* Port() const { return m_controller ? m_controller->Port() : nullptr; }
    void SetPort(TOrvexPort* port);
    TOrvexPinDriver* RdWr() const;
    void SetRdWr(TOrvexPinDriver* driver);
    TOrvexPinDriver* RegSel() const;
    void SetRegSel(TOrvexPinDriver* driver);
    TOrvexPinDriver* Enable() const;
    void SetEnable(TOrvexPinDriver* driver);

    TLCDDispView* View() const { return m_view.data(); }
    TLCDControl* Controller() const { return m_controller.data(); }

    // Whether a resize may happen now: only while the view sets the size.
    bool CanResize() const { return m_view && m_view->Resizing(); }
    // Sizes the component; refused unless CanResize.
    void ApplySize(const QSize& size);
    void SetVisibility(TVisibility value) override;
    // The glass covers the component: the view draws the name in its frame.
    void SetShowName(bool value) override;
    // In the schematic view: the free band left of the data lines, under the glass.
    TNamePlace NamePlace() const override;

    // ---- TLCDDisplay
    void LCDDrawCell(int index) override;
    void LCDRepaint() override;

    // The module's own message handle, the wParam of a host-access message sent to it.
    quint32 Handle() const { return m_handle; }
    // 2026 with this module's handle: the data port takes lParam as its value (a 4-bit character
    // module only its high nibble).
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;

    QList<TOrvexPinDriver*> SchematicContacts() const override;

protected:
    explicit TLCD(QWidget* owner);
    // Creation shared by both modules, once the controller and view exist.
    void Setup(TLCDControl* controller, TLCDDispView* view, const QString& schematicPicture);

    QPointer<TLCDControl> m_controller;
    QPointer<TLCDDispView> m_view;

private:
    quint32 m_handle;
};

// A character module of one, two or four lines of 8, 16 or 20 characters.
class TLCDAlpha : public TLCD {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TLCD_Lines NoOfLines READ NoOfLines WRITE SetNoOfLines)
    Q_PROPERTY(BrelvanEnums::TLCD_Chars CharsPerLine READ CharsPerLine WRITE SetCharsPerLine)
    Q_PROPERTY(bool LineDivided READ LineDivided WRITE SetLineDivided)
    Q_PROPERTY(BrelvanEnums::TLCD_BUS LCD_BUS READ LCD_BUS WRITE SetLCD_BUS)

public:
    explicit TLCDAlpha(QWidget* owner = nullptr);

    TLCD_Lines NoOfLines() const { return AlphaView()->NoOfLines(); }
    void SetNoOfLines(TLCD_Lines value) { AlphaView()->SetNoOfLines(value); }
    TLCD_Chars CharsPerLine() const { return AlphaView()->CharsPerLine(); }
    void SetCharsPerLine(TLCD_Chars value) { AlphaView()->SetCharsPerLine(value); }
    bool LineDivided() const { return AlphaView()->LineDivided(); }
    void SetLineDivided(bool value);
    TLCD_BUS LCD_BUS() const { return Alpha()->Bus8Bit() ? lcd_BUS8bits : lcd_BUS4bits; }
    void SetLCD_BUS(TLCD_BUS value);

    TLCDAlphaControl* Alpha() const { return static_cast<TLCDAlphaControl*>(m_controller.data()); }
    TLCDAlphaView* AlphaView() const { return static_cast<TLCDAlphaView*>(m_view.data()); }

    // The visible rows as shown, each without its trailing blanks, joined by "|"; characters
    // 0x20..0x7D as themselves, others as \xNN; empty while the display is off.
    QString Text() const;
};

// A dot-matrix module of up to 128 x 64 dots with two controller chips.
class TLCDGraph : public TLCD {
    Q_OBJECT
    Q_PROPERTY(int ResolutionX READ ResolutionX WRITE SetResolutionX)
    Q_PROPERTY(int ResolutionY READ ResolutionY WRITE SetResolutionY)
    Q_PROPERTY(TOrvexPinDriver* CS1 READ CS1 WRITE SetCS1)
    Q_PROPERTY(TOrvexPinDriver* CS2 READ CS2 WRITE SetCS2)

public:
    explicit TLCDGraph(QWidget* owner = nullptr);

    int ResolutionX() const { return GraphView()->ResolutionX(); }
    void SetResolutionX(int value) { GraphView()->SetResolutionX(value); }
    int ResolutionY() const { return GraphView()->ResolutionY(); }
    void SetResolutionY(int value) { GraphView()->SetResolutionY(value); }
    TOrvexPinDriver* CS1() const;
    void SetCS1(TOrvexPinDriver* driver);
    TOrvexPinDriver* CS2() const;
    void SetCS2(TOrvexPinDriver* driver);

    TLCDGraphControl* Graph() const { return static_cast<TLCDGraphControl*>(m_controller.data()); }
    TLCDGraphView* GraphView() const { return static_cast<TLCDGraphView*>(m_view.data()); }

    QList<TOrvexPinDriver*> SchematicContacts() const override;
};
