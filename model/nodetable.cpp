#include "model/nodetable.h"

#include <QObject>

#include "model/hostpins.h"

namespace {
bool lowIndex(int nodeIndex) {
    return nodeIndex >= -1 && nodeIndex <= 1;
}
} // namespace

QString NodeTable::MemberName(const TOrvexPinDriver* contact) {
    const QObject* owner = contact->parent();
    return (owner ? owner->objectName() : QString()) + QLatin1Char('.') + contact->objectName();
}

QString NodeTable::HostPinNodeName(const TOrvexPin* pin) {
    return QStringLiteral("Pin%1_%2")
        .arg(
            QString::number(uint(pin->Address()), 16).toUpper().rightJustified(2, QLatin1Char('0')))
        .arg(pin->PinNumber());
}

int NodeTable::AddNode(const QString& name) {
    QObject* owner = m_nodes.empty() ? nullptr : m_nodes.front()->GetOwner();
    auto node = std::make_unique<TNode>(owner);
    node->Name = name;
    node->Index = int(m_nodes.size());
    m_nodes.push_back(std::move(node));
    return int(m_nodes.size()) - 1;
}

bool NodeTable::InNodeMembers(const TOrvexPinDriver* contact, int node) const {
    auto it = m_memberOf.constFind(contact);
    return it != m_memberOf.cend() && it->count(node) > 0;
}

bool NodeTable::HasLowDriverIndex(int node, int nodeIndex) const {
    if (!lowIndex(nodeIndex) || m_lowDrivers[nodeIndex + 1].count(node) == 0) return false;
    // The set remembers nodes that once held such a driver; confirm against the live values.
    for (const TComponentItem& item : m_nodes[size_t(node)]->Drivers())
        if (item.Pin && item.Pin->NodeIndex() == nodeIndex) return true;
    return false;
}

bool NodeTable::InNodeDrivers(const TOrvexPinDriver* contact, int node) const {
    const TNode& n = *m_nodes[size_t(node)];
    if (n.Count() == 0 || !contact->IsDriver() || n.Drivers().IsEmpty()) return false;
    auto it = m_driverOf.constFind(contact);
    if (it != m_driverOf.cend() && it->count(node) > 0) return true;
    return contact->NodeIndex() < 2 && HasLowDriverIndex(node, contact->NodeIndex());
}

int NodeTable::FindHostPinNode(const TOrvexPin* pin) const {
    if (m_nodes.empty() || pin->Address() == -1) return -1;
    auto it = m_hostPins.constFind(qMakePair(pin->Address(), pin->PinNumber()));
    return it == m_hostPins.cend() || it->empty() ? -1 : *it->begin();
}

int NodeTable::FindNodeForContact(TOrvexPinDriver* contact) {
    if (m_nodes.empty()) return -1;
    auto* hostPin = qobject_cast<TOrvexPin*>(contact);
    const int k = hostPin ? FindHostPinNode(hostPin) : -1;
    if (k > 0) {
        TNode& node = *m_nodes[size_t(k)];
        if (node.Name.startsWith(QLatin1String("Node_")) && hostPin->Address() > 0)
            node.Name = HostPinNodeName(hostPin);
        return k;
    }
    // The first node, in table order, that holds the contact in either way.
    std::set<int> candidates;
    if (auto it = m_memberOf.constFind(contact); it != m_memberOf.cend())
        candidates.insert(it->begin(), it->end());
    if (contact->IsDriver()) {
        if (auto it = m_driverOf.constFind(contact); it != m_driverOf.cend())
            candidates.insert(it->begin(), it->end());
        if (lowIndex(contact->NodeIndex()))
            candidates.insert(m_lowDrivers[contact->NodeIndex() + 1].begin(),
                              m_lowDrivers[contact->NodeIndex() + 1].end());
    }
    for (int node : candidates)
        if (InNodeDrivers(contact, node) || InNodeMembers(contact, node)) return node;
    return -1;
}

void NodeTable::SetNodeIndex(TOrvexPinDriver* contact, int index) {
    const int old = contact->NodeIndex();
    contact->SetNodeIndex(index);
    if (old == index || !lowIndex(index)) return;
    // A driver listed somewhere now carries a rail index: those nodes may match it.
    if (auto it = m_driverOf.constFind(contact); it != m_driverOf.cend())
        m_lowDrivers[index + 1].insert(it->begin(), it->end());
}

void NodeTable::AddDriverToNode(TOrvexPinDriver* contact, int node) {
    if (InNodeDrivers(contact, node)) return;
    TNode& n = *m_nodes[size_t(node)];
    n.Drivers().Add(contact, MemberName(contact));
    m_driverOf[contact].insert(node);
    if (auto* pin = qobject_cast<TOrvexPin*>(contact))
        m_hostPins[qMakePair(pin->Address(), pin->PinNumber())].insert(node);
    SetNodeIndex(contact, n.Index);
    if (lowIndex(contact->NodeIndex())) m_lowDrivers[contact->NodeIndex() + 1].insert(node);
}

void NodeTable::AddToNode(TOrvexPinDriver* contact, int node) {
    if (contact->IsDriver()) {
        AddDriverToNode(contact, node);
        return;
    }
    if (InNodeMembers(contact, node)) return;
    TNode& n = *m_nodes[size_t(node)];
    n.Add(contact, MemberName(contact));
    m_memberOf[contact].insert(node);
    SetNodeIndex(contact, n.Index);
}

void NodeTable::JoinNode(TOrvexPinDriver* contact, int node) {
    bool placed = false;
    bool added = false;
    if (contact->IsDriver()) {
        AddDriverToNode(contact, node);
        placed = added = true;
    } else {
        TOrvexPinDriver* firstInput = nullptr;
        for (int i = 0; i < contact->ConnectionCount() && !placed; ++i) {
            TOrvexPinDriver* other = contact->GetComponent(i);
            if (other && other->IsDriver()) {
                AddToNode(other, node);
                placed = true;
            } else if (other && other->IsInput() && !firstInput) {
                firstInput = other;
            }
        }
        if (!placed && contact->IsInput()) {
            AddToNode(contact, node);
            placed = added = true;
        }
        if (!placed && firstInput) AddToNode(firstInput, node);
    }
    if (!added) AddToNode(contact, node);
    for (int i = 0; i < contact->ConnectionCount(); ++i)
        if (TOrvexPinDriver* other = contact->GetComponent(i)) AddToNode(other, node);
}

void NodeTable::JoinContact(TOrvexPinDriver* contact) {
    if (!contact) return;
    int node = FindNodeForContact(contact);
    if (node == -1) {
        QString name = QStringLiteral("Node_%1").arg(m_nodes.size());
        if (auto* pin = qobject_cast<TOrvexPin*>(contact); pin && pin->Address() > 0)
            name = HostPinNodeName(pin);
        node = AddNode(name);
    }
    JoinNode(contact, node);
}
