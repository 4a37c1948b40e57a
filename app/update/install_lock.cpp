#include "install_lock.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace InstallLock {

bool holdShared(const QString& folder) {
    // Close-on-exec: a child that kept the lock (the swap script itself among
    // them) would make the swap wait for it forever.
    const int descriptor =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return true;
    if (::flock(descriptor, LOCK_SH | LOCK_NB) == 0)
        return true; // held, and deliberately never closed
    const bool swapping = errno == EWOULDBLOCK;
    ::close(descriptor);
    return !swapping;
}

bool holdInstall() {
#ifdef MORVANE_SELF_UPDATE
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return true;
    if (holdShared(QFile::decodeName(QByteArray::fromStdString(executable.parent_path().native()))))
        return true;
    std::fputs("Morvane is being updated. Start it again in a moment.\n", stderr);
    return false;
#else
    return true;
#endif
}

} // namespace InstallLock
