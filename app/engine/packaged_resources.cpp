#include "packaged_resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

PackagedResources::Lookup PackagedResources::locate(const QString& besideExecutable,
                                                    const QString& buildTree) {
    for (const QString& candidate : {besideExecutable, buildTree}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isDir())
            return {QDir::cleanPath(candidate), {}};
    }
    return {std::nullopt,
            u"could not load resource bundle: from "_s + besideExecutable + u" or "_s + buildTree};
}

QString PackagedResources::bundle() {
    static const QString found = [] {
        // Beside the executable in an install folder; under share/morvane
        // when a package puts the executables in bin.
        const QDir executables(QCoreApplication::applicationDirPath());
        QString beside = executables.filePath(bundleName);
        const QString shared = executables.filePath(u"../share/morvane/"_s + bundleName);
        if (!QFileInfo(beside).isDir() && QFileInfo(shared).isDir())
            beside = shared;
        const Lookup lookup = locate(beside, QStringLiteral(MORVANE_BUILD_BUNDLE_DIR));
        if (!lookup.bundle) {
            std::fprintf(stderr, "%s\n", qPrintable(lookup.failure));
            std::exit(EXIT_FAILURE);
        }
        return *lookup.bundle;
    }();
    return found;
}

QString PackagedResources::converterFolder() {
    return QDir(bundle()).filePath(u"converter"_s);
}

QUrl PackagedResources::enginePage() {
    return QUrl::fromLocalFile(QDir(converterFolder()).filePath(u"host.html"_s));
}
