#include "local_https_server.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

struct Identity {
    QSslCertificate certificate;
    QSslKey key;
};

Identity makeIdentity() {
    QTemporaryDir folder;
    const QString keyPath = folder.filePath(u"key.pem"_s);
    const QString certificatePath = folder.filePath(u"cert.pem"_s);
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(u"openssl"_s,
                  {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                   u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                   u"/CN=127.0.0.1"_s, u"-addext"_s, u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                   keyPath, u"-out"_s, certificatePath});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        throw std::runtime_error("openssl failed: " + openssl.readAll().toStdString());
    QFile keyFile(keyPath);
    QFile certificateFile(certificatePath);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly))
        throw std::runtime_error("openssl wrote no key or certificate");
    Identity identity{QSslCertificate(certificateFile.readAll()),
                      QSslKey(keyFile.readAll(), QSsl::Ec)};

    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.addCaCertificate(identity.certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
    return identity;
}

const Identity& identity() {
    static const Identity made = makeIdentity();
    return made;
}

} // namespace

LocalHttpsServer::LocalHttpsServer() {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(identity().certificate);
    configuration.setPrivateKey(identity().key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(configuration);
    if (!m_server.listen(QHostAddress::LocalHost))
        throw std::runtime_error("the test server can't listen");
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (m_server.hasPendingConnections())
            serve(static_cast<QSslSocket*>(m_server.nextPendingConnection()));
    });
}

void LocalHttpsServer::setRoute(const QString& path, const Route& route) {
    m_routes.insert(path.toUtf8(), route);
}

QUrl LocalHttpsServer::url(const QString& path) const {
    return QUrl(u"https://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(path));
}

void LocalHttpsServer::serve(QSslSocket* socket) {
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QIODevice::readyRead, socket, [this, socket, request] {
        if (request->contains("\r\n\r\n"))
            return; // answered already
        *request += socket->readAll();
        if (!request->contains("\r\n\r\n"))
            return;
        ++m_requests;
        const QList<QByteArray> requestLine = request->left(request->indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.size() > 1 ? requestLine[1] : QByteArray();
        const Route route = m_routes.value(path, Route{404, {}, "text/plain", {}, 0});
        const QByteArray answer =
            "HTTP/1.1 " + QByteArray::number(route.status) + " Status\r\n" +
            "Content-Type: " + route.contentType + "\r\n" +
            (route.sendLength
                 ? "Content-Length: " +
                       QByteArray::number(route.declaredLength >= 0 ? route.declaredLength
                                                                    : route.body.size()) +
                       "\r\n"
                 : QByteArray()) +
            route.extraHeaders + "Connection: close\r\n\r\n" +
            (route.cutAfter >= 0 ? route.body.left(route.cutAfter) : route.body);
        const bool cut = route.cutAfter >= 0;
        QTimer::singleShot(route.delayMs, socket, [socket, answer, cut] {
            socket->write(answer);
            if (!cut) {
                socket->disconnectFromHost();
                return;
            }
            // Gone once what was written has left, as a dropped network would be.
            QObject::connect(socket, &QSslSocket::encryptedBytesWritten, socket, [socket] {
                if (socket->encryptedBytesToWrite() == 0)
                    socket->abort();
            });
        });
    });
}

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when the probe goes
}
