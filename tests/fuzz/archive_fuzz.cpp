#include "fuzz_input.h"

#include "secure_archive.h"
#include "test_files.h"
#include "zip_writer.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

using FuzzInput::check;
namespace fs = std::filesystem;

namespace {

// A fresh folder for each run, removed after it unless the run failed.
fs::path freshFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-archive-XXXXXX";
    if (!mkdtemp(pattern.data()))
        FuzzInput::fail("no temporary folder");
    return fs::canonical(pattern);
}

// Lines "T NAME\tPAYLOAD": T is f (file, payload its content), d (folder),
// l (symbolic link to payload), h (hard link to payload), p (pipe), c
// (character device); written as a ZIP archive, entries libarchive refuses
// left out.
QByteArray zipFromLines(const QByteArray& text) {
    QList<ZipEntry> entries;
    for (const QByteArray& line : text.split('\n')) {
        if (line.size() < 2)
            continue;
        const qsizetype tab = line.indexOf('\t');
        const QByteArray name = line.mid(2, tab < 0 ? -1 : tab - 2);
        const QByteArray payload = tab < 0 ? QByteArray() : line.mid(tab + 1);
        const ZipEntry::Kind kind = line[0] == 'd'   ? ZipEntry::folder
                                    : line[0] == 'l' ? ZipEntry::link
                                    : line[0] == 'h' ? ZipEntry::hardLink
                                    : line[0] == 'p' ? ZipEntry::pipe
                                    : line[0] == 'c' ? ZipEntry::device
                                                     : ZipEntry::file;
        entries.append({name, kind, payload, kind == ZipEntry::folder ? 0755 : 0644});
    }
    return zipOf(entries, true);
}

std::set<std::string> names(const fs::path& folder) {
    std::set<std::string> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
        found.insert(it->path().filename().native());
    return found;
}

// Everything under `out` is a folder, a file with no other name, or a link;
// after a successful extraction every link also resolves inside `out`.
void checkTree(const fs::path& out, bool extracted) {
    std::error_code error;
    const std::string inside = out.native() + '/';
    for (fs::recursive_directory_iterator it(out, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        struct stat status {};
        check(lstat(it->path().c_str(), &status) == 0, "extract: every entry can be read");
        const bool plain =
            S_ISDIR(status.st_mode) || S_ISREG(status.st_mode) || S_ISLNK(status.st_mode);
        check(plain, "extract: only folders, files and links");
        check(!S_ISREG(status.st_mode) || status.st_nlink == 1,
              "extract: no file with a second name");
        check((status.st_mode & (S_ISUID | S_ISGID)) == 0, "extract: no set-id bits");
        if (extracted && S_ISLNK(status.st_mode)) {
            std::error_code resolveError;
            const fs::path resolved = fs::weakly_canonical(it->path(), resolveError);
            check(!resolveError && (resolved == out || resolved.native().starts_with(inside)),
                  "extract: every link stays inside after success");
        }
    }
}

} // namespace

// Input: a ZIP archive (when it starts with "PK") or lines describing one.
// Each run extracts into a fresh folder beside an empty sentinel folder;
// nothing may appear outside the extraction folder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray zip = input.startsWith("PK") ? input : zipFromLines(input);

    const fs::path base = freshFolder();
    const fs::path run = base / "run";
    fs::create_directory(run);
    const fs::path sentinel = run / "sentinel";
    const fs::path archivePath = run / "archive.zip";
    const fs::path out = run / "out";
    fs::create_directory(sentinel);
    const QString archiveName = QString::fromStdString(archivePath.native());
    if (!writeFile(archiveName, zip))
        FuzzInput::fail("archive not written");

    const bool extracted =
        SecureArchive::extract(archiveName, QString::fromStdString(out.native()), 64 << 20);

    check(fs::is_directory(fs::symlink_status(sentinel)) && names(sentinel).empty(),
          "extract: the sentinel folder stays empty");
    // A refused archive may leave the extraction folder unmade.
    std::set<std::string> expected{"archive.zip", "out", "sentinel"};
    if (!extracted && !fs::exists(out))
        expected.erase("out");
    check(names(run) == expected, "extract: nothing new beside the extraction folder");
    check(names(base) == std::set<std::string>{"run"}, "extract: nothing new above the run folder");
    check(readFile(archiveName) == zip, "extract: the archive is left as it was");
    checkTree(out, extracted);

    std::error_code error;
    fs::remove_all(base, error);
    check(!error, "run folder removed");
    return 0;
}
