#pragma once

// ZIP archives made entry by entry with libarchive, for the tests and fuzz
// targets that need archives no packer would make: entries leading out,
// links, devices, bombs.

#include <QByteArray>
#include <QList>

#include <archive.h>
#include <archive_entry.h>

#include <sys/stat.h>

struct ZipEntry {
    enum Kind { file, folder, link, hardLink, pipe, device };
    QByteArray path;
    Kind kind = file;
    QByteArray content; // a file's bytes, a link's target
    int permissions = 0755;
};

// The archive's bytes. An entry libarchive refuses is left out when
// `skipRefused`, and otherwise makes the whole result empty.
inline QByteArray zipOf(const QList<ZipEntry>& entries, bool skipRefused = false) {
    qsizetype capacity = 65536;
    for (const ZipEntry& entry : entries)
        capacity += 2 * entry.path.size() + entry.content.size() + 512;
    QByteArray zip(capacity, Qt::Uninitialized);
    size_t used = 0;
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    bool whole =
        archive_write_open_memory(writer, zip.data(), size_t(capacity), &used) == ARCHIVE_OK;
    for (const ZipEntry& zipEntry : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, zipEntry.path.constData());
        archive_entry_set_perm(entry, mode_t(zipEntry.permissions));
        archive_entry_set_size(entry, 0);
        static constexpr mode_t types[] = {AE_IFREG, AE_IFDIR, AE_IFLNK,
                                           AE_IFREG, AE_IFIFO, AE_IFCHR};
        archive_entry_set_filetype(entry, types[zipEntry.kind]);
        if (zipEntry.kind == ZipEntry::file)
            archive_entry_set_size(entry, zipEntry.content.size());
        else if (zipEntry.kind == ZipEntry::link)
            archive_entry_copy_symlink(entry, zipEntry.content.constData());
        else if (zipEntry.kind == ZipEntry::hardLink)
            archive_entry_copy_hardlink(entry, zipEntry.content.constData());
        if (archive_write_header(writer, entry) < ARCHIVE_WARN)
            whole = whole && skipRefused;
        else if (zipEntry.kind == ZipEntry::file)
            archive_write_data(writer, zipEntry.content.constData(),
                               size_t(zipEntry.content.size()));
        archive_entry_free(entry);
    }
    whole = archive_write_close(writer) == ARCHIVE_OK && whole;
    archive_write_free(writer);
    zip.truncate(qsizetype(used));
    return whole ? zip : QByteArray();
}
