#pragma once

#include <QNetworkProxyFactory>

namespace ondel {

// The system's proxy settings, given to one network access manager at a time (set
// application-wide they would also reach the query socket).
class SystemProxyFactory : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return systemProxyForQuery(query);
    }
};

} // namespace ondel
