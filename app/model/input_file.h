#pragma once

#include <QByteArray>
#include <QString>

// Reading an input the user handed over. Only regular files are read: a FIFO
// would block the reader and a device such as /dev/zero never ends, so the
// file is opened without blocking and checked before a byte is read.
namespace InputFile {

enum class Problem { none, unreadable, tooLarge };

struct Contents {
    Problem problem = Problem::none;
    // Empty unless asked for and readable.
    QByteArray bytes;
};

// Whether `path` is a readable regular file of at most `ceiling` bytes, and
// its bytes when `read` is set. Blocks on slow disks: never call it on the
// main thread.
Contents open(const QString& path, qint64 ceiling, bool read);

} // namespace InputFile
