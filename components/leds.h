#pragma once

#include <QPointer>
#include <array>

#include "components/electric.h"
#include "components/orvexcomponent.h"
#include "model/enums.h"
#include "model/hostpins.h"

// The light-emitting and rectifying components. Each diode element is one TDiodeCtl; a lit
// element shows its bright picture (the control's view) over the component's dark one.

// The base of the diode, the LED and the two-colour LED: one diode element as its control.
class TOrvexDiode : public TOrvexGraphicComponent {
    Q_OBJECT

public:
    explicit TOrvexDiode(QWidget* owner = nullptr);

    TLEDColors Color() const { return m_color; }
    TDiodeCtl* DiodeControl() const { return qobject_cast<TDiodeCtl*>(Control()); }

    // The drivers the element's anode and cathode are wired to (the own contact while unwired).
    TOrvexPinDriver* Anode() const;
    void SetAnode(TOrvexPinDriver* driver);
    TOrvexPinDriver* Cathode() const;
    virtual void SetCathode(TOrvexPinDriver* driver);

    // A diode shows a short circuit by going dark; it has no crash picture.
    void Crash() override;
    bool IsDiodeComponent() const override { return true; }

protected:
    // For descendants that load pictures of their own: with `diodePictures` false the diode
    // pictures are not loaded and the picture flags keep the base's defaults.
    TOrvexDiode(QWidget* owner, bool diodePictures, TLEDColors color);

    TLEDColors m_color = cled_RED;
};

// A plain rectifier: no light, its symbol turns with the orientation.
class TDiode : public TOrvexDiode {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Anode READ Anode WRITE SetAnode)
    Q_PROPERTY(TOrvexPinDriver* Cathode READ Cathode WRITE SetCathode)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    explicit TDiode(QWidget* owner = nullptr) : TOrvexDiode(owner) {}
    TNamePlace NamePlace() const override;
};

// A single-colour LED. Until a colour is chosen it shows the red pictures.
class TLED : public TOrvexDiode {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Anode READ Anode WRITE SetAnode)
    Q_PROPERTY(TOrvexPinDriver* Cathode READ Cathode WRITE SetCathode)
    Q_PROPERTY(BrelvanEnums::TLEDColors Color READ Color WRITE SetColor)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TLED(QWidget* owner = nullptr);

    // Red, green, yellow and blue have pictures of their own; the other colours are only stored.
    void SetColor(TLEDColors color);
};

// Two diode elements with a common cathode in one socket: red from the second anode, green from
// the first, orange from both. Only the first element's view is ever shown, in the colour that
// both elements decide together.
class TTwoColorLED : public TOrvexDiode {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Anode1 READ Anode WRITE SetAnode)
    Q_PROPERTY(TOrvexPinDriver* Anode2 READ Anode2 WRITE SetAnode2)
    Q_PROPERTY(TOrvexPinDriver* Cathode READ Cathode WRITE SetCathode)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TTwoColorLED(QWidget* owner = nullptr);
    ~TTwoColorLED() override;

    TDiodeCtl* Control2() const { return m_control2.data(); }

    // Anode1 is the first element's anode (Anode), Anode2 the second's.
    TOrvexPinDriver* Anode2() const;
    void SetAnode2(TOrvexPinDriver* driver);
    // The cathode is common: both elements are wired to it.
    void SetCathode(TOrvexPinDriver* driver) override;

    // Prepares the first element's view to show the colour (red, green or orange; others keep
    // the present picture) and hides it; the caller shows it again while lit.
    void ShowColor(TLEDColors color);

    void HideView() override;
    QList<TOrvexPinDriver*> SchematicContacts() const override;
    TOrvexControl* ResolveView(TOrvexControl* control, bool& lit) override;

private:
    QPointer<TDiodeCtl> m_control2;
};

// A seven-segment display with decimal point: eight diode elements Segment_A ... Segment_H
// whose common side is joined at CommonElectrode and whose other side is wired to the eight
// pins of Port (bit 0 drives segment A, bit 7 segment H).
class TDispSeg : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* CommonElectrode READ CommonElectrode WRITE SetCommonElectrode)
    Q_PROPERTY(BrelvanEnums::TCommonElectrodeTypes CommonElectrodeType READ CommonElectrodeType
                   WRITE SetCommonElectrodeType)
    Q_PROPERTY(TOrvexPortDriver* Port READ Port WRITE SetPort)
    Q_PROPERTY(TDiodeCtl* Segment_A READ Segment_A)
    Q_PROPERTY(TDiodeCtl* Segment_B READ Segment_B)
    Q_PROPERTY(TDiodeCtl* Segment_C READ Segment_C)
    Q_PROPERTY(TDiodeCtl* Segment_D READ Segment_D)
    Q_PROPERTY(TDiodeCtl* Segment_E READ Segment_E)
    Q_PROPERTY(TDiodeCtl* Segment_F READ Segment_F)
    Q_PROPERTY(TDiodeCtl* Segment_G READ Segment_G)
    Q_PROPERTY(TDiodeCtl* Segment_H READ Segment_H)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    static constexpr int SegmentCount = 8;

    explicit TDispSeg(QWidget* owner = nullptr);
    ~TDispSeg() override;

    // Reading fixes the common electrode when none was given: segment A's connection on the
    // common side (its own contact while it is unwired).
    TOrvexPinDriver* CommonElectrode();
    // Both setters rewire the segments to the port (when there is one) and refresh the views.
    void SetCommonElectrode(TOrvexPinDriver* driver);
    TCommonElectrodeTypes CommonElectrodeType() const { return m_commonElectrodeType; }
    void SetCommonElectrodeType(TCommonElectrodeTypes type);
    TOrvexPortDriver* Port() const { return m_port.data(); }
    // Wires pin i of the port to segment i and the common side to CommonElectrode. A null port
    // is ignored; wiring errors are swallowed.
    void SetPort(TOrvexPortDriver* port);

    // Segment 0..7 (A..H), or nullptr outside that range.
    TDiodeCtl* Segment(int index) const;
    TDiodeCtl* Segment_A() const { return Segment(0); }
    TDiodeCtl* Segment_B() const { return Segment(1); }
    TDiodeCtl* Segment_C() const { return Segment(2); }
    TDiodeCtl* Segment_D() const { return Segment(3); }
    TDiodeCtl* Segment_E() const { return Segment(4); }
    TDiodeCtl* Segment_F() const { return Segment(5); }
    TDiodeCtl* Segment_G() const { return Segment(6); }
    TDiodeCtl* Segment_H() const { return Segment(7); }

    // Renames segment i's control to the new name + "_control_" + i as well.
    void SetName(const QString& newName) override;
    // Each segment's view shows exactly while its element is lit (never in the schematic view).
    void RefreshView() override;
    void HideView() override;
    QList<TOrvexPinDriver*> SchematicContacts() const override;

private:
    // The port is gone: the segments' common sides were joined for it, and only a Port line
    // could rebuild that join from a board file, so it goes with the port.
    void PortDestroyed();

    QPointer<TOrvexPinDriver> m_commonElectrode;
    TCommonElectrodeTypes m_commonElectrodeType = com_CATHODE;
    QPointer<TOrvexPortDriver> m_port;
    QMetaObject::Connection m_portGone;
    std::array<QPointer<TDiodeCtl>, SegmentCount> m_segments;
};
