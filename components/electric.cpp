#include "components/electric.h"

#include <algorithm>

#include "model/boardlink.h"
#include "model/circuit.h"

namespace {
bool suspended(const TOrvexControl* control) {
    BoardLink* board = control->OwnerForm();
    return board && board->Suspended();
}

// Logic contacts start at a level of their own: inputs idle high, outputs low.
void initLogicContact(TOrvexPinDriver* contact, const char* name, int level, bool output) {
    contact->setObjectName(QLatin1String(name));
    contact->SetDrivenValue(level);
    contact->AssignValue(level);
    if (output)
        contact->SetDriver(true);
    else
        contact->SetInput(true);
}
} // namespace

// ---------------------------------------------------------------- diode

TDiodeCtl::TDiodeCtl(QObject* owner) : TOrvexTwoContactControl(owner) {
    m_contact1->setObjectName(QStringLiteral("Anode"));
    m_contact2->setObjectName(QStringLiteral("Cathode"));
    m_resistence = -10000000;
}

void TDiodeCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    if (suspended(this) || !GetContact1() || !GetContact2()) return;
    TOrvexPinDriver* anode = Contact1();
    TOrvexPinDriver* cathode = Contact2();
    if (changed == cathode) {
        if (cathode->Value() > LevelHigh) cathode->AssignValue(LevelHigh);
        int v = anode->Value();
        if (cathode->Settled()) {
            if (v < cathode->Value()) return;
            // Bring the anode down to one forward drop above the cathode, in steps of 100 mV.
            const int above = v - (cathode->Value() + 2000);
            if (above > 0) v -= (above + 99) / 100 * 100;
            if (v < cathode->Value()) v = cathode->Value();
        }
        v = std::max(v, 0);
        anode->AssignValue(v);
        if (v > 0 && v > cathode->Value()) GetContact1()->SetValue(v);
    } else if (changed == anode) {
        if (anode->Value() > LevelHigh) anode->AssignValue(LevelHigh);
        int v = anode->Value() - 2000;
        TOrvexPinDriver* reference = anode;
        if (const TOrvexPinDriver* source = FindChainSource(reference);
            source && source->Value() > v)
            v = source->Value();
        if (cathode->Settled()) {
            if (anode->Value() < cathode->Value()) return;
            if (cathode->Value() > v) v = cathode->Value();
        }
        v = std::max(v, 0);
        cathode->AssignValue(v);
        if (v > 0) GetContact2()->SetValue(v);
    }
    if (anode->Value() >= cathode->Value())
        m_evaluated = true;
    else
        (changed == cathode ? anode : cathode)->SetSettled(false);
}

void TDiodeCtl::EndEvaluation(TOrvexPinDriver* contact) {
    if (m_ended) return;
    TOrvexControl::EndEvaluation(contact);
    if (m_evaluated) {
        m_ended = true;
        const TOrvexPinDriver* a = GetContact1();
        const TOrvexPinDriver* k = GetContact2();
        m_lit = a && k && a->Value() >= 0 && k->Value() >= 0 && a->Value() - k->Value() >= 2000;
    }
    UpdateView();
}

// ---------------------------------------------------------------- bulb

namespace {
void rateContacts(TOrvexTwoContactControl* control, int rating) {
    control->Contact1()->SetRating(rating);
    control->Contact2()->SetRating(rating);
}

// The driver on the far side of a two-contact control from `changed`.
TOrvexPinDriver* farDriver(TOrvexTwoContactControl* control, const TOrvexDriver* changed) {
    return changed == control->Contact2() ? control->GetContact1() : control->GetContact2();
}
} // namespace

TOrvexBulbCtl::TOrvexBulbCtl(QObject* owner) : TOrvexTwoContactControl(owner) {
    m_resistence = 50;
    rateContacts(this, 500);
    m_symmetricSymbol = true;
}

void TOrvexBulbCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    auto* contact = qobject_cast<TOrvexPinDriver*>(changed);
    if (!contact || !GetContact1() || !GetContact2()) return;
    TOrvexPinDriver* other = OtherContact(contact);
    if (contact->Value() > LevelHigh) contact->AssignValue(LevelHigh);
    const int v = contact->Value() - 1000;
    if (v < 0) {
        contact->SetSettled(false);
        return;
    }
    if (other) other->AssignValue(v);
    if (TOrvexPinDriver* far = farDriver(this, contact)) far->SetValue(v);
    m_evaluated = true;
}

void TOrvexBulbCtl::EndEvaluation(TOrvexPinDriver* contact) {
    TOrvexControl::EndEvaluation(contact);
    if (m_evaluated) {
        const int a = Contact1()->Value();
        const int b = Contact2()->Value();
        m_lit = a >= 0 && b >= 0 && a != b;
    }
    UpdateView();
}

// ---------------------------------------------------------------- switch

TOrvexSwitchCtl::TOrvexSwitchCtl(QObject* owner) : TOrvexTwoContactControl(owner) {
    m_resistence = OhmsOpen;
    rateContacts(this, 1000);
    m_symmetricSymbol = true;
}

void TOrvexSwitchCtl::SetClosed(bool closed) {
    m_closed = closed;
    m_resistence = closed ? 1 : OhmsOpen;
}

void TOrvexSwitchCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    auto* contact = qobject_cast<TOrvexPinDriver*>(changed);
    if (!m_closed || !contact || !GetContact1() || !GetContact2()) return;
    const int v = std::max(contact->Value(), 0);
    if (TOrvexPinDriver* other = OtherContact(contact)) other->AssignValue(v);
    if (TOrvexPinDriver* far = farDriver(this, contact)) {
        // Closed, the switch makes the host pin beyond it one net with this side: the pin takes
        // the level although a walk leaves a driver's settled flag as it was (a pin component
        // shows the level anyway; a port's pin would stay as it stood).
        if (far->IsHostPin()) far->SetSettled(false);
        far->SetValue(v);
    }
    m_evaluated = true;
}

void TOrvexSwitchCtl::UpdateView() {
    QObject* owner = parent();
    if (!owner || !m_viewFlag) return;
    auto* a = qobject_cast<TPin*>(GetContact1());
    auto* b = qobject_cast<TPin*>(GetContact2());
    if (a && b && a->PinType() != b->PinType()) {
        // A switch straight across two different supply pins is a short circuit.
        if (ComponentRole* role = RoleOf(owner)) role->CrashComponent();
        return;
    }
    if (ControlView* view = View()) m_closed ? view->ShowView() : view->HideView();
}

// ---------------------------------------------------------------- gates

int GateResistence(const TOrvexPinDriver* asked, const TOrvexPinDriver* output) {
    if (asked && asked == output) return ReachesThreshold(output->DrivenValue()) ? 1000 : 200;
    return 100000;
}

TInvertCtl::TInvertCtl(QObject* owner) : TOrvexTwoContactControl(owner) {
    initLogicContact(m_contact1, "Input", LevelHigh, false);
    initLogicContact(m_contact2, "Output", LevelLow, true);
}

TInvertCtl::~TInvertCtl() {
    if (m_contact2) m_contact2->SetDriver(false);
}

int TInvertCtl::GetResistence() {
    return GateResistence(m_askedContact, Contact2());
}

void TInvertCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    if (suspended(this) || !GetContact1() || !GetContact2()) return;
    TOrvexPinDriver* output = Contact2();
    if (changed == output) return;
    if (changed == Contact1()) {
        const int v = Contact1()->Value();
        const int result = GateHigh(v) ? LevelLow : LevelHigh;
        output->AssignValue(result);
        output->SetDrivenValue(result);
        GetContact2()->SetValue(result);
    }
    m_evaluated = true;
}

TGateCtl::TGateCtl(QObject* owner) : TOrvexThreeContactControl(owner) {
    initLogicContact(m_contact1, "Input1", LevelHigh, false);
    initLogicContact(m_contact2, "Input2", LevelHigh, false);
    initLogicContact(m_contact3, "Output", LevelLow, true);
}

TGateCtl::~TGateCtl() {
    if (m_contact3) m_contact3->SetDriver(false);
}

int TGateANDCtl::GetResistence() {
    return GateResistence(m_askedContact, Contact3());
}

void TGateANDCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    if (suspended(this)) return;
    TOrvexPinDriver* in1 = Contact1();
    TOrvexPinDriver* in2 = Contact2();
    TOrvexPinDriver* output = Contact3();
    TOrvexPinDriver* wired1 = GetContact1();
    TOrvexPinDriver* wired2 = GetContact2();
    if ((!wired1 && !wired2) || !GetContact3()) return;
    int a = 0, b = 0;
    if (changed == output) {
        // Asked from behind: settle both inputs from their own sources first.
        for (auto [input, wired] : {std::pair{in1, wired1}, std::pair{in2, wired2}}) {
            if (!wired) {
                input->AssignValue(input->DrivenValue());
            } else if (!input->Settled()) {
                input->AssignValue(input->DrivenValue());
                wired->SetValue(input->DrivenValue());
            }
        }
        a = in1->Value();
        b = in2->Value();
    } else if (changed == in1) {
        a = in1->Value();
        b = wired2 ? in2->Value() : LevelHigh;
    } else if (changed == in2) {
        a = in2->Value();
        b = wired1 ? in1->Value() : LevelHigh;
    } else {
        return;
    }
    const int result = (GateHigh(a) && GateHigh(b)) ? LevelLow : LevelHigh;
    output->AssignValue(result);
    output->SetDrivenValue(result);
    if (changed == output) {
        if (TOrvexPinDriver* next = output->GetComponent(0)) PropagateChain(output, next);
    } else {
        GetContact3()->SetValue(result);
    }
    m_evaluated = true;
}
