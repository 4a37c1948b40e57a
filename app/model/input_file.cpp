#include "input_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace InputFile {

Contents open(const QString& path, qint64 ceiling, bool read) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {Problem::unreadable, {}};
    struct stat info {};
    Contents contents;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        contents.problem = Problem::unreadable;
    else if (info.st_size > ceiling)
        contents.problem = Problem::tooLarge;
    else if (read) {
        // The size may change while we read; never take more than the ceiling.
        QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
        qsizetype filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (bytes.size() >= ceiling + 1)
                    break;
                bytes.resize(std::min<qsizetype>(ceiling + 1, bytes.size() + 64 * 1024));
            }
            const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                contents.problem = Problem::unreadable;
                break;
            }
            if (got == 0)
                break;
            filled += got;
        }
        bytes.truncate(filled);
        if (contents.problem == Problem::none && filled > ceiling)
            contents.problem = Problem::tooLarge;
        if (contents.problem == Problem::none)
            contents.bytes = std::move(bytes);
    }
    ::close(fd);
    return contents;
}

} // namespace InputFile
