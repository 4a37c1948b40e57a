#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Finds the resource bundle "Morvane_Morvane.bundle": beside the executable
// (installed and build tree alike) or, in a package's bin/ layout, in
// ../share/morvane, else the build tree's copy whose location is compiled in.
class PackagedResources {
public:
    static inline const QString bundleName = QStringLiteral("Morvane_Morvane.bundle");

    struct Lookup {
        std::optional<QString> bundle; // the folder found
        QString failure;               // when none: what to stop with
    };

    // The lookup rule: the first of the two candidate bundle folders that
    // exists, else the message "could not load resource bundle: from … or …".
    static Lookup locate(const QString& besideExecutable, const QString& buildTree);

    // The bundle folder, looked up once per process. Stops the process with
    // the lookup's message when neither location holds the bundle.
    static QString bundle();

    // The engine folder "converter" of the bundle, and its page "host.html".
    static QString converterFolder();
    static QUrl enginePage();
};
