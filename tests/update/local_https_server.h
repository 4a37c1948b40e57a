#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSslServer>
#include <QString>
#include <QUrl>

// An HTTPS server on 127.0.0.1 that answers GET requests from a table of
// routes. Its certificate is made with openssl once per process, and the
// default TLS configuration (which every network session starts from) is made
// to trust it, so requests to it are verified like any other.
class LocalHttpsServer : public QObject {
public:
    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        QByteArray extraHeaders;    // whole header lines, each ending in "\r\n"
        int delayMs = 0;            // before the answer is sent
        qsizetype cutAfter = -1;    // when set, the connection drops after this many body bytes
        qint64 declaredLength = -1; // Content-Length to claim instead of the body's size
        bool sendLength = true;     // without, the body ends where the connection does
    };

    LocalHttpsServer();

    void setRoute(const QString& path, const Route& route);
    QUrl url(const QString& path) const;
    int requestCount() const { return m_requests; }

private:
    void serve(QSslSocket* socket);

    QSslServer m_server;
    QHash<QByteArray, Route> m_routes;
    int m_requests = 0;
};

// A port on 127.0.0.1 where nothing listens.
quint16 closedPort();
