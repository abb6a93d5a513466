#include "tests/support/testboard.h"

#include "model/drivers.h"

TestBoard::~TestBoard() {
    // Rail contacts are plain children; unwire them before the node table goes.
    nodes.clear();
}

qintptr TestBoard::HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) {
    sent.append({msg, wParam, lParam});
    return msg == HostMsg::PortAddress ? addressAnswer : 0;
}

void TestBoard::MakeRails() {
    nodes.clear();
    const char* names[2] = {"GND", "Vcc"};
    for (int i = 0; i < 2; ++i) {
        auto node = std::make_unique<TNode>(this);
        node->Name = QLatin1String(names[i]);
        node->Index = i;
        auto* rail = new TPin(this);
        rail->setObjectName(QStringLiteral("Rail%1").arg(i));
        node->Drivers().Add(rail, rail->objectName());
        nodes.push_back(std::move(node));
    }
}

QList<TestBoard::Sent> TestBoard::SentWith(quint32 msg) const {
    QList<Sent> result;
    for (const Sent& s : sent)
        if (s.msg == msg) result.append(s);
    return result;
}
