#include "private_module.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {
// Its address lies inside this library whoever asks.
void anchor() {}
} // namespace

void* PrivateModule::open(const char* fileName, QString* failure) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) == 0 || !info.dli_fname) {
        if (failure)
            *failure = QStringLiteral("its folder is unknown");
        return nullptr;
    }
    const QString folder = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(QString::fromLatin1(fileName)));
    void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && failure)
        *failure = QString::fromLocal8Bit(dlerror());
    return handle;
}
