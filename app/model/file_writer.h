#pragma once

#include <QByteArrayView>
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
    // Replaces whatever is at `path` (a symlink itself, not its target).
    virtual bool replace(const QString& path, QByteArrayView bytes);
    virtual bool makeFolder(const QString& path);
};
