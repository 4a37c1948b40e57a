#include "single_instance.h"

#include "input_location.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int waitMilliseconds = 3000;
// A line that no file URL can be; instances that predate it skip it.
const QByteArray tokenPrefix = "activation-token:";
// Far more than any list of paths; a larger message is not ours.
constexpr qsizetype maxMessageBytes = 4 * 1024 * 1024;

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent)
    , m_name(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + u"/com.ombrix.morvane.instance"_s;
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

bool SingleInstance::handOverOrListen(const QList<QUrl>& files, const QString& activationToken) {
    // Two launches at once must not both decide to be the running instance.
    QLockFile lock(m_name + u".lock"_s);
    lock.setStaleLockTime(0);
    lock.tryLock(waitMilliseconds);
    if (handOver({files, activationToken}))
        return true;
    // Nobody answered: a socket left by a crashed instance is taken over.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    m_server->listen(m_name);
    return false;
}

bool SingleInstance::handOver(const Launch& launch) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(waitMilliseconds))
        return false;
    socket.write(encode(launch));
    if (!socket.waitForBytesWritten(waitMilliseconds) && socket.bytesToWrite() > 0)
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(waitMilliseconds);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        auto message = std::make_shared<QByteArray>();
        const auto finish = [this, socket, message] {
            message->append(socket->readAll());
            const bool complete = message->size() <= maxMessageBytes;
            socket->disconnect(this);
            socket->deleteLater();
            if (!complete)
                return;
            const Launch launch = decode(*message);
            Q_EMIT launched(launch.files, launch.activationToken);
        };
        connect(socket, &QLocalSocket::readyRead, this, [socket, message] {
            message->append(socket->readAll());
            if (message->size() > maxMessageBytes)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, finish);
        // The sender may be gone already, its message waiting in the buffer.
        if (socket->state() == QLocalSocket::UnconnectedState)
            finish();
    }
}

QList<QUrl> SingleInstance::filesFromArguments(const QStringList& arguments,
                                               const QString& folder) {
    QList<QUrl> files;
    for (const QString& argument : arguments) {
        if (std::optional<QUrl> file = InputLocation::localFile(argument, folder))
            files.append(*file);
    }
    return files;
}

QByteArray SingleInstance::encode(const Launch& launch) {
    QByteArray message;
    for (const QUrl& file : launch.files)
        message += file.toEncoded() + '\n';
    if (!launch.activationToken.isEmpty())
        message += tokenPrefix + QUrl::toPercentEncoding(launch.activationToken) + '\n';
    return message;
}

SingleInstance::Launch SingleInstance::decode(const QByteArray& message) {
    Launch launch;
    for (const QByteArray& line : message.split('\n')) {
        if (line.startsWith(tokenPrefix)) {
            launch.activationToken =
                QUrl::fromPercentEncoding(line.mid(tokenPrefix.size())).trimmed();
            continue;
        }
        const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
        if (!line.isEmpty() && url.isValid() && url.isLocalFile() && url.host().isEmpty())
            launch.files.append(url);
    }
    return launch;
}
