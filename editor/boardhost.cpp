// The main window's link to the board's own host (the firmware bridge). The window answers no
// outside host: its handlers of the host messages stay silent. The board's own host instead gets
// the board form's handling through BoardFormLink, and the board's reports through
// ForwardToMainWindow, exactly as an outside host simulator would.
#include "components/orvexcomponent.h"
#include "editor/brelvanfrm.h"
#include "model/boardlink.h"
#include "model/hostpins.h"
#include "model/levels.h"

class TBoardFormLink : public MessageTarget {
public:
    explicit TBoardFormLink(TfrmPlugin& form) : m_form(form) {}

    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override {
        switch (msg) {
        case HostMsg::HostAccess: {
            ++m_form.m_hostAccessDepth;
            struct Leave {
                int& depth;
                ~Leave() { --depth; }
            } leave{m_form.m_hostAccessDepth};
            const qintptr reply = m_form.TSimForm::HostAccessMessage(wParam, lParam);
            if ((wParam >> 24) == 2) ReportHeldPins(int(wParam & 0xFFFF), int(lParam & 0xFF));
            return reply;
        }
        case HostMsg::HostStart:
            return m_form.TSimForm::HostStartMessage(wParam, lParam);
        default:
            return 0;
        }
    }

private:
    // The host pins stay silent while the board handles the host's access. Those that the board
    // holds at another level than the host wrote (a closed switch to ground on a pin written 1)
    // report their level afterwards, as they would have, so the host reads what the board holds.
    void ReportHeldPins(int address, int data) {
        MessageTarget* host = m_form.BoardHost();
        if (!host) return;
        auto report = [&](TOrvexPin* pin) {
            if (!pin || pin->Space() != ops_DATA || pin->Address() != address) return;
            const int bit = pin->PinNumber() & 7;
            if (IsHighLevel(pin->Value()) == (((data >> bit) & 1) != 0)) return;
            const quint32 w = PackBytes(quint8(address), quint8(bit), quint8(ops_DATA),
                                        quint8(MillivoltsToVolts(pin->Value())));
            SendHostMessage(host, HostMsg::PinLevel, w, reinterpret_cast<qintptr>(pin));
        };
        for (QObject* object : m_form.Board()->BoardComponents()) {
            ComponentRole* role = RoleOf(object);
            if (!role) continue;
            if (TOrvexPortDriver* port = role->MirroredPort())
                if (port->Space() == ops_DATA && port->Address() == address)
                    for (int k = 0; k < 8; ++k)
                        report(port->Pins(k));
            report(role->MirroredPin());
        }
    }

    TfrmPlugin& m_form;
};

MessageTarget* TfrmPlugin::BoardFormLink() {
    if (!m_boardFormLink) m_boardFormLink = std::make_unique<TBoardFormLink>(*this);
    return m_boardFormLink.get();
}

qintptr TfrmPlugin::HostReplyMessage(quint32 wParam, qintptr lParam) {
    return m_hostAccessDepth > 0 ? TSimForm::HostReplyMessage(wParam, lParam) : 0;
}

qintptr TfrmPlugin::ForwardToMainWindow(quint32 msg, quint32 wParam, qintptr lParam) {
    return m_boardHost ? SendHostMessage(m_boardHost, msg, wParam, lParam) : 0;
}
