#pragma once

#include "host/boardbridge.h"
#include "platform/hostmessages.h"

class TSimForm;

// The link between a board form and the board's own host (the firmware bridge). The host's
// accesses (2026) and starts (2029) get the board form's own handling through it, whatever a
// derived form does with the messages of an outside host; the board's reports reach the host
// through Forward, exactly as they would reach an outside host simulator.
//
// It also tells the board's own host what the board decodes (TBoardDecoding), and hands the
// host's accesses only to the components that decode their address, the only ones that take
// them.
class TBoardFormLink : public MessageTarget, public TBoardDecoding {
public:
    explicit TBoardFormLink(TSimForm& form) : m_form(form) {}

    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;

    quint64 DecodingGeneration() const override;
    std::vector<std::pair<quint32, quint8>> DecodedAddresses(quint8 space) const override;

    // Hears what the board's host pins and ports report (2033, 2036, 2037); not owned; nullptr:
    // none, and the reports go nowhere.
    void SetBoardHost(MessageTarget* host) { m_host = host; }
    MessageTarget* BoardHost() const { return m_host; }
    // An access of the board's own host is being handled: only a reply then is the host's.
    bool InHostAccess() const { return m_hostAccessDepth > 0; }
    // A report of the board to its own host, if any; 0 without one.
    qintptr Forward(quint32 msg, quint32 wParam, qintptr lParam);

private:
    // The host pins stay silent while the board handles the host's access. Those that the board
    // holds at another level than the host wrote (a closed switch to ground on a pin written 1)
    // report their level afterwards, as they would have, so the host reads what the board holds.
    void ReportHeldPins(int address, int data);

    TSimForm& m_form;
    MessageTarget* m_host = nullptr;
    int m_hostAccessDepth = 0; // accesses of the board's own host being handled
};
