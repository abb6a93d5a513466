#pragma once

#include <QHash>
#include <QString>
#include <set>

#include "model/collections.h"

class QObject;
class TOrvexPin;
class TOrvexPinDriver;

// Builds the board's node table: each node gathers the contacts that are electrically one point.
// The lookups the join rules need are kept in hashes, so building a board is linear in its
// contacts rather than quadratic; the order rules (first node that matches) are kept exactly.
class NodeTable {
public:
    explicit NodeTable(TNodeArray& nodes) : m_nodes(nodes) {}

    int AddNode(const QString& name);
    bool InNodeMembers(const TOrvexPinDriver* contact, int node) const;
    bool InNodeDrivers(const TOrvexPinDriver* contact, int node) const;
    int FindHostPinNode(const TOrvexPin* pin) const;
    int FindNodeForContact(TOrvexPinDriver* contact);
    void AddDriverToNode(TOrvexPinDriver* contact, int node);
    void AddToNode(TOrvexPinDriver* contact, int node);
    void JoinNode(TOrvexPinDriver* contact, int node);
    void JoinContact(TOrvexPinDriver* contact);

    // "Component.Contact", the name of a contact in a node.
    static QString MemberName(const TOrvexPinDriver* contact);
    // "Pin" + the address in two or more upper-case hex digits + "_" + the bit number.
    static QString HostPinNodeName(const TOrvexPin* pin);

private:
    void SetNodeIndex(TOrvexPinDriver* contact, int index);
    bool HasLowDriverIndex(int node, int nodeIndex) const;

    TNodeArray& m_nodes;
    QHash<const TOrvexPinDriver*, std::set<int>> m_memberOf; // plain member of these nodes
    QHash<const TOrvexPinDriver*, std::set<int>> m_driverOf; // in these nodes' driver lists
    // Nodes whose driver list holds a driver with node index -1, 0 or 1 (rail matching).
    std::set<int> m_lowDrivers[3];
    QHash<QPair<int, int>, std::set<int>> m_hostPins; // (address, bit) -> nodes
};
