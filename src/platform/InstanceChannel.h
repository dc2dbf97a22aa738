#pragma once

#include <QObject>
#include <QString>

#include <string>

class QLocalServer;

namespace ondel {

// How a second start of the window program on a data folder reaches the first: a local socket
// (QLocalServer), named after the user and the folder, that only the user can connect to. The
// running program listens; the second one sends its server text and whether it was asked for
// the browser, waits for the answer and ends. GUI thread.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    // dataDirectory: the folder as the program uses it (absolute).
    explicit InstanceChannel(const std::string& dataDirectory, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Starts listening (a socket left by a killed run is removed first: the caller holds the
    // folder's lock). False when the socket cannot be made.
    bool listen();

    // The second program's side: hands the request to the running one, trying for up to
    // timeoutMs (the first may still be starting). True once the running program took it.
    bool handOver(const QString& serverText, bool browser, int timeoutMs);

    const QString& name() const { return m_name; }

signals:
    // A second start asked for this server (empty: none) and, when browser is set, the browser.
    void requested(const QString& serverText, bool browser);

private:
    void onConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace ondel
