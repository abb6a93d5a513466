#include "model/circuit.h"

#include <QPointer>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "model/boardlink.h"
#include "model/controls.h"
#include "model/drivers.h"
#include "model/levels.h"

// ---------------------------------------------------------------- roles and chains

namespace {

ComponentRole* roleOf(const TOrvexPinDriver* contact) {
    return contact ? contact->OwnerRole() : nullptr;
}

bool isDiodeContact(const TOrvexPinDriver* contact) {
    const ComponentRole* role = roleOf(contact);
    return role && role->IsDiodeComponent();
}

bool isSwitchContact(const TOrvexPinDriver* contact) {
    const ComponentRole* role = roleOf(contact);
    return role && role->IsSwitchComponent();
}

bool isOpenSwitchControl(const TOrvexPinDriver* contact) {
    const TOrvexControl* control = contact->OwnerControl();
    return control && control->IsOpenSwitch();
}

bool isPinContact(const TOrvexPinDriver* contact) {
    return contact->IsSupplyPin() || contact->IsHostPin();
}

int capped(int level) {
    return std::min(level, LevelHigh);
}

} // namespace

bool IsGateContact(const TOrvexPinDriver* contact) {
    const ComponentRole* role = roleOf(contact);
    return role && role->IsGateComponent();
}

size_t TContactSet::Slot(const TOrvexPinDriver* contact, size_t mask) {
    auto bits = quint64(reinterpret_cast<quintptr>(contact));
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    return size_t(bits) & mask;
}

bool TContactSet::Contains(const TOrvexPinDriver* contact) const {
    if (!contact || m_slots.empty()) return false;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = Slot(contact, mask);; i = (i + 1) & mask) {
        if (m_slots[i] == contact) return true;
        if (!m_slots[i]) return false;
    }
}

void TContactSet::Insert(const TOrvexPinDriver* contact) {
    if (!contact) return;
    // At most half full, so a search always meets a free slot soon.
    if (2 * (m_count + 1) > m_slots.size()) Grow();
    const size_t mask = m_slots.size() - 1;
    for (size_t i = Slot(contact, mask);; i = (i + 1) & mask) {
        if (m_slots[i] == contact) return;
        if (!m_slots[i]) {
            m_slots[i] = contact;
            ++m_count;
            return;
        }
    }
}

void TContactSet::Grow() {
    std::vector<const TOrvexPinDriver*> old = std::move(m_slots);
    // Four times larger each time: long chains run to thousands of contacts, and every growth
    // visits them all again.
    m_slots.assign(std::max<size_t>(256, 4 * old.size()), nullptr);
    m_count = 0;
    for (const TOrvexPinDriver* contact : old)
        if (contact) Insert(contact);
}

void TChainPins::Grow() {
    std::vector<TOrvexPinDriver*> larger(4 * m_capacity);
    std::copy(begin(), end(), larger.begin());
    m_heap = std::move(larger);
    m_data = m_heap.data();
    m_capacity = m_heap.size();
}

const TComponentList& TChain::Items() const {
    m_items = std::make_unique<TComponentList>(m_owner);
    for (TOrvexPinDriver* pin : m_pins)
        m_items->Add(pin, pin->objectName());
    return *m_items;
}

// Most chains are a handful of contacts: those are scanned, longer ones get a hash.
bool ChainContains(const TOrvexPinDriver* contact, const TChain& chain) {
    if (chain.m_members.IsEmpty())
        return std::find(chain.m_pins.begin(), chain.m_pins.end(), contact) != chain.m_pins.end();
    return chain.m_members.Contains(contact);
}

void ChainAdd(TOrvexPinDriver* contact, TChain& chain, bool clearSettled) {
    if (clearSettled) contact->SetSettled(false);
    chain.m_pins.push_back(contact);
    if (!chain.m_members.IsEmpty()) {
        chain.m_members.Insert(contact);
    } else if (chain.Count() > TChain::ScannedLength) {
        for (TOrvexPinDriver* pin : chain.m_pins)
            chain.m_members.Insert(pin);
    }
}

int FirstUnsettled(const TChain& chain) {
    if (chain.Count() < 2) return -1;
    for (int i = 0; i < chain.Count(); ++i)
        if (!chain.At(i)->Settled()) return i;
    return -1;
}

// ---------------------------------------------------------------- finding the source

TOrvexPinDriver* FindChainSource(TOrvexPinDriver*& contact) {
    TOrvexPinDriver* const start = contact;
    if (!start) return nullptr;

    // Phase one crosses the contact's own control first.
    TOrvexPinDriver* current = start;
    bool gate = false;
    TChain chain(start->parent());
    while (!current->IsDriver()) {
        TOrvexControl* control = current->OwnerControl();
        if (!control) return nullptr;
        current = control->OtherContact(current);
        if (!current) break;
        if (IsGateContact(current)) gate = true;
        if (current == start) break;
        if (current->IsDriver()) {
            current = nullptr;
            break;
        }
        if (!current->ComponentList() || current->ConnectionCount() != 1) return nullptr;
        if (ChainContains(current, chain)) {
            current = chain.Last();
            break;
        }
        ChainAdd(current, chain, false);
        contact = current;
        current = current->GetComponent(0);
        if (current == start || !current) break;
        if (ChainContains(current, chain)) {
            current = chain.Last();
            break;
        }
        ChainAdd(current, chain, false);
    }
    if (current == start) return current;
    if (gate || !current) current = start;

    // Phase two crosses wires first. Wiring that closes on itself away from the start would bring
    // this walk round for ever; a loop that holds no driver has no source.
    TChain crossed(start->parent());
    while (!current->IsDriver()) {
        if (!current->ComponentList() || current->ConnectionCount() != 1) return nullptr;
        if (ChainContains(current, crossed)) return nullptr;
        ChainAdd(current, crossed, false);
        contact = current;
        TOrvexPinDriver* wired = current->GetComponent(0);
        if (!wired) return nullptr;
        if (wired->IsDriver()) return wired;
        TOrvexControl* control = wired->OwnerControl();
        if (!control) return nullptr;
        current = control->OtherContact(wired);
        if (!current) return nullptr;
    }
    return current;
}

// ---------------------------------------------------------------- one chain walk

namespace {

struct Walk {
    TOrvexPinDriver* source = nullptr;
    TOrvexPinDriver* current = nullptr;
    TOrvexPinDriver* lastWire = nullptr; // most recently reached across a wire
    int gateLevel = LevelUndefined;      // output level of a gate the walk ran into from behind
    bool diode = false;
    bool pinEnd = false; // the walk ended on a control whose far side is a pin (or nothing)
    TChain chain;

    explicit Walk(TOrvexPinDriver* from) : source(from), chain(from->parent()) {}

    TOrvexPinDriver* first() const { return chain.At(0); }
    TOrvexPinDriver* last() const { return chain.Last(); }
    void clearSettled() const {
        for (int i = 0; i < chain.Count(); ++i)
            chain.At(i)->SetSettled(false);
    }
};

// Collects the chain from `first`; false when the walk gives up (a contact without a control or
// without a connection list).
bool collect(Walk& w, TOrvexPinDriver* first) {
    w.current = first;
    for (;;) {
        if (!w.current) return false;
        if (w.current->IsDriver() && !w.chain.IsEmpty()) return true;
        TOrvexControl* control = w.current->OwnerControl();
        if (!control) return false;
        if (ChainContains(w.current, w.chain)) {
            w.current = w.chain.Last();
            return true;
        }
        ChainAdd(w.current, w.chain, true);
        if (isDiodeContact(w.current)) w.diode = true;

        control->SetEvaluated(false);
        control->SetLit(false);
        TOrvexPinDriver* const nearContact = w.current;
        w.current = control->OtherContact(nearContact);

        if (!w.current || isPinContact(w.current)) {
            w.current = nearContact;
            w.pinEnd = true;
            return true;
        }
        if (!w.current->ComponentList()) return false;
        // A branch point or an open end closes the chain without joining it.
        if (w.current->ConnectionCount() != 1) return true;
        if (ChainContains(w.current, w.chain)) {
            w.current = w.chain.Last();
            return true;
        }
        if (IsGateContact(w.current) && w.current->IsDriver()) {
            // Ran into a gate through its input: remember the output level to see whether the
            // push changes it.
            w.gateLevel = w.current->Value();
            w.current = nearContact;
            return true;
        }
        ChainAdd(w.current, w.chain, true);
        w.current = w.current->GetComponent(0);
        w.lastWire = w.current;
    }
}

// Gives every contact a level from both ends; a level flips once across each open switch.
void fillChain(const Walk& w) {
    const int count = w.chain.Count();
    int level = w.source->Value();
    if (!isPinContact(w.source) && w.source->DrivenValue() != LevelUndefined)
        level = w.source->DrivenValue();
    level = capped(level);
    bool toggled = false;
    auto assign = [&](int index) {
        TOrvexPinDriver* contact = w.chain.At(index);
        contact->AssignValue(level);
        if (!toggled && isOpenSwitchControl(contact)) {
            level = level == LevelHigh ? LevelLow : LevelHigh;
            toggled = true;
        } else {
            toggled = false;
        }
    };

    int stop = 0;
    while (stop < count && w.chain.At(stop)->Settled())
        assign(stop++);

    level = w.current->Value();
    if (!w.current->IsDriver() && w.current->DrivenValue() != LevelUndefined)
        level = w.current->DrivenValue();
    level = capped(level);
    for (int i = count - 1; i >= stop; --i)
        assign(i);
}

// The level stopped short of the far end: an open switch takes the level of what is wired beyond
// it, a diode leaves the rest to the fill.
void resolveOpenSwitch(const Walk& w) {
    const int k = FirstUnsettled(w.chain);
    if (k < 1 || k > w.chain.Count() - 1) return;
    TOrvexPinDriver* contact = w.chain.At(k);
    if (isSwitchContact(contact) && isOpenSwitchControl(contact)) {
        TOrvexPinDriver* beyond = contact->GetContact();
        if (beyond && beyond->DrivenValue() != LevelUndefined) {
            contact->SetValue(beyond->DrivenValue());
            beyond->SetValue(beyond->DrivenValue());
        }
    } else if (isDiodeContact(contact)) {
        fillChain(w);
    }
}

bool isDrivingHostPin(const TOrvexPinDriver* contact) {
    return contact && contact->IsHostPin() && contact->IsDriver() && contact->DrivenValue() >= 0;
}

// A host pin asserts its own driven level again.
void reassertHostPin(TOrvexPinDriver* pin) {
    pin->SetSettled(false);
    pin->SetValue(pin->DrivenValue());
}

// The far end wins.
void reverse(Walk& w, int farLevel) {
    w.lastWire = w.source;
    w.last()->ChangeValue(farLevel, w.source);
    if (w.first()->Settled()) return;
    if (w.source->IsHostPin()) w.source->SetValue(w.source->DrivenValue());
    w.clearSettled();
    w.first()->ChangeValue(w.source->Value(), w.source);
    if (!w.last()->Settled()) fillChain(w);
}

// The ends agree (or the far end cannot answer back): the source's level goes in.
void follow(Walk& w) {
    int level = w.source->Value();
    if (level != LevelUndefined) level = IsHighLevel(level) ? LevelHigh : LevelLow;
    // An undefined level lets the first contact take its own driven value.
    w.first()->SetValue(level);
    if (w.last()->Settled()) return;
    resolveOpenSwitch(w);
    if (isDrivingHostPin(w.lastWire)) reassertHostPin(w.lastWire);
    if (isDrivingHostPin(w.source)) reassertHostPin(w.source);
    int farLevel = w.current->Value();
    if (w.pinEnd && w.current->DrivenValue() != LevelUndefined) farLevel = w.current->DrivenValue();
    w.last()->SetValue(farLevel);
    fillChain(w);
}

// The ends disagree: an undefined end undefines the chain, a low source holds its own, a high one
// gives way to the far end.
void conflict(Walk& w) {
    const int sourceLevel = w.source->Value();
    const int farLevel = w.current->Value();
    if (sourceLevel == LevelUndefined || farLevel == LevelUndefined) {
        for (int i = 0; i < w.chain.Count(); ++i)
            w.chain.At(i)->AssignValue(LevelUndefined);
        return;
    }
    if (w.pinEnd) {
        w.first()->ChangeValue(sourceLevel, w.lastWire);
        if (!w.last()->Settled()) fillChain(w);
        return;
    }
    if (ReachesThreshold(sourceLevel)) {
        reverse(w, farLevel);
        return;
    }
    w.first()->ChangeValue(sourceLevel, w.lastWire);
    resolveOpenSwitch(w);
    if (w.last()->Settled()) return;
    if (w.lastWire && w.lastWire->IsHostPin()) w.lastWire->SetValue(w.lastWire->DrivenValue());
    w.clearSettled();
    w.last()->ChangeValue(w.current->Value(), w.lastWire);
    if (!w.first()->Settled()) fillChain(w);
}

// Lets every control of the chain settle what it shows, then names where spreading goes on.
TOrvexPinDriver* ending(Walk& w) {
    for (int i = 0; i < w.chain.Count(); ++i)
        if (TOrvexControl* control = w.chain.At(i)->OwnerControl()) control->SetEnded(false);
    for (int i = 0; i < w.chain.Count(); ++i) {
        TOrvexPinDriver* contact = w.chain.At(i);
        if (TOrvexControl* control = contact->OwnerControl()) control->EndEvaluation(contact);
    }
    TOrvexPinDriver* result = w.current;
    if (result->IsInput()) {
        // Across the gate: its output only matters when the push changed it.
        TOrvexControl* control = result->OwnerControl();
        result = control ? control->OtherContact(result) : nullptr;
        if (result && result->Value() == w.gateLevel) result = nullptr;
    }
    return result;
}

} // namespace

TOrvexPinDriver* PropagateChain(TOrvexPinDriver* source, TOrvexPinDriver* first) {
    if (!source) return nullptr;
    Walk w(source);
    if (!collect(w, first)) return nullptr;

    const int sourceLevel = source->Value();
    const int farLevel = w.current->Value();
    const qint64 difference = std::abs(qint64(sourceLevel) - qint64(farLevel));
    if (w.diode && farLevel > sourceLevel)
        reverse(w, farLevel);
    else if (difference < LogicThreshold || w.current->IsInput() || w.diode)
        follow(w);
    else
        conflict(w);
    return ending(w);
}

// ---------------------------------------------------------------- spreading

struct SpreadFrame {
    TOrvexPinDriver* driver; // cleared when the driver is destroyed during the spread
    TOrvexPinDriver* excluded = nullptr;
    int next = 0;         // index of the next connection to walk through
    bool checked = false; // its caller has seen it spreadable
};

namespace {

// The stacks of the spreads running now, on every board, innermost last. A destroyed driver is
// cleared from them (ForgetDriverInSpreads), which costs nothing while no spread runs and spares
// every frame a guarded pointer.
std::vector<std::vector<SpreadFrame>*> g_runningStacks;
// Stacks kept between spreads by nesting depth, so a spread does not allocate.
constexpr size_t PooledStacks = 64;
std::vector<SpreadFrame> g_stackPool[PooledStacks];

// The spreads of contacts that are on no board (model tests build circuits without one).
SpreadState g_boardlessSpread;

SpreadState& spreadStateOf(BoardLink* board) {
    return board ? board->Spread() : g_boardlessSpread;
}

bool suspended(const TOrvexPinDriver* driver) {
    const BoardLink* board = driver->OwnerForm();
    return board && board->Suspended();
}

bool spreadable(const TOrvexPinDriver* driver) {
    return driver && !suspended(driver) && driver->ConnectionCount() > 0;
}

// "Component.Contact"; port pins and hidden contacts are named after the component above them.
QString contactPath(const TOrvexPinDriver* contact) {
    const QObject* component = contact->parent();
    while (component && qobject_cast<const TOrvexDriver*>(component))
        component = component->parent();
    if (!component) return contact->objectName();
    return component->objectName() + QLatin1Char('.') + contact->objectName();
}

void reportOscillation(const TOrvexPinDriver* stoppedAt) {
    if (BoardLink* board = stoppedAt->OwnerForm()) board->ReportOscillation(contactPath(stoppedAt));
}

// Leaves the shared state as it found it, also when a control throws.
class SpreadScope {
public:
    SpreadScope(SpreadState& state, std::vector<SpreadFrame>* stack)
        : m_state(state), m_outer(state.innermost) {
        m_state.innermost = stack;
        ++m_state.depth;
        g_runningStacks.push_back(stack);
    }
    ~SpreadScope() {
        g_runningStacks.pop_back();
        m_state.innermost = m_outer;
        if (--m_state.depth == 0) {
            m_state.walks = 0;
            m_state.exhausted = false;
        }
    }
    SpreadScope(const SpreadScope&) = delete;
    SpreadScope& operator=(const SpreadScope&) = delete;

private:
    SpreadState& m_state;
    std::vector<SpreadFrame>* m_outer;
};

void runSpread(SpreadState& spread, TOrvexPinDriver* driver, TOrvexPinDriver* excluded) {
    std::vector<SpreadFrame> own;
    const size_t level = g_runningStacks.size();
    std::vector<SpreadFrame>& stack = level < PooledStacks ? g_stackPool[level] : own;
    stack.clear();
    stack.push_back({driver, excluded, 0, true});
    SpreadScope scope(spread, &stack);

    while (!stack.empty() && !spread.exhausted) {
        SpreadFrame& frame = stack.back();
        TOrvexPinDriver* from = frame.driver;
        // A frame starts as a call of its own would: nothing on a suspended board or from a
        // driver without connections (or one a control has destroyed meanwhile).
        if (!from || (frame.next == 0 && !frame.checked && !spreadable(from)) ||
            frame.next >= from->ConnectionCount()) {
            stack.pop_back();
            continue;
        }
        TOrvexPinDriver* through = from->GetComponent(frame.next++);
        const bool skip = through == frame.excluded;
        // A frame with nothing left to walk goes now, so a long run of gates keeps one frame.
        if (frame.next >= from->ConnectionCount()) stack.pop_back();
        if (skip) continue;

        if (spread.walks >= SpreadWalkBudget) {
            spread.exhausted = true;
            stack.clear();
            reportOscillation(from);
            return;
        }
        ++spread.walks;

        const size_t base = stack.size();
        TOrvexPinDriver* result = PropagateChain(from, through);
        if (spread.exhausted) return;
        // Spreads queued by the controls during the walk run first, in the order they were asked
        // for, then the gate output the walk ended at; all before the next connection of `from`.
        std::reverse(stack.begin() + std::ptrdiff_t(base), stack.end());
        if (result && IsGateContact(result) && result->IsDriver())
            stack.insert(stack.begin() + std::ptrdiff_t(base), SpreadFrame{result, nullptr, 0});
    }
}

} // namespace

void ForgetDriverInSpreads(const TOrvexPinDriver* driver) {
    for (std::vector<SpreadFrame>* stack : g_runningStacks)
        for (SpreadFrame& frame : *stack)
            if (frame.driver == driver) frame.driver = nullptr;
}

void SpreadFromDriver(TOrvexPinDriver* driver, TOrvexPinDriver* excluded) {
    if (!driver) return;
    BoardLink* board = driver->OwnerForm();
    if ((board && board->Suspended()) || driver->ConnectionCount() == 0) return;
    SpreadState& spread = spreadStateOf(board);
    // A spread that ran out of budget stops everything started inside it too.
    if (spread.exhausted) return;
    if (spread.depth >= SpreadNestingLimit) {
        spread.innermost->push_back({driver, excluded, 0});
        return;
    }
    runSpread(spread, driver, excluded);
}
