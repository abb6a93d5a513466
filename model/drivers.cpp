#include "model/drivers.h"

#include <algorithm>

#include "model/boardlink.h"
#include "model/circuit.h"
#include "model/controls.h"
#include "model/levels.h"

// ---------------------------------------------------------------- TOrvexDriver

TOrvexDriver::TOrvexDriver(QObject* owner) : QObject(owner) {}

TOrvexDriver::~TOrvexDriver() {
    if (m_watch) m_watch->Gone(this);
}

TOrvexControl* TOrvexDriver::OwnerControl() const {
    return m_ownerControl.data();
}

BoardLink* TOrvexDriver::OwnerForm() const {
    // The immediate owner is never the board: start one level above it.
    const QObject* owner = parent();
    return owner ? m_board.Find(owner->parent()) : nullptr;
}

void TOrvexDriver::FireChange() {
    if (OnChange) OnChange(this);
}

void TOrvexDriver::Report(const QString& text) const {
    BoardLink* board = OwnerForm();
    if (board && board->HasWindow()) board->ShowError(text);
}

void TOrvexDriver::ReportVirtual(const char* method) const {
    Report(QStringLiteral("Virtual method %1 called").arg(QLatin1String(method)));
}

void TOrvexDriver::SetValue(int) {
    ReportVirtual("SetValue");
}

void TOrvexDriver::AssignValue(int level) {
    if (auto* contact = qobject_cast<TOrvexPinDriver*>(this); contact && contact->IsSupplyPin())
        return;
    if (level != m_value || !m_settled) {
        m_value = level;
        m_settled = true;
        Written();
    }
}

QObject* TOrvexDriver::GetControl() const {
    return nullptr;
}

void TOrvexDriver::SetControl(QObject* value) {
    m_controlRef = value;
}

void TOrvexDriver::SetOwnerControl(TOrvexControl* control) {
    m_ownerControl = control;
}

void TOrvexDriver::SetDrivenValue(int) {
    ReportVirtual("SetDrivenValue");
}

int TOrvexDriver::GetResistence() {
    ReportVirtual("GetResistence");
    return -1;
}

void TOrvexDriver::SetResistence(int) {
    ReportVirtual("SetResistence");
}

void TOrvexDriver::ChangeValue(int, QObject*) {
    ReportVirtual("ChangeValue");
}

void TOrvexDriver::HostAccess(int, int, int, int, QObject*) {}

// ---------------------------------------------------------------- TOrvexPinDriver

TOrvexPinDriver::TOrvexPinDriver(QObject* owner)
    : TOrvexDriver(owner), m_componentList(std::make_unique<TComponentList>(this)) {
    SetInput(false);
}

TOrvexPinDriver::~TOrvexPinDriver() {
    ForgetDriverInSpreads(this);
    UnwireAll();
    m_componentList.reset();
    delete m_driverContact;
    m_driverContact = nullptr;
}

void TOrvexPinDriver::UnwireAll() {
    if (!m_componentList) return;
    // The partner's Disconnect calls back and removes its item from this list; the index is
    // clamped each round in case a partner took more than one item with it.
    const TComponentList& list = *m_componentList; // read without giving up its index
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (i >= list.Count()) i = list.Count() - 1;
        if (i < 0) break;
        TOrvexPinDriver* partner = list.Items(i).Pin;
        if (partner) partner->Disconnect(this);
        if (i < list.Count() && list.Items(i).Pin == partner) m_componentList->Delete(i);
        WiringChanged();
    }
}

void TOrvexPinDriver::SetValue(int level) {
    if (level == -1) level = m_drivenValue;
    ChangeValue(level, nullptr);
}

void TOrvexPinDriver::AssignValue(int level) {
    if (m_input)
        ChangeValue(level, this);
    else
        TOrvexDriver::AssignValue(level);
}

void TOrvexPinDriver::ChangeValue(int level, QObject* sender) {
    if (m_settled) return;
    if (BoardLink* board = OwnerForm(); board && board->Suspended()) return;
    m_value = std::min(level, LevelHigh);
    m_settled = true;
    Written();
    if (TOrvexControl* control = OwnerControl())
        control->ValueChanged(this, qobject_cast<TOrvexDriver*>(sender));
    FireChange();
}

void TOrvexPinDriver::SetDrivenValue(int level) {
    m_drivenValue = level;
    BoardLink* board = OwnerForm();
    if ((board && board->Suspended()) || !m_driverContact) return;
    m_driverContact->Disconnect(m_driverContact->GetContact());
    if (!board) return;
    const TNodeArray& nodes = board->Nodes();
    const size_t rail = IsLowLevel(level) ? 0 : 1;
    if (rail < nodes.size() && nodes[rail])
        if (TOrvexPinDriver* first = nodes[rail]->FirstContact())
            m_driverContact->SetContact(first);
}

int TOrvexPinDriver::GetResistence() {
    if (TOrvexControl* control = OwnerControl()) {
        control->SetAskedContact(this);
        return control->GetResistence();
    }
    Report(QStringLiteral("Virtual method TOrvexPinDriver.GetResistence called"));
    return -1;
}

QObject* TOrvexPinDriver::GetControl() const {
    if (!m_componentList || m_componentList->IsEmpty()) return OwnerControl();
    TOrvexPinDriver* first = m_componentList->First();
    return first ? first->OwnerControl() : nullptr;
}

TOrvexPinDriver* TOrvexPinDriver::GetComponent(int index) const {
    const TComponentList* list = m_componentList.get();
    if (!list || index < 0 || index >= list->Count()) return nullptr;
    return index == 0 ? list->First() : list->Items(index).Pin;
}

TOrvexPinDriver* TOrvexPinDriver::GetContact() const {
    if (!m_componentList) return nullptr;
    if (m_componentList->IsEmpty()) return const_cast<TOrvexPinDriver*>(this);
    return m_componentList->First();
}

void TOrvexPinDriver::SetContact(TOrvexPinDriver* driver) {
    if (!driver) {
        DisconnectAll();
        return;
    }
    Connect(driver);
    driver->Connect(this);
}

void TOrvexPinDriver::Connect(TOrvexPinDriver* driver) {
    if (!driver || driver == this || !m_componentList) return;
    m_componentList->RemoveEmpty();
    if (m_componentList->Contains(driver)) return;
    m_componentList->Add(driver, driver->objectName());
    WiringChanged();
    if ((m_driver || m_input) && m_value >= 0) driver->AssignValue(m_value);
    // Wiring is always two-sided: a one-sided entry would dangle once this contact is destroyed,
    // because destruction only unwires the partners this contact knows of.
    if (TComponentList* back = driver->ComponentList(); back && !back->Contains(this))
        driver->Connect(this);
}

void TOrvexPinDriver::Disconnect(TOrvexPinDriver* driver) {
    if (!driver || driver == this || !m_componentList || m_componentList->IsEmpty()) return;
    // Each item naming the driver, the last first; the driver then drops its items naming this.
    while (m_componentList->Remove(driver)) {
        WiringChanged();
        driver->Disconnect(this);
    }
}

void TOrvexPinDriver::DisconnectAll() {
    if (!m_componentList) return;
    const TComponentList& list = *m_componentList;
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (i >= list.Count()) continue;
        TOrvexPinDriver* partner = list.Items(i).Pin;
        if (!partner) continue;
        m_componentList->Delete(i);
        WiringChanged();
        partner->Disconnect(this);
    }
}

void TOrvexPinDriver::CreateDriverContact(bool high) {
    // A contact given both roles keeps one hidden contact, not two.
    if (!m_driverContact) {
        m_driverContact = new TOrvexPinDriver(this);
        m_driverContact->setObjectName(QStringLiteral("DriverContact"));
    }
    m_driverContact->SetOwnerControl(OwnerControl());
    m_driverContact->SetNodeIndex(high ? 1 : 0);
    m_driverContact->StoreValue(high ? LevelHigh : LevelLow);
    m_driverContact->StoreDrivenValue(high ? LevelHigh : LevelLow);
}

void TOrvexPinDriver::SetDriver(bool on) {
    if (on) {
        m_driver = true;
        CreateDriverContact(!IsLowLevel(m_drivenValue));
        return;
    }
    if (m_input) return;
    m_driver = false;
    delete m_driverContact;
    m_driverContact = nullptr;
}

void TOrvexPinDriver::SetInput(bool on) {
    if (on) {
        m_input = true;
        if (m_driverContact) {
            m_driverContact->SetNodeIndex(0);
        } else {
            m_driverContact = new TOrvexPinDriver(this);
            m_driverContact->setObjectName(QStringLiteral("DriverContact"));
            m_driverContact->SetOwnerControl(OwnerControl());
            m_driverContact->SetNodeIndex(0);
        }
        return;
    }
    if (m_driver) return;
    m_input = false;
    delete m_driverContact;
    m_driverContact = nullptr;
}

// ---------------------------------------------------------------- TPin

TPin::TPin(QObject* owner) : TOrvexPinDriver(owner) {
    m_value = 0;
    m_drivenValue = 0;
    m_resistence = OhmsVccPin;
    m_rating = 2147483647;
}

void TPin::SetValue(int level) {
    switch (m_pinType) {
    case PIN_GND:
        level = LevelLow;
        break;
    case PIN_Vcc:
        level = LevelHigh;
        break;
    case PIN_Floating:
        level = std::min(level, LevelHigh);
        break;
    }
    m_drivenValue = level;
    TOrvexPinDriver::SetValue(level);
}

void TPin::SetPinType(TPinType type) {
    m_pinType = type;
    switch (type) {
    case PIN_GND:
        m_value = LevelLow;
        SetResistence(OhmsGndPin);
        m_drivenValue = LevelLow;
        break;
    case PIN_Vcc:
        m_value = LevelHigh;
        SetResistence(OhmsVccPin);
        m_drivenValue = LevelHigh;
        break;
    case PIN_Floating:
        m_value = LevelHigh;
        SetResistence(OhmsFloating);
        break;
    }
    Written();
    m_settled = true;
    SpreadFromDriver(this, nullptr);
}

void TPin::HostAccess(int, int, int, int, QObject*) {
    SpreadFromDriver(this, nullptr);
}
