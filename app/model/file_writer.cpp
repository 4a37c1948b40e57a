#include "file_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Short and fixed, so it fits beside a name of any length and a later run can
// tell its own debris from the user's files.
constexpr char temporaryPrefix[] = ".morvane-";
constexpr char temporarySuffix[] = ".tmp";
constexpr int temporaryRandom = 6;

bool writeAll(int fd, QByteArrayView bytes, bool durable) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return !durable || ::fsync(fd) == 0;
}

// A hidden temporary file beside `path`, holding `bytes`, synced when
// `durable`; empty on failure.
QByteArray writeTemporary(const QString& path, QByteArrayView bytes, bool durable) {
    QByteArray pattern = QFile::encodeName(QFileInfo(path).absolutePath()) + '/' + temporaryPrefix +
                         QByteArray(temporaryRandom, 'X') + temporarySuffix;
    const int fd =
        ::mkostemps(pattern.data(), static_cast<int>(qstrlen(temporarySuffix)), O_CLOEXEC);
    if (fd < 0)
        return {};
    // mkostemp makes 0600; documents get the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && writeAll(fd, bytes, durable);
    if (::close(fd) != 0 || !ok) {
        ::unlink(pattern.constData());
        return {};
    }
    return pattern;
}

FileWriter::Outcome createExclusively(const QByteArray& target, QByteArrayView bytes) {
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? FileWriter::Outcome::exists : FileWriter::Outcome::failed;
    const bool ok = writeAll(fd, bytes, true);
    if (::close(fd) != 0 || !ok) {
        ::unlink(target.constData());
        return FileWriter::Outcome::failed;
    }
    return FileWriter::Outcome::created;
}

} // namespace

FileWriter::Outcome FileWriter::createNew(const QString& path, QByteArrayView bytes) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = writeTemporary(path, bytes, true);
    if (temporary.isEmpty())
        return Outcome::failed;

    // A hard link never replaces an existing name, so the document appears
    // whole or not at all.
    if (::link(temporary.constData(), target.constData()) == 0) {
        ::unlink(temporary.constData());
        return Outcome::created;
    }
    if (errno == EEXIST) {
        ::unlink(temporary.constData());
        return Outcome::exists;
    }
    // File systems without hard links: rename that refuses to replace.
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                    RENAME_NOREPLACE) == 0)
        return Outcome::created;
    const int renameError = errno;
    ::unlink(temporary.constData());
    if (renameError == EEXIST)
        return Outcome::exists;
    if (renameError != EINVAL && renameError != ENOSYS && renameError != ENOTSUP)
        return Outcome::failed;
    // Last resort: exclusive create; still never over another file.
    return createExclusively(target, bytes);
}

bool FileWriter::replace(const QString& path, QByteArrayView bytes) {
    const QByteArray target = QFile::encodeName(path);
    // Not synced one by one: a flush to disk for each of a report's hundreds
    // of pictures was most of the time its saving took; flush() settles them
    // together.
    const QByteArray temporary = writeTemporary(path, bytes, false);
    if (temporary.isEmpty())
        return false;
    if (::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool FileWriter::flush(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool FileWriter::makeFolder(const QString& path) {
    return QDir().mkpath(path);
}

FileWriter::Outcome FileWriter::createFolder(const QString& path) {
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return Outcome::created;
    return errno == EEXIST ? Outcome::exists : Outcome::failed;
}

void FileWriter::removeEmptyFolder(const QString& path) {
    ::rmdir(QFile::encodeName(path).constData());
}

bool FileWriter::isTemporaryName(const QString& name) {
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(QString::fromLatin1(temporaryPrefix)) +
        u"[A-Za-z0-9]{%1}"_s.arg(temporaryRandom) +
        QRegularExpression::escape(QString::fromLatin1(temporarySuffix))));
    return pattern.match(name).hasMatch();
}

int FileWriter::removeStaleTemporaries(const QString& folder, const QDateTime& before) {
    int removed = 0;
    auto sweep = [&](const QString& path) {
        const QFileInfoList entries =
            QDir(path).entryInfoList({QString::fromLatin1(temporaryPrefix) + u'*'},
                                     QDir::Files | QDir::Hidden | QDir::System);
        for (const QFileInfo& entry : entries) {
            // Only plain files of ours: never a symlink, never a fresh one that
            // another run is still writing.
            if (entry.isSymLink() || !isTemporaryName(entry.fileName()) ||
                entry.lastModified() >= before)
                continue;
            if (::unlink(QFile::encodeName(entry.filePath()).constData()) == 0)
                ++removed;
        }
    };
    sweep(folder);
    const QFileInfoList assetFolders = QDir(folder).entryInfoList(
        {u"*-assets"_s}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& assetFolder : assetFolders) {
        if (!assetFolder.isSymLink())
            sweep(assetFolder.filePath());
    }
    return removed;
}
