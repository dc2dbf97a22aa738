#include "QtHttpPoster.h"
#include "SystemProxyFactory.h"

#include <QByteArray>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace ondel {

QtHttpPoster::QtHttpPoster(MasterHost host, const std::atomic<bool>& cancel, int inactivityMs)
    : m_host(std::move(host)), m_cancel(cancel), m_inactivityMs(inactivityMs) {}

bool QtHttpPoster::post(const std::string& path, const std::vector<std::uint8_t>& body,
                        const BodySink& sink) {
    if (m_cancel.load())
        return false;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QString::fromStdString(m_host.host));
    url.setPort(m_host.port);
    url.setPath(QString::fromStdString(path));
    if (!url.isValid())
        return false;

    QNetworkRequest request(url);
    // The master protocol's POST carries no content type. Qt's post() would add a form type
    // (and warn); a request with the POST verb of its own is sent as it is.
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Ondel/" ONDEL_VERSION_TEXT));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory); // owned by the manager
    QEventLoop loop;
    QNetworkReply* reply =
        manager.sendCustomRequest(request, QByteArrayLiteral("POST"),
                                  QByteArray(reinterpret_cast<const char*>(body.data()),
                                             static_cast<qsizetype>(body.size())));

    bool done = false;
    bool failed = false;
    qint64 received = 0;
    QTimer inactivity;
    inactivity.setSingleShot(true);
    inactivity.setInterval(m_inactivityMs);
    QTimer cancelPoll;
    cancelPoll.setInterval(50);

    // abort: drop the connection; failure: the reply did not end as it should.
    auto finish = [&](bool abort, bool failure) {
        if (done)
            return;
        done = true;
        failed = failure;
        inactivity.stop();
        cancelPoll.stop();
        if (abort)
            reply->abort();
        loop.quit();
    };
    // Hands the body on in pieces of up to 1024 bytes; the sink may block (a message window).
    auto drain = [&] {
        while (!done && reply->bytesAvailable() > 0) {
            QByteArray piece = reply->read(1024);
            if (piece.isEmpty())
                break;
            received += piece.size();
            bool more = sink(reinterpret_cast<const std::uint8_t*>(piece.constData()),
                             static_cast<std::size_t>(piece.size()));
            if (!more || m_cancel.load() || received >= kMaxReplyBytes) {
                finish(true, more);
                return;
            }
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        inactivity.stop();
        drain();
        if (!done)
            inactivity.start();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        drain();
        finish(false, false);
    });
    QObject::connect(&inactivity, &QTimer::timeout, &loop, [&] { finish(true, true); });
    QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
        if (m_cancel.load())
            finish(true, true);
    });
    inactivity.start();
    cancelPoll.start();
    if (!reply->isFinished())
        loop.exec();
    else {
        drain();
        finish(false, false);
    }

    // An HTTP error status is no failure here: its body is read as records like any other.
    bool ok = !failed && (reply->error() == QNetworkReply::OperationCanceledError ||
                          reply->error() == QNetworkReply::NoError ||
                          reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    delete reply;
    return ok;
}

} // namespace ondel
