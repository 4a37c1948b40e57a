#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

// One written document as listed in the window; identified by its path.
struct Recent {
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString path MEMBER path)

public:
    QString name;
    QString path;

    const QString& id() const { return path; }

    static Recent forDocument(const QUrl& document);

    // The stored form: a JSON array of {"name","path"} objects, newest first.
    static std::optional<QList<Recent>> listFromJson(const QByteArray& json);
    static QByteArray listToJson(const QList<Recent>& recents);

    friend bool operator==(const Recent&, const Recent&) = default;
};

Q_DECLARE_METATYPE(Recent)
