#include "file_writer.h"

#include "qt_printers.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class FileWriterTest : public testing::Test {
protected:
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
    QTemporaryDir dir;
    FileWriter writer;
};

TEST_F(FileWriterTest, creates_a_new_file_with_the_usual_permissions_and_no_leftovers) {
    const QString path = dir.filePath(u"doc.md"_s);
    EXPECT_EQ(writer.createNew(path, "hello"), FileWriter::Outcome::created);
    EXPECT_EQ(readFile(path), QByteArray("hello"));
    EXPECT_TRUE(QFileInfo(path).permissions() & QFileDevice::ReadOther);
    EXPECT_EQ(entries(), QStringList{u"doc.md"_s});
}

TEST_F(FileWriterTest, never_replaces_an_existing_file_folder_or_symlink) {
    const QString file = dir.filePath(u"taken.md"_s);
    ASSERT_TRUE(writeFile(file, "theirs"));
    EXPECT_EQ(writer.createNew(file, "ours"), FileWriter::Outcome::exists);
    EXPECT_EQ(readFile(file), QByteArray("theirs"));

    QDir().mkpath(dir.filePath(u"folder.md"_s));
    EXPECT_EQ(writer.createNew(dir.filePath(u"folder.md"_s), "ours"), FileWriter::Outcome::exists);

    ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling.md"_s)));
    EXPECT_EQ(writer.createNew(dir.filePath(u"dangling.md"_s), "ours"),
              FileWriter::Outcome::exists);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"nowhere"_s)));
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(FileWriterTest, reports_failure_in_a_folder_that_cannot_hold_files) {
    ASSERT_TRUE(writeFile(dir.filePath(u"blocker"_s), {}));
    EXPECT_EQ(writer.createNew(dir.filePath(u"blocker/doc.md"_s), "x"),
              FileWriter::Outcome::failed);
    EXPECT_EQ(writer.createNew(dir.filePath(u"missing/doc.md"_s), "x"),
              FileWriter::Outcome::failed);
    EXPECT_FALSE(writer.replace(dir.filePath(u"missing/a.png"_s), "x"));
}

TEST_F(FileWriterTest, replace_overwrites_files_and_replaces_symlinks_themselves) {
    const QString target = dir.filePath(u"a.png"_s);
    EXPECT_TRUE(writer.replace(target, "one"));
    EXPECT_TRUE(writer.replace(target, "two"));
    EXPECT_EQ(readFile(target), QByteArray("two"));

    const QString outside = dir.filePath(u"outside.txt"_s);
    ASSERT_TRUE(writeFile(outside, "untouched"));
    ASSERT_TRUE(QFile::link(outside, dir.filePath(u"link.png"_s)));
    EXPECT_TRUE(writer.replace(dir.filePath(u"link.png"_s), "image"));
    EXPECT_EQ(readFile(outside), QByteArray("untouched"));
    EXPECT_FALSE(QFileInfo(dir.filePath(u"link.png"_s)).isSymLink());
}

TEST_F(FileWriterTest, writes_large_files_whole) {
    const QByteArray big(20 * 1024 * 1024, 'x');
    ASSERT_EQ(writer.createNew(dir.filePath(u"big.md"_s), big), FileWriter::Outcome::created);
    EXPECT_EQ(QFileInfo(dir.filePath(u"big.md"_s)).size(), big.size());
}

} // namespace
