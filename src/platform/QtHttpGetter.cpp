#include "QtHttpGetter.h"
#include "SystemProxyFactory.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace ondel {

QtHttpGetter::QtHttpGetter(const std::atomic<bool>& cancel, int inactivityMs)
    : m_cancel(cancel), m_inactivityMs(inactivityMs) {}

HttpGetResult QtHttpGetter::get(const std::string& url, std::size_t maxBodyBytes) {
    HttpGetResult result;
    QUrl qurl(QString::fromStdString(url), QUrl::StrictMode);
    if (!qurl.isValid()) {
        result.error = "the address is not a valid URL";
        return result;
    }
    QNetworkRequest request(qurl);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Ondel/" ONDEL_VERSION_TEXT));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory); // owned by the manager
    QEventLoop loop;
    QNetworkReply* reply = manager.get(request);
    QTimer inactivity;
    inactivity.setSingleShot(true);
    inactivity.setInterval(m_inactivityMs);
    QTimer cancelPoll;
    cancelPoll.setInterval(50);
    bool stopped = false;
    auto stop = [&](const char* why) {
        if (stopped)
            return;
        stopped = true;
        result.error = why;
        reply->abort();
    };
    // Keeps what arrived, up to the cap; past it the transfer is dropped.
    auto take = [&] {
        QByteArray piece = reply->readAll();
        if (result.body.size() + static_cast<std::size_t>(piece.size()) > maxBodyBytes) {
            result.body.append(piece.constData(), maxBodyBytes - result.body.size());
            result.tooLarge = true;
            stopped = true;
            reply->abort();
            return;
        }
        result.body.append(piece.constData(), static_cast<std::size_t>(piece.size()));
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        inactivity.start();
        if (!stopped)
            take();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&inactivity, &QTimer::timeout, &loop,
                     [&] { stop("no answer within the time allowed"); });
    QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
        if (m_cancel.load())
            stop("cancelled");
    });
    inactivity.start();
    cancelPoll.start();
    if (!reply->isFinished())
        loop.exec();
    if (!stopped)
        take();

    QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (result.tooLarge || !stopped)) {
        result.answered = true;
        result.status = status.toInt();
    } else if (result.error.empty()) {
        // Qt's texts name the URL: keep only the part before it.
        QString why = reply->errorString();
        why.replace(qurl.toString(), QStringLiteral("the address"));
        why.replace(QString::fromStdString(url), QStringLiteral("the address"));
        result.error = why.toStdString();
        result.body.clear();
    }
    QObject::disconnect(reply, nullptr, &loop, nullptr);
    delete reply;
    return result;
}

} // namespace ondel
