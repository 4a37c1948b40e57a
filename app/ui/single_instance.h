#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QLocalServer;

// One running application per user: a later launch hands the files it was
// given to the running one over a local socket and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `name` is the socket's path; the default lives in the user's runtime folder.
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();

    // Gives `files` to a running instance, with the desktop's activation
    // token of this launch; false when there is none, in which case this one
    // now listens and is the running instance itself.
    bool handOverOrListen(const QList<QUrl>& files, const QString& activationToken = {});
    bool isListening() const;

    // Command-line arguments as file URLs, relative paths taken from `folder`.
    static QList<QUrl> filesFromArguments(const QStringList& arguments, const QString& folder);

    struct Launch {
        QList<QUrl> files;
        QString activationToken;
    };
    // The message on the socket: one encoded URL per line, and a line for the
    // token when there is one.
    static QByteArray encode(const Launch& launch);
    static Launch decode(const QByteArray& message);

Q_SIGNALS:
    // A later launch started; `files` and `activationToken` may be empty.
    void launched(const QList<QUrl>& files, const QString& activationToken);

private:
    bool handOver(const Launch& launch);
    void accept();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
