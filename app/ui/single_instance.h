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

    // Gives `files` to a running instance; false when there is none, in which
    // case this one now listens and is the running instance itself.
    bool handOverOrListen(const QList<QUrl>& files);
    bool isListening() const;

    // Command-line arguments as file URLs, relative paths taken from `folder`.
    static QList<QUrl> filesFromArguments(const QStringList& arguments, const QString& folder);

    // The message on the socket: one encoded URL per line.
    static QByteArray encode(const QList<QUrl>& files);
    static QList<QUrl> decode(const QByteArray& message);

Q_SIGNALS:
    // A later launch started; `files` may be empty.
    void launched(const QList<QUrl>& files);

private:
    bool handOver(const QList<QUrl>& files);
    void accept();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
