// The board form's link to the board's own host (the firmware bridge). A form that answers no
// outside host keeps its handlers of the host messages silent; the board's own host instead gets
// the board form's handling through this link, and the board's reports through Forward, exactly
// as an outside host simulator would.
#include "simulation/hostlink.h"

#include <QVarLengthArray>

#include "components/orvexcomponent.h"
#include "model/boardlink.h"
#include "model/hostpins.h"
#include "model/levels.h"
#include "simulation/simform.h"

qintptr TBoardFormLink::HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) {
    switch (msg) {
    case HostMsg::HostAccess: {
        ++m_hostAccessDepth;
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{m_hostAccessDepth};
        const qintptr reply = m_form.DeliverHostAccess(wParam, lParam, true);
        if ((wParam >> 24) == 2) ReportHeldPins(int(wParam & 0xFFFF), int(lParam & 0xFF));
        return reply;
    }
    case HostMsg::HostStart:
        return m_form.TSimForm::HostStartMessage(wParam, lParam);
    default:
        return 0;
    }
}

quint64 TBoardFormLink::DecodingGeneration() const {
    return m_form.Board() ? m_form.Board()->DecodingGeneration() : 0;
}

std::vector<std::pair<quint32, quint8>> TBoardFormLink::DecodedAddresses(quint8 space) const {
    std::vector<std::pair<quint32, quint8>> result;
    if (!m_form.Board()) return result;
    for (const auto& [decodedSpace, address, bits] : m_form.Board()->DecodedAddresses())
        if (int(decodedSpace) == int(space) && address >= 0)
            result.emplace_back(quint32(address), quint8(bits));
    return result;
}

qintptr TBoardFormLink::Forward(quint32 msg, quint32 wParam, qintptr lParam) {
    return m_host ? SendHostMessage(m_host, msg, wParam, lParam) : 0;
}

void TBoardFormLink::ReportHeldPins(int address, int data) {
    MessageTarget* host = m_host;
    if (!host) return;
    auto report = [&](TOrvexPin* pin) {
        if (!pin || pin->Space() != ops_DATA || pin->Address() != address) return;
        const int bit = pin->PinNumber() & 7;
        if (IsHighLevel(pin->Value()) == (((data >> bit) & 1) != 0)) return;
        const quint32 w = PackBytes(quint8(address), quint8(bit), quint8(ops_DATA),
                                    quint8(MillivoltsToVolts(pin->Value())));
        SendHostMessage(host, HostMsg::PinLevel, w, reinterpret_cast<qintptr>(pin));
    };
    // Only the components that decode the address show pins there. The host may change the board
    // while it hears a report: each further component is then checked before it is touched.
    TBoardSurface* board = m_form.Board();
    const QList<TOrvexGraphicComponent*>& decoders = board->DecodingComponents(ops_DATA, address);
    const QVarLengthArray<TOrvexGraphicComponent*, 8> components(decoders.begin(), decoders.end());
    const quint64 generation = board->DecodingGeneration();
    for (TOrvexGraphicComponent* component : components) {
        if (board->DecodingGeneration() != generation &&
            !board->StillDecodes(component, ops_DATA, address))
            continue;
        const ComponentRole* role = component;
        if (TOrvexPortDriver* port = role->MirroredPort())
            if (port->Space() == ops_DATA && port->Address() == address)
                for (int k = 0; k < 8; ++k)
                    report(port->Pins(k));
        report(role->MirroredPin());
    }
}
