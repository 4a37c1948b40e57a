#include "secure_archive.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct ReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

bool isSafeRelativePath(std::string_view path) {
    if (path.empty() || path.front() == '/')
        return false;
    for (std::string_view part : components(path))
        if (part == "..")
            return false;
    return !components(path).empty();
}

// Resolves `target` against the folder of the link `linkPath` without touching
// the disk; true when every step stays inside the extraction folder.
bool linkStaysInside(std::string_view linkPath, std::string_view target) {
    if (target.empty() || target.front() == '/')
        return false;
    std::vector<std::string_view> position = components(linkPath);
    position.pop_back(); // the link's own name
    for (std::string_view part : components(target)) {
        if (part != "..") {
            position.push_back(part);
        } else if (position.empty()) {
            return false;
        } else {
            position.pop_back();
        }
    }
    return true;
}

// Links that each stay inside can still lead out together (x/up -> .. and
// out -> x/up/..), so once everything is written every link is followed on
// disk as well. A loop or an unreadable link counts as leading out; the
// first link found leading out is removed.
bool linksStayInside(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string inside = root.native() + '/';
    fs::recursive_directory_iterator entry(root, error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (!entry->is_symlink(error))
            continue;
        const fs::path target = fs::read_symlink(entry->path(), error);
        if (error)
            return false;
        const fs::path resolved = fs::weakly_canonical(entry->path().parent_path() / target, error);
        if (error || (resolved != root && !resolved.native().starts_with(inside))) {
            fs::remove(entry->path(), error);
            return false;
        }
    }
    return !error;
}

bool copyData(archive* reader, archive* writer, la_int64_t declared) {
    la_int64_t written = 0;
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return true;
        if (status != ARCHIVE_OK)
            return false;
        written = std::max(written, offset + static_cast<la_int64_t>(size));
        if (written > declared)
            return false;
        if (archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK)
            return false;
    }
}

using Reader = std::unique_ptr<archive, ReaderDeleter>;

Reader openZip(const QString& archivePath) {
    Reader reader(archive_read_new());
    if (!reader)
        return nullptr;
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(),
                                   64 * 1024) != ARCHIVE_OK)
        return nullptr;
    return reader;
}

// Reads only the headers: a few hundred bytes can declare gigabytes, and
// nothing is written for an archive that would fill the disk.
bool withinLimits(const QString& archivePath, qint64 maxBytes, qint64 maxEntries) {
    const Reader reader = openZip(archivePath);
    if (!reader)
        return false;
    qint64 total = 0;
    qint64 entries = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return true;
        if ((status != ARCHIVE_OK && status != ARCHIVE_WARN) || ++entries > maxEntries)
            return false;
        if (archive_entry_filetype(entry) != AE_IFREG)
            continue;
        if (!archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0)
            return false;
        total += archive_entry_size(entry);
        if (total > maxBytes)
            return false;
    }
}

} // namespace

namespace SecureArchive {

bool extract(const QString& archivePath, const QString& folder, qint64 maxBytes,
             qint64 maxEntries) {
    if (!withinLimits(archivePath, maxBytes, maxEntries))
        return false;
    if (!QDir().mkpath(folder))
        return false;
    const std::string root = QFile::encodeName(QDir(folder).canonicalPath()).toStdString();
    if (root.empty())
        return false;

    const Reader reader = openZip(archivePath);
    const std::unique_ptr<archive, WriterDeleter> writer(archive_write_disk_new());
    if (!reader || !writer)
        return false;
    // Entry paths are checked below and then prefixed with the (absolute) root,
    // so the absolute-path refusal is ours; libarchive refuses ".." and any
    // write through a symbolic link already on disk.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT);

    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return false;

        const char* name = archive_entry_pathname(entry);
        if (!name || !isSafeRelativePath(name) || archive_entry_hardlink(entry))
            return false;
        const mode_t type = archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            if (!target || !linkStaysInside(name, target))
                return false;
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            return false;
        }

        const std::string destination = root + '/' + name;
        archive_entry_copy_pathname(entry, destination.c_str());
        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN)
            return false;
        if (type == AE_IFREG && !copyData(reader.get(), writer.get(), archive_entry_size(entry)))
            return false;
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return false;
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK && linksStayInside(root);
}

} // namespace SecureArchive
