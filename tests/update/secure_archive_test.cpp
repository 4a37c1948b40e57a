#include "case_table.h"
#include "secure_archive.h"

#include "qt_printers.h"
#include "release_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 ceiling = qint64(1) << 30;

// Every path below `folder`, links included, relative to it.
QStringList everything(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(folder).relativeFilePath(it.next()));
    found.sort();
    return found;
}

TEST(SecureArchive, extracts_files_folders_and_links) {
    QTemporaryDir root;
    const QString zip = root.filePath(u"good.zip"_s);
    writeFile(zip, zipOf({{"Morvane.app/", ZipEntry::folder, {}},
                          {"Morvane.app/morvane", ZipEntry::file, "#!/bin/sh\n"},
                          {"Morvane.app/lib/libx.so.1", ZipEntry::file, "library"},
                          {"Morvane.app/lib/libx.so", ZipEntry::link, "libx.so.1"},
                          {"Morvane.app/up", ZipEntry::link, "lib/../lib"}}));
    const QString unpacked = root.filePath(u"work/unpacked"_s);

    ASSERT_TRUE(SecureArchive::extract(zip, unpacked, ceiling));

    EXPECT_EQ(everything(unpacked),
              (QStringList{u"Morvane.app"_s, u"Morvane.app/lib"_s, u"Morvane.app/lib/libx.so"_s,
                           u"Morvane.app/lib/libx.so.1"_s, u"Morvane.app/morvane"_s,
                           u"Morvane.app/up"_s}));
    EXPECT_EQ(readFile(unpacked + u"/Morvane.app/lib/libx.so"_s), "library");
    EXPECT_EQ(QFileInfo(unpacked + u"/Morvane.app/lib/libx.so"_s).symLinkTarget(),
              QFileInfo(unpacked + u"/Morvane.app/lib/libx.so.1"_s).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(unpacked + u"/Morvane.app/morvane"_s).isExecutable());
}

TEST(SecureArchive, refuses_what_is_not_a_whole_zip_archive) {
    QTemporaryDir root;
    const QString zip = root.filePath(u"update.zip"_s);
    const QByteArray whole =
        zipOf({{"Morvane.app/morvane", ZipEntry::file, QByteArray(20000, 'x') + "end"}});
    for (const QByteArray& bytes :
         {QByteArray("<html>Not here</html>"), whole.left(whole.size() / 2)}) {
        writeFile(zip, bytes);
        EXPECT_FALSE(SecureArchive::extract(zip, root.filePath(u"unpacked"_s), ceiling));
    }
    EXPECT_FALSE(SecureArchive::extract(root.filePath(u"missing.zip"_s),
                                        root.filePath(u"unpacked"_s), ceiling));
}

// Each hostile archive aims at a path beside the unpack folder, TARGET where
// an entry names it absolute.
struct HostileCase {
    const char* name;
    QList<ZipEntry> entries;
};

class SecureArchiveHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(SecureArchiveHostile, refuses_and_writes_nothing_outside) {
    QTemporaryDir root;
    const QString work = root.filePath(u"work"_s);
    const QString unpacked = work + u"/unpacked"_s;
    const QString target = root.filePath(u"work/owned"_s);
    const QString zip = root.filePath(u"hostile.zip"_s);
    QList<ZipEntry> entries = GetParam().entries;
    for (ZipEntry& entry : entries) {
        entry.path.replace("TARGET", QFile::encodeName(target));
        entry.content.replace("TARGET", QFile::encodeName(target));
    }
    writeFile(zip, zipOf(entries));

    EXPECT_FALSE(SecureArchive::extract(zip, unpacked, ceiling));

    // Links count too, dangling ones included.
    EXPECT_EQ(everything(root.path()).filter(u"owned"_s), QStringList());
    QStringList beside;
    for (const QString& path : everything(root.path()))
        if (!path.startsWith(u"work/unpacked/"_s))
            beside.append(path);
    EXPECT_EQ(beside, (QStringList{u"hostile.zip"_s, u"work"_s, u"work/unpacked"_s}));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SecureArchiveHostile,
    testing::Values(
        HostileCase{
            "dot_dot_path",
            {{"Morvane.app/ok", ZipEntry::file, "fine"}, {"../owned", ZipEntry::file, "gotcha"}}},
        HostileCase{"dot_dot_inside_a_path",
                    {{"Morvane.app/../../owned", ZipEntry::file, "gotcha"}}},
        HostileCase{"absolute_path", {{"TARGET", ZipEntry::file, "gotcha"}}},
        HostileCase{"link_leading_up_and_out",
                    {{"Morvane.app/owned", ZipEntry::link, "../../owned"}}},
        HostileCase{"link_to_an_absolute_path", {{"owned", ZipEntry::link, "TARGET"}}},
        HostileCase{"links_leading_out_together",
                    {{"x/", ZipEntry::folder, {}},
                     {"x/up", ZipEntry::link, ".."},
                     {"owned", ZipEntry::link, "x/up/.."}}},
        HostileCase{"link_loop", {{"a", ZipEntry::link, "b"}, {"b", ZipEntry::link, "a"}}},
        HostileCase{"file_written_through_a_link_out",
                    {{"escape", ZipEntry::link, ".."}, {"escape/owned", ZipEntry::file, "gotcha"}}},
        HostileCase{"file_written_through_a_link_inside",
                    {{"Morvane.app/", ZipEntry::folder, {}},
                     {"here", ZipEntry::link, "Morvane.app"},
                     {"here/owned", ZipEntry::file, "gotcha"}}}),
    caseName);

} // namespace
