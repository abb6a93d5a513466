#include "editor/serialbridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "editor/firmwarerunner.h"

namespace {

// The core's receive queue gets only what the firmware is about to read: a few bytes, doubled
// while the firmware takes all it was given in a step (fast baud rates), halved while it takes
// less. Bytes handed over are out of the queue's reach, so a reset loses at most these.
constexpr size_t MinAhead = 2;
constexpr size_t MaxAhead = 1024;
// A client flooding the port is read in portions, so the window keeps running between them.
constexpr qsizetype ReadPortion = 64 * 1024;
// How long a refused client may take to read why before it is cut off.
constexpr int RefusalGraceMs = 2000;

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A link name as typed: "~/x" in the home folder, a relative name in the home folder too (the
// program's working folder means nothing to the user).
QString linkPath(const QString& name) {
    QString path = name.trimmed();
    if (path == u"~") return QDir::homePath();
    if (path.startsWith(QStringLiteral("~/"))) path = QDir::homePath() + path.mid(1);
    if (QDir::isRelativePath(path)) path = QDir::home().filePath(path);
    return QDir::cleanPath(path);
}

} // namespace

TSerialBridge::TSerialBridge(TFirmwareRunner* runner, QObject* parent)
    : QObject(parent), m_runner(runner) {
    setObjectName(QStringLiteral("SerialBridge"));
    m_runner->SetSerialFeed([this] { Feed(); });
    connect(m_runner, &TFirmwareRunner::Transmitted, this, &TSerialBridge::Transmit);
}

TSerialBridge::~TSerialBridge() {
    m_runner->SetSerialFeed(nullptr);
    CloseTerminal();
    StopListening();
}

// ---------------------------------------------------------------- towards the firmware

qsizetype TSerialBridge::Send(const QByteArray& bytes) {
    if (bytes.isEmpty()) return 0;
    const qsizetype take = std::min(bytes.size(), std::max<qsizetype>(0, Free()));
    if (take > 0) {
        // Drop what was handed on before growing, so the buffer stays within twice the bound.
        if (m_head > 0 && m_queue.size() + take > MaxQueued) {
            m_queue.remove(0, m_head);
            m_head = 0;
        }
        m_queue.append(bytes.constData(), take);
    }
    if (take < bytes.size()) {
        m_overflow += quint64(bytes.size() - take);
        emit Changed();
    }
    return take;
}

qsizetype TSerialBridge::Queued() const {
    return m_queue.size() - m_head + qsizetype(m_runner->Core().SerialReceivePending());
}

void TSerialBridge::ClearQueue() {
    m_queue.clear();
    m_head = 0;
    emit Changed();
}

void TSerialBridge::Feed() {
    const mcs51::Core& core = m_runner->Core();
    const size_t pending = core.SerialReceivePending();
    const size_t taken = m_handed > pending ? m_handed - pending : 0;
    if (pending == 0 && taken >= m_ahead)
        m_ahead = std::min(m_ahead * 2, MaxAhead);
    else if (taken * 2 < m_ahead)
        m_ahead = std::max(m_ahead / 2, MinAhead);
    m_handed = pending;
    const qsizetype waiting = m_queue.size() - m_head;
    if (waiting == 0 || pending >= m_ahead) return;
    const qsizetype give = std::min(waiting, qsizetype(m_ahead - pending));
    m_runner->SerialReceive(QByteArray::fromRawData(m_queue.constData() + m_head, give));
    m_head += give;
    m_handed += size_t(give);
    if (m_head == m_queue.size()) {
        m_queue.clear();
        m_head = 0;
    } else if (m_head >= ReadPortion && m_head * 2 >= m_queue.size()) {
        m_queue.remove(0, m_head);
        m_head = 0;
    }
}

// ---------------------------------------------------------------- from the firmware

void TSerialBridge::Transmit(const QByteArray& bytes) {
    if (m_master >= 0) {
        WriteBounded(m_ptyUnsent, bytes);
        WriteTerminal();
    }
    if (m_client && m_client->state() == QAbstractSocket::ConnectedState) {
        const qsizetype room = std::max<qsizetype>(0, MaxUnsent - m_client->bytesToWrite());
        const qsizetype take = std::min(room, bytes.size());
        if (take > 0) m_client->write(bytes.constData(), take);
        if (take < bytes.size()) {
            m_lostOutput += quint64(bytes.size() - take);
            emit Changed();
        }
    }
}

void TSerialBridge::WriteBounded(QByteArray& unsent, const QByteArray& bytes) {
    const qsizetype room = std::max<qsizetype>(0, MaxUnsent - unsent.size());
    const qsizetype take = std::min(room, bytes.size());
    unsent.append(bytes.constData(), take);
    if (take < bytes.size()) {
        m_lostOutput += quint64(bytes.size() - take);
        emit Changed();
    }
}

// ---------------------------------------------------------------- pseudo-terminal

QString TSerialBridge::OpenTerminal(const QString& linkName) {
    if (m_master >= 0)
        return QStringLiteral("A terminal device is open already: %1.").arg(m_ptsPath);
    const QString link = linkName.trimmed().isEmpty() ? QString() : linkPath(linkName);
    if (!link.isEmpty()) {
        struct stat status = {};
        const QByteArray path = QFile::encodeName(link);
        if (::lstat(path.constData(), &status) == 0 && !S_ISLNK(status.st_mode))
            return QStringLiteral("%1 exists and is not a link; it is left as it is. Choose "
                                  "another name.")
                .arg(link);
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return QStringLiteral("No terminal device could be opened: %1.").arg(systemError());
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        const QString error = systemError();
        ::close(master);
        return QStringLiteral("No terminal device could be opened: %1.").arg(error);
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        const QString error = systemError();
        ::close(master);
        return QStringLiteral("No terminal device could be opened: %1.").arg(error);
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        const QString error = systemError();
        ::close(master);
        return QStringLiteral("No terminal device could be opened: %1.").arg(error);
    }
    // Raw: no echo of the firmware's own bytes back to it, no line editing, no CR/LF changes.
    struct termios mode = {};
    if (::tcgetattr(slave, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(slave, TCSANOW, &mode);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const QString pts = QString::fromLocal8Bit(name);
    if (!link.isEmpty()) {
        const QByteArray path = QFile::encodeName(link);
        struct stat status = {};
        if (::lstat(path.constData(), &status) == 0 && S_ISLNK(status.st_mode))
            ::unlink(path.constData());
        if (::symlink(name, path.constData()) != 0) {
            const QString error = systemError();
            ::close(slave);
            ::close(master);
            return QStringLiteral("The link %1 could not be made: %2.").arg(link, error);
        }
    }
    m_master = master;
    m_slave = slave;
    m_ptsPath = pts;
    m_link = link;
    m_ptyUnsent.clear();
    m_readNotifier = new QSocketNotifier(qintptr(master), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TSerialBridge::ReadTerminal);
    m_writeNotifier = new QSocketNotifier(qintptr(master), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TSerialBridge::WriteTerminal);
    emit Changed();
    return QString();
}

void TSerialBridge::CloseTerminal() {
    if (m_master < 0) return;
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = m_writeNotifier = nullptr;
    if (!m_link.isEmpty()) {
        // Only our own link goes: another program may have put something there meanwhile.
        const QByteArray path = QFile::encodeName(m_link);
        struct stat status = {};
        if (::lstat(path.constData(), &status) == 0 && S_ISLNK(status.st_mode) &&
            QFile::symLinkTarget(m_link) == m_ptsPath)
            ::unlink(path.constData());
    }
    ::close(m_slave);
    ::close(m_master);
    m_master = m_slave = -1;
    m_ptsPath.clear();
    m_link.clear();
    m_ptyUnsent.clear();
    emit Changed();
}

void TSerialBridge::ReadTerminal() {
    char buffer[4096];
    qsizetype total = 0;
    while (m_master >= 0 && total < ReadPortion) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            Send(QByteArray(buffer, qsizetype(n)));
            total += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // Hung up (no client and no slave held) or failed: look again a little later instead of
        // being woken without end.
        if (m_readNotifier) {
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(200, m_readNotifier,
                               [notifier = m_readNotifier] { notifier->setEnabled(true); });
        }
        break;
    }
}

void TSerialBridge::WriteTerminal() {
    while (m_master >= 0 && !m_ptyUnsent.isEmpty()) {
        const ssize_t n = ::write(m_master, m_ptyUnsent.constData(), size_t(m_ptyUnsent.size()));
        if (n > 0) {
            m_ptyUnsent.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // full: the notifier says when the client has read
    }
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_ptyUnsent.isEmpty());
}

// ---------------------------------------------------------------- TCP

QString TSerialBridge::Listen(const QString& address, quint16 port) {
    const QString typed =
        address.trimmed().isEmpty() ? QString::fromLatin1(DefaultAddress) : address.trimmed();
    QHostAddress host;
    if (!host.setAddress(typed))
        return QStringLiteral("\"%1\" is not an IP address (for example 127.0.0.1).").arg(typed);
    StopListening();
    auto* server = new QTcpServer(this);
    if (!server->listen(host, port)) {
        const QString error = server->errorString();
        delete server;
        return QStringLiteral("Cannot listen on %1 port %2: %3.").arg(typed).arg(port).arg(error);
    }
    m_server = server;
    connect(m_server, &QTcpServer::newConnection, this, &TSerialBridge::NewConnection);
    emit Changed();
    return QString();
}

void TSerialBridge::StopListening() {
    if (!m_server) return;
    if (m_client) {
        QTcpSocket* client = m_client;
        m_client = nullptr;
        client->disconnect(this);
        client->abort();
        client->deleteLater();
    }
    m_server->close();
    // Sockets still being refused are the server's children and go with it.
    m_server->deleteLater();
    m_server->disconnect(this);
    m_server = nullptr;
    emit Changed();
}

bool TSerialBridge::Listening() const {
    return m_server && m_server->isListening();
}

QString TSerialBridge::ListenAddress() const {
    return m_server ? m_server->serverAddress().toString() : QString();
}

quint16 TSerialBridge::Port() const {
    return m_server ? m_server->serverPort() : 0;
}

QByteArray TSerialBridge::RefusalText() {
    return QByteArrayLiteral("The firmware's serial port has a client already; one at a time. "
                             "Closing.\r\n");
}

void TSerialBridge::NewConnection() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (!socket) break;
        if (m_client) {
            ++m_refused;
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(RefusalText());
            socket->disconnectFromHost();
            if (socket->state() == QAbstractSocket::UnconnectedState)
                socket->deleteLater();
            else
                QTimer::singleShot(RefusalGraceMs, socket, [socket] { socket->abort(); });
            emit Changed();
            continue;
        }
        m_client = socket;
        // A serial line carries single bytes: each goes out at once, not gathered by Nagle.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Qt takes no more from the system than this; the rest waits there until read.
        socket->setReadBufferSize(ReadPortion);
        connect(socket, &QTcpSocket::readyRead, this, &TSerialBridge::ReadClient);
        connect(socket, &QTcpSocket::disconnected, this, &TSerialBridge::ClientGone);
        emit Changed();
        ReadClient();
    }
}

void TSerialBridge::ReadClient() {
    if (!m_client) return;
    const QByteArray bytes = m_client->read(ReadPortion);
    if (!bytes.isEmpty()) Send(bytes);
    // More waiting: taken in the next turn of the event loop, so a flood does not hold the
    // window.
    if (m_client->bytesAvailable() > 0) QTimer::singleShot(0, this, &TSerialBridge::ReadClient);
}

void TSerialBridge::ClientGone() {
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != m_client) return;
    m_client = nullptr;
    socket->disconnect(this);
    // What it sent before it went still reaches the firmware.
    while (socket->bytesAvailable() > 0)
        Send(socket->read(ReadPortion));
    socket->deleteLater();
    emit Changed();
}

// ---------------------------------------------------------------- status

QString TSerialBridge::StatusText() const {
    QStringList parts;
    if (TerminalOpen()) {
        QString text = QStringLiteral("Serial port %1").arg(m_ptsPath);
        if (!m_link.isEmpty()) text += QStringLiteral(" (%1)").arg(m_link);
        parts << text;
    }
    if (Listening())
        parts << QStringLiteral("%1TCP %2:%3%4")
                     .arg(parts.isEmpty() ? QStringLiteral("Serial port ") : QString())
                     .arg(ListenAddress())
                     .arg(Port())
                     .arg(HasClient() ? QStringLiteral(" (client)") : QString());
    if (parts.isEmpty()) return QString();
    const qsizetype queued = Queued();
    if (queued > 0) parts << QStringLiteral("%1 queued").arg(queued);
    if (m_overflow > 0) parts << QStringLiteral("%1 overflowed").arg(m_overflow);
    if (m_lostOutput > 0) parts << QStringLiteral("%1 not read by clients").arg(m_lostOutput);
    return parts.join(QStringLiteral(", "));
}
