#include "editor/tracesession.h"

#include <QRegularExpression>

#include "editor/brelvanfrm.h"
#include "editor/firmwareui.h"
#include "platform/clock.h"
#include "properties/propertytext.h"
#include "simulation/simform.h"

TTraceSession* TTraceSession::Of(TfrmPlugin* window) {
    if (auto* session = window->findChild<TTraceSession*>(QString(), Qt::FindDirectChildrenOnly))
        return session;
    return new TTraceSession(window);
}

TTraceSession::TTraceSession(TfrmPlugin* window) : QObject(window), m_window(window) {
    m_runner = window->Firmware()->Runner();
    m_crystal = m_runner->Crystal();
    m_recorder.SetCore(&m_runner->Core());
    m_recorder.SetTimeSource(
        [this]() -> TTraceRecorder::TTimeReading {
            // Machine cycles at the crystal while firmware runs, the board's clock otherwise.
            if (CoreLive())
                return {quint64(double(m_runner->Cycles()) * 12e12 / m_runner->Crystal()), 1};
            return {quint64(qMax<qint64>(0, Clock().TickCount())) * 1000000000ull, 0};
        },
        [this] { return m_runner && m_runner->HasFirmware() ? 12e12 / m_runner->Crystal() : 0.0; });
    m_runner->Bridge().PinWatch = &m_recorder;
    connect(window, &TfrmPlugin::RunningChanged, this,
            [this](bool running) { m_recorder.SetRecording(running); });
    connect(window, &TfrmPlugin::BoardCleared, this, [this] {
        m_recorder.Clear();
        emit TracesChanged();
    });
    connect(m_runner, &TFirmwareRunner::StateChanged, this, &TTraceSession::RunnerStateChanged);
    m_recorder.SetRecording(window->Running());
}

TTraceSession::~TTraceSession() {
    if (m_runner && m_runner->Bridge().PinWatch == &m_recorder)
        m_runner->Bridge().PinWatch = nullptr;
}

bool TTraceSession::CoreLive() const {
    if (!m_runner) return false;
    const TFirmwareRunner::State state = m_runner->CurrentState();
    return state == TFirmwareRunner::State::Running || state == TFirmwareRunner::State::Paused ||
           state == TFirmwareRunner::State::Halted;
}

void TTraceSession::RunnerStateChanged() {
    // A start from reset while the board runs (a reset of the firmware): the new stretch begins
    // at its first machine cycle.
    if (m_recorder.Recording() && CoreLive() && m_runner->Cycles() == 0) m_recorder.MarkGap();
    // Another crystal makes other stamps of the same cycles: a new stretch.
    if (m_runner && m_runner->Crystal() != m_crystal) {
        m_crystal = m_runner->Crystal();
        if (m_recorder.Recording()) m_recorder.MarkGap();
    }
}

int TTraceSession::AddTrace(const QString& path, QString* error) {
    static const QRegularExpression corePin(
        QStringLiteral("^host\\.(?:p([0-3])(?:\\.([0-7]))?|(rxd|txd|int0|int1|t0|t1))$"),
        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = corePin.match(path.trimmed()); match.hasMatch()) {
        TTraceRecorder::TCorePin pin;
        QString name;
        if (!match.captured(3).isEmpty()) {
            static const QStringList named = {QStringLiteral("RXD"),  QStringLiteral("TXD"),
                                              QStringLiteral("INT0"), QStringLiteral("INT1"),
                                              QStringLiteral("T0"),   QStringLiteral("T1")};
            name = match.captured(3).toUpper();
            pin = {3, int(named.indexOf(name))};
        } else {
            pin.Port = match.captured(1).toInt();
            pin.Bit = match.captured(2).isEmpty() ? -1 : match.captured(2).toInt();
            name = pin.Bit < 0 ? QStringLiteral("P%1").arg(pin.Port)
                               : QStringLiteral("P%1.%2").arg(pin.Port).arg(pin.Bit);
        }
        const int index = m_recorder.AddCorePin(pin, name, error);
        if (index >= 0) emit TracesChanged();
        return index;
    }
    TBoardSurface* board = m_window->Board();
    const PropertyText::TPathRoot root{
        board, [board] { return board->OwnedObjects(); },
        [board](const QString& name) { return board->FindOwnedName(name); }};
    QObject* object = PropertyText::ComponentByPath(root, path.trimmed());
    auto* contact = qobject_cast<TOrvexDriver*>(object);
    if (!contact) {
        if (error)
            *error = object ? QStringLiteral("%1 is no contact or port").arg(path)
                            : QStringLiteral("nothing is named %1").arg(path);
        return -1;
    }
    // The component's name is the scope, the rest of the path names the contact in it.
    const QString trimmed = path.trimmed();
    const qsizetype dot = trimmed.indexOf(QLatin1Char('.'));
    const QString scope = dot < 0 ? trimmed : trimmed.left(dot);
    const QString name = dot < 0 ? contact->objectName() : trimmed.mid(dot + 1);
    const int index = m_recorder.AddContact(contact, scope, name.isEmpty() ? scope : name, error);
    if (index >= 0) emit TracesChanged();
    return index;
}

quint64 TTraceSession::DefaultVcdUnit() const {
    return VcdUnitFor(m_runner && m_runner->HasFirmware() ? 12e12 / m_runner->Crystal() : 0.0);
}

QByteArray TTraceSession::Vcd(TVcdOptions options, QString* error) const {
    return WriteVcd(m_recorder, options, error);
}
