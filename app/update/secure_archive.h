#pragma once

#include <QString>
#include <QtGlobal>

// Extraction of downloaded ZIP archives that never writes outside its folder.
namespace SecureArchive {

// Extracts the ZIP archive at `archivePath` into `folder`, making the folder
// when missing. False when the archive can't be read, and when any entry
// would land outside `folder`: an absolute path, a ".." component, a symbolic
// link whose target leads out of `folder` or a write through a link. Entries
// other than files, folders and links (devices, pipes, hard links) are refused
// too. Entries before a refused one may already be written, inside `folder`.
// Before anything is written, the sizes the archive declares must add up to
// no more than `maxBytes` and its entries number no more than `maxEntries`; an
// entry that unpacks to more than it declared is refused as it is written.
bool extract(const QString& archivePath, const QString& folder, qint64 maxBytes,
             qint64 maxEntries = 100000);

} // namespace SecureArchive
