#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 for tests: fixed answers by path, one
// request per connection.

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

struct HttpAnswer {
    int status = 200;
    QList<QByteArray> headers; // "Name: value"
    QByteArray body;
    bool silent = false;        // accept the request and never answer
    qsizetype cutAfter = -1;    // when set, the connection drops after this many body bytes
    qint64 declaredLength = -1; // a Content-Length other than the body's own
    int trickleMs = 0;          // when set, the body comes one byte at this interval
};

class LocalHttpServer : public QObject {
public:
    QHash<QByteArray, HttpAnswer> answers; // by path
    QList<QByteArray> requests;            // raw request heads, in arrival order

    LocalHttpServer() {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }

    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QByteArray& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()) + QString::fromLatin1(path));
    }

    // A port on which nothing listens.
    static quint16 closedPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            QObject::connect(socket, &QTcpSocket::readyRead, this,
                             [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket* socket) {
        QByteArray& pending = m_pending[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = pending.left(end);
        requests.append(head);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray("/");
        const HttpAnswer answer = answers.value(path, HttpAnswer{404, {}, "not here", false});
        if (answer.silent)
            return;
        QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
        for (const QByteArray& header : answer.headers)
            response += header + "\r\n";
        const qint64 length =
            answer.declaredLength >= 0 ? answer.declaredLength : answer.body.size();
        response +=
            "Content-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n\r\n";
        if (answer.trickleMs > 0) {
            socket->write(response);
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket,
                             [socket, timer, body = answer.body, sent = qsizetype(0)]() mutable {
                                 if (sent == body.size()) {
                                     timer->stop();
                                     socket->disconnectFromHost();
                                     return;
                                 }
                                 socket->write(body.mid(sent++, 1));
                             });
            timer->start(answer.trickleMs);
            return;
        }
        if (answer.cutAfter >= 0) {
            socket->write(response + answer.body.left(answer.cutAfter));
            socket->flush();
            socket->abort();
            return;
        }
        socket->write(response + answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};
