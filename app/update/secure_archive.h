#pragma once

#include <QString>

// Extraction of downloaded ZIP archives that never writes outside its folder.
namespace SecureArchive {

// Extracts the ZIP archive at `archivePath` into `folder`, making the folder
// when missing. False when the archive can't be read, and when any entry
// would land outside `folder`: an absolute path, a ".." component, a symbolic
// link whose target leads out of `folder` or a write through a link. Entries
// other than files, folders and links (devices, pipes, hard links) are refused
// too. Entries before a refused one may already be written, inside `folder`.
bool extract(const QString& archivePath, const QString& folder);

} // namespace SecureArchive
