#include "platform/InstanceChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <memory>

#include <unistd.h>

namespace ondel {

namespace {

// "ONDEL1", the server text and "0" or "1" for the browser, each ended by a NUL byte (which no
// command-line argument can hold). The answer is "ok\n".
constexpr char kMagic[] = "ONDEL1";
constexpr int kParts = 3;
constexpr qsizetype kMaxRequest = 64 * 1024;

} // namespace

InstanceChannel::InstanceChannel(const std::string& dataDirectory, QObject* parent)
    : QObject(parent) {
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(dataDirectory),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(16);
    m_name = QStringLiteral("ondel-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen() {
    if (m_server != nullptr)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_name);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::onConnection);
    return m_server->listen(m_name);
}

void InstanceChannel::onConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guarded(socket);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, guarded, buffer] {
            if (!guarded)
                return;
            *buffer += guarded->readAll();
            if (buffer->size() > kMaxRequest) {
                guarded->abort();
                return;
            }
            if (std::count(buffer->cbegin(), buffer->cend(), '\0') < kParts)
                return;
            const QList<QByteArray> parts = buffer->split('\0');
            buffer->clear();
            if (parts.size() < kParts || parts[0] != kMagic) {
                guarded->abort();
                return;
            }
            guarded->write("ok\n");
            guarded->flush();
            emit requested(QString::fromLocal8Bit(parts[1]), parts[2] == "1");
        });
    }
}

bool InstanceChannel::handOver(const QString& serverText, bool browser, int timeoutMs) {
    QByteArray request(kMagic);
    request += '\0';
    request += serverText.toLocal8Bit();
    request += '\0';
    request += browser ? "1" : "0";
    request += '\0';
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(200)) {
            socket.write(request);
            QByteArray answer;
            while (!answer.contains('\n') &&
                   socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                answer += socket.readAll();
            return answer.startsWith("ok\n");
        }
        // The running program may not be listening yet.
        QThread::msleep(100);
    }
    return false;
}

} // namespace ondel
