#pragma once

#include <array>

#include "model/drivers.h"

class BoardLink;
class MessageTarget;
class TOrvexPort;

// One bit of the microcontroller's address spaces, as the board sees it.
class TOrvexPin : public TOrvexPinDriver {
    Q_OBJECT
    Q_PROPERTY(int Address READ Address WRITE SetAddress)
    Q_PROPERTY(BrelvanEnums::TPortActivated ActivatedOn READ ActivatedOn WRITE SetActivatedOn)
    Q_PROPERTY(BrelvanEnums::TPortSpace Space READ Space WRITE SetSpace)
    Q_PROPERTY(int PinMask READ PinMask)
    Q_PROPERTY(int PinNumber READ PinNumber WRITE SetPinNumber)

public:
    explicit TOrvexPin(QObject* owner = nullptr);
    ~TOrvexPin() override;

    void SetValue(int level) override;
    void AssignValue(int level) override;
    int GetResistence() override;
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved) override;
    bool IsHostPin() const override { return true; }

    void SetSpace(TPortSpace space);
    void SetAddress(int address);
    int Address() const { return m_address; }
    int PinNumber() const { return m_pinNumber; }
    void SetPinNumber(int number);
    int PinMask() const { return 1 << (m_pinNumber & 31); }
    // The strobe set only means something in the external data space.
    TPortActivated ActivatedOn() const {
        return m_space == ops_XDATA ? m_activatedOn : TPortActivated();
    }
    void SetActivatedOn(TPortActivated set) { m_activatedOn = set; }

    bool IsPortPin() const { return m_portPin; }
    TOrvexPort* Port() const { return m_port; }

private:
    friend class TOrvexPort;
    int m_address = 128;
    int m_pinNumber = 0;
    bool m_portPin = false;
    TOrvexPort* m_port = nullptr;
    TPortActivated m_activatedOn;
};

class TOrvexPortDriver : public TOrvexDriver {
    Q_OBJECT

public:
    explicit TOrvexPortDriver(QObject* owner = nullptr);

    int Address() const { return m_address; }
    TOrvexPin* Pins(int index) const { return m_pins[size_t(index & 7)]; }

protected:
    friend class TOrvexPin;
    int m_address = 128;
    std::array<TOrvexPin*, 8> m_pins{};
};

// A whole host port: eight host pins that mirror one byte.
class TOrvexPort : public TOrvexPortDriver {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TPortSpace Space READ Space WRITE SetSpace)
    Q_PROPERTY(int Address READ Address WRITE SetAddress)

public:
    explicit TOrvexPort(QObject* owner = nullptr);
    ~TOrvexPort() override;

    void SetValue(int byte) override;
    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved) override;
    void SetAddress(int address);
    void SetSpace(TPortSpace space);
};

// Tells the driver's board that its address, space or bit changed (or that it is new).
void NoteMirrorKey(TOrvexDriver* driver);

// Copies a host pin's new level into every port and pin component of its board that shows the same
// bit (plain field writes). Returns the board, or nullptr.
BoardLink* MirrorPinToBoard(TOrvexPin* pin, int level, int drivenLevel);

// The board writes a whole byte onto a host port and reports it to the host through `window`.
void WriteFromBoard(TOrvexPortDriver* port, MessageTarget* window, int byte);
