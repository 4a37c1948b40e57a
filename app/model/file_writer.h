#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

// The file-system writes of saving, behind virtuals so tests can make them
// clash or fail on demand.
class FileWriter {
public:
    enum class Outcome { created, exists, failed };

    virtual ~FileWriter() = default;

    // Writes a new file at `path` atomically and never over anything already
    // there, even when another process creates the name meanwhile.
    virtual Outcome createNew(const QString& path, QByteArrayView bytes);
    // Replaces whatever is at `path` (a symlink itself, not its target). The
    // bytes reach the disk at the next flush().
    virtual bool replace(const QString& path, QByteArrayView bytes);
    // Puts everything written into `folder` so far on the disk, at once.
    virtual bool flush(const QString& folder);
    // Makes `path` and any missing parents; an existing folder is fine.
    virtual bool makeFolder(const QString& path);
    // Makes a new folder at `path`; anything already there, a symlink
    // included, is `exists`, so a folder is never shared or written through.
    virtual Outcome createFolder(const QString& path);
    // Takes back a folder made by createFolder while it is still empty.
    virtual void removeEmptyFolder(const QString& path);

    // Whether `name` is one of the temporary files these writes make.
    static bool isTemporaryName(const QString& name);
    // Removes our temporary files last changed before `before` from `folder`
    // and its asset folders: debris of a run that was killed mid-write.
    // Nothing else is touched. Returns how many went.
    static int removeStaleTemporaries(const QString& folder, const QDateTime& before);
};
