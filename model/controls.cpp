#include "model/controls.h"

#include "model/boardlink.h"
#include "model/circuit.h"
#include "platform/clock.h"
#include "platform/errors.h"

// ---------------------------------------------------------------- TOrvexControl

TOrvexControl::TOrvexControl(QObject* owner) : QObject(owner) {
    m_viewTimer = new SimTimer(this);
    m_viewTimer->Stop();
    connect(m_viewTimer, &SimTimer::timeout, this, &TOrvexControl::TimerTick);
}

TOrvexControl::~TOrvexControl() {
    m_viewTimer->Stop();
    if (m_viewObject) delete m_viewObject.data();
    m_view = nullptr;
    // A pin control names a contact it does not own; leave that contact without a dangling owner.
    if (m_contact && m_contact->OwnerControl() == this) m_contact->SetOwnerControl(nullptr);
}

BoardLink* TOrvexControl::OwnerForm() const {
    const QObject* owner = parent();
    return owner ? m_board.Find(owner->parent()) : nullptr;
}

void TOrvexControl::Report(const QString& text) const {
    BoardLink* board = OwnerForm();
    if (board && board->HasWindow()) board->ShowError(text);
}

ControlView* TOrvexControl::View() const {
    return m_viewObject ? m_view : nullptr;
}

void TOrvexControl::TimerTick() {
    m_viewTimer->Stop();
    if (ControlView* view = View()) {
        view->HideView();
        view->RepaintView();
    }
}

int TOrvexControl::GetResistence() {
    Report(QStringLiteral("Virtual method TOrvexControl.GetResistence called"));
    return -1;
}

void TOrvexControl::SetResistence(int) {
    Report(QStringLiteral("Virtual method TOrvexControl.SetResistence called"));
}

void TOrvexControl::ValueChanged(TOrvexDriver*, TOrvexDriver*) {
    Report(QStringLiteral("Virtual method TOrvexControl.ValueChanged called"));
}

void TOrvexControl::PropagateFrom(TOrvexPinDriver* contact) {
    TOrvexPinDriver* reference = contact;
    TOrvexPinDriver* source = FindChainSource(reference);
    if (!source || source == contact) return;
    TOrvexPinDriver* result = source;
    if (source->IsDriver()) result = PropagateChain(source, reference);
    if (result && result->IsDriver()) SpreadFromDriver(result, contact);
}

void TOrvexControl::UpdateView() {
    QObject* owner = parent();
    if (!owner || !m_viewFlag) return;
    ComponentRole* role = OwnerRole();
    if (role && role->ComponentVisibility() == vs_Schematic) {
        if (ControlView* view = View()) view->HideView();
        return;
    }
    bool lit = m_lit;
    TOrvexControl* viewControl = this;
    try {
        if (!View()) return;
        if (role) viewControl = role->ResolveView(this, lit);
        if (!viewControl) return;
        ControlView* view = viewControl->View();
        if (!view) return;
        SimTimer* timer = viewControl->ViewTimer();
        if (lit) {
            timer->Stop();
            timer->SetInterval(50);
            view->ShowView();
        } else if (view->IsViewShown()) {
            if (m_afterglow) {
                if (!timer->IsActive()) timer->Start();
            } else {
                view->HideView();
            }
        }
    } catch (const PictureError&) {
        // A two-colour LED loads the pictures of its colour here (ResolveView); showing a
        // picture never fails outward.
    }
}

void TOrvexControl::EndEvaluation(TOrvexPinDriver*) {
    if (!m_evaluated) m_lit = false;
}

TOrvexPinDriver* TOrvexControl::OtherContact(TOrvexPinDriver*) {
    return nullptr;
}

void TOrvexControl::CreateView(QObject* component, const QString& activeName,
                               const QString& schematicActiveName) {
    m_activeName = activeName.left(20);
    m_schematicActiveName = schematicActiveName.left(20);
    ViewFactory factory = CurrentViewFactory();
    if (!factory || !component) return;
    ComponentRole* role = RoleOf(component);
    const QString picture =
        (role && role->ComponentHasFace()) ? m_schematicActiveName : m_activeName;
    if (m_viewObject) delete m_viewObject.data();
    // A view takes any name (an unknown one shows nothing), so making it does not fail.
    m_view = factory(component, picture);
    m_viewObject = m_view ? m_view->ViewObject() : nullptr;
    if (m_view) m_view->HideView();
}

// ---------------------------------------------------------------- one, two and three contacts

TOrvexPinDriver* TOrvexPinControl::OtherContact(TOrvexPinDriver* contact) {
    if (contact && contact == m_contact) return contact->DriverContact();
    return m_contact.data();
}

TOrvexPinDriver* WiredDriverOf(const TOrvexPinDriver* own) {
    return own ? own->GetContact() : nullptr;
}

void RewireContact(TOrvexPinDriver* own, TOrvexPinDriver* driver) {
    if (!own) return;
    own->Disconnect(own->GetContact());
    if (driver != own) own->SetContact(driver);
}

namespace {
TOrvexPinDriver* makeOwnContact(TOrvexControl* control, const char* name) {
    auto* contact = new TOrvexPinDriver(control->parent());
    contact->setObjectName(QLatin1String(name));
    contact->SetOwnerControl(control);
    return contact;
}
} // namespace

TOrvexTwoContactControl::TOrvexTwoContactControl(QObject* owner) : TOrvexControl(owner) {
    m_contact1 = makeOwnContact(this, "Contact1");
    m_contact2 = makeOwnContact(this, "Contact2");
}

TOrvexTwoContactControl::~TOrvexTwoContactControl() {
    delete m_contact1.data();
    delete m_contact2.data();
}

TOrvexPinDriver* TOrvexTwoContactControl::OtherContact(TOrvexPinDriver* contact) {
    return contact == m_contact1 ? m_contact2.data() : m_contact1.data();
}

TOrvexPinDriver* TOrvexTwoContactControl::GetContact1() const {
    return WiredDriverOf(m_contact1);
}
void TOrvexTwoContactControl::SetContact1(TOrvexPinDriver* d) {
    RewireContact(m_contact1, d);
}
TOrvexPinDriver* TOrvexTwoContactControl::GetContact2() const {
    return WiredDriverOf(m_contact2);
}
void TOrvexTwoContactControl::SetContact2(TOrvexPinDriver* d) {
    RewireContact(m_contact2, d);
}

TOrvexThreeContactControl::TOrvexThreeContactControl(QObject* owner) : TOrvexControl(owner) {
    m_contact1 = makeOwnContact(this, "Contact1");
    m_contact2 = makeOwnContact(this, "Contact2");
    m_contact3 = makeOwnContact(this, "Contact3");
}

TOrvexThreeContactControl::~TOrvexThreeContactControl() {
    delete m_contact1.data();
    delete m_contact2.data();
    delete m_contact3.data();
}

TOrvexPinDriver* TOrvexThreeContactControl::OtherContact(TOrvexPinDriver* contact) {
    if (contact && (contact == m_contact1 || contact == m_contact2)) return m_contact3.data();
    return nullptr;
}

TOrvexPinDriver* TOrvexThreeContactControl::GetContact1() const {
    return WiredDriverOf(m_contact1);
}
void TOrvexThreeContactControl::SetContact1(TOrvexPinDriver* d) {
    RewireContact(m_contact1, d);
}
TOrvexPinDriver* TOrvexThreeContactControl::GetContact2() const {
    return WiredDriverOf(m_contact2);
}
void TOrvexThreeContactControl::SetContact2(TOrvexPinDriver* d) {
    RewireContact(m_contact2, d);
}
TOrvexPinDriver* TOrvexThreeContactControl::GetContact3() const {
    return WiredDriverOf(m_contact3);
}
void TOrvexThreeContactControl::SetContact3(TOrvexPinDriver* d) {
    RewireContact(m_contact3, d);
}

// ---------------------------------------------------------------- TOrvexPortCtl

TOrvexPortCtl::TOrvexPortCtl(QObject* owner) : TOrvexControl(owner) {
    auto* contact = new TOrvexPinDriver(owner);
    contact->SetOwnerControl(this);
    m_contact = contact;
    m_resistence = 100000;
}

TOrvexPortCtl::~TOrvexPortCtl() {
    delete m_contact.data();
}

TOrvexPinDriver* TOrvexPortCtl::GetContact() const {
    return WiredDriverOf(m_contact);
}

void TOrvexPortCtl::SetContact(TOrvexPinDriver* driver) {
    RewireContact(m_contact, driver);
}

void TOrvexPortCtl::ValueChanged(TOrvexDriver*, TOrvexDriver*) {
    if (BoardLink* board = OwnerForm(); board && board->Suspended()) return;
    TPortControlOwner* owner = m_portOwner.Of(parent());
    if (owner && owner->PortControlChanged(this)) m_evaluated = true;
}

void TOrvexPortCtl::EndEvaluation(TOrvexPinDriver* contact) {
    TOrvexControl::EndEvaluation(contact);
    TPortControlOwner* owner = m_portOwner.Of(parent());
    if (owner && m_evaluated) owner->PortControlEnded(this);
}
