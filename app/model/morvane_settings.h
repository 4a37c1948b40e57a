#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QUrl>

#include <optional>

// Where converted documents go and whether they are revealed afterwards.
struct MorvaneSettings {
    Q_GADGET
    Q_PROPERTY(QString folderPath MEMBER folderPath)
    Q_PROPERTY(bool openAfterConvert MEMBER openAfterConvert)

public:
    QString folderPath;
    bool openAfterConvert = true;

    // Documents/Converted and reveal on; worked out once per process.
    static const MorvaneSettings& defaultSettings();
    // settings.json in com.ombrix.morvane under the XDG config home; the folder
    // is created on the way. Empty when the platform reports no such place.
    static QUrl url();

    // Both members are required and must have their types; the folder is
    // given back cleaned.
    static std::optional<MorvaneSettings> fromJson(const QByteArray& json);
    QByteArray toJson() const;

    // A longer settings file is invalid.
    static constexpr qint64 maxFileBytes = 64 * 1024;

    // The stored record, or the defaults when the file is missing or invalid
    // (a folder that is not an absolute path included).
    static MorvaneSettings read(const QString& path);
    // Atomic, so a crash never leaves half a file that resets the user's choice.
    bool write(const QString& path) const;

    friend bool operator==(const MorvaneSettings&, const MorvaneSettings&) = default;
};

Q_DECLARE_METATYPE(MorvaneSettings)
