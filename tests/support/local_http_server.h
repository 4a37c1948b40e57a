#pragma once

// An HTTP/1.1 server on 127.0.0.1 for tests: fixed answers by path, one
// request per connection, plain or over TLS. The TLS certificate is made with
// openssl once per process, and the default TLS configuration (which every
// network session starts from) is made to trust it, so requests to it are
// verified like any other.

#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <stdexcept>

struct HttpAnswer {
    int status = 200;
    QList<QByteArray> headers; // "Name: value"
    QByteArray body;
    bool silent = false;        // accept the request and never answer
    qsizetype cutAfter = -1;    // when set, the connection drops after this many body bytes
    qint64 declaredLength = -1; // a Content-Length other than the body's own
    int trickleMs = 0;          // when set, the body comes one byte at this interval
    int delayMs = 0;            // before the answer is sent
    bool sendLength = true;     // without, the body ends where the connection does
};

class LocalHttpServer : public QObject {
public:
    enum class Scheme { http, https };

    QHash<QByteArray, HttpAnswer> answers; // by path
    QList<QByteArray> requests;            // raw request heads, in arrival order

    explicit LocalHttpServer(Scheme scheme = Scheme::http)
        : m_scheme(scheme) {
        if (scheme == Scheme::https) {
            auto* server = new QSslServer(this);
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setLocalCertificate(identity().certificate);
            configuration.setPrivateKey(identity().key);
            configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
            server->setSslConfiguration(configuration);
            m_server = server;
        } else {
            m_server = new QTcpServer(this);
        }
        if (!m_server->listen(QHostAddress::LocalHost))
            throw std::runtime_error("the test server can't listen");
        QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection())
                serve(socket);
        });
    }

    quint16 port() const { return m_server->serverPort(); }
    QUrl url(const QByteArray& path) const {
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2")
                .arg(m_scheme == Scheme::https ? QStringLiteral("https") : QStringLiteral("http"))
                .arg(port()) +
            QString::fromLatin1(path));
    }

    // A port on which nothing listens.
    static quint16 closedPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort(); // closed again when the probe goes
    }

private:
    struct Identity {
        QSslCertificate certificate;
        QSslKey key;
    };

    static Identity makeIdentity() {
        QTemporaryDir folder;
        const QString keyPath = folder.filePath(QStringLiteral("key.pem"));
        const QString certificatePath = folder.filePath(QStringLiteral("cert.pem"));
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                                     "-nodes -days 2 -subj /CN=127.0.0.1 -addext "
                                     "subjectAltName=IP:127.0.0.1 -keyout %1 -out %2")
                          .arg(keyPath, certificatePath)
                          .split(u' '));
        QFile keyFile(keyPath);
        QFile certificateFile(certificatePath);
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0 ||
            !keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly))
            throw std::runtime_error("openssl failed: " + openssl.readAll().toStdString());
        Identity identity{QSslCertificate(certificateFile.readAll()),
                          QSslKey(keyFile.readAll(), QSsl::Ec)};
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.addCaCertificate(identity.certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
        return identity;
    }

    static const Identity& identity() {
        static const Identity made = makeIdentity();
        return made;
    }

    void serve(QTcpSocket* socket) {
        socket->setParent(this);
        auto pending = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending] {
            if (pending->contains("\r\n\r\n"))
                return; // answered already
            *pending += socket->readAll();
            const qsizetype end = pending->indexOf("\r\n\r\n");
            if (end >= 0)
                answer(socket, pending->left(end));
        });
    }

    void answer(QTcpSocket* socket, const QByteArray& head) {
        requests.append(head);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray("/");
        const HttpAnswer answer = answers.value(path, HttpAnswer{404, {}, "not here"});
        if (answer.silent)
            return;
        QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
        for (const QByteArray& header : answer.headers)
            response += header + "\r\n";
        const qint64 length =
            answer.declaredLength >= 0 ? answer.declaredLength : answer.body.size();
        if (answer.sendLength)
            response += "Content-Length: " + QByteArray::number(length) + "\r\n";
        response += "Connection: close\r\n\r\n";
        QTimer::singleShot(answer.delayMs, socket,
                           [this, socket, answer, response] { send(socket, answer, response); });
    }

    void send(QTcpSocket* socket, const HttpAnswer& answer, const QByteArray& response) {
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
        if (answer.cutAfter < 0) {
            socket->write(response + answer.body);
            socket->disconnectFromHost();
            return;
        }
        socket->write(response + answer.body.left(answer.cutAfter));
        // Gone once what was written has left, as a dropped network would be.
        if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
            QObject::connect(secure, &QSslSocket::encryptedBytesWritten, secure, [secure] {
                if (secure->encryptedBytesToWrite() == 0)
                    secure->abort();
            });
            return;
        }
        socket->flush();
        socket->abort();
    }

    Scheme m_scheme;
    QTcpServer* m_server = nullptr;
};
