#include "case_table.h"
#include "morvane_settings.h"

#include "qt_printers.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class SettingsFile : public testing::Test {
protected:
    QString path() const { return dir.filePath(u"settings.json"_s); }
    void write(const QByteArray& bytes) { ASSERT_TRUE(writeFile(path(), bytes)); }
    QTemporaryDir dir;
};

TEST_F(SettingsFile, defaults_are_documents_converted_with_reveal_on) {
    const MorvaneSettings& defaults = MorvaneSettings::defaultSettings();
    EXPECT_EQ(defaults.folderPath, QDir::homePath() + u"/Documents/Converted"_s);
    EXPECT_TRUE(defaults.openAfterConvert);
}

TEST_F(SettingsFile, location_is_in_the_config_home_and_its_folder_is_made) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           u"/com.ombrix.morvane"_s;
    QDir(folder).removeRecursively();
    EXPECT_EQ(MorvaneSettings::url(), QUrl::fromLocalFile(folder + u"/settings.json"_s));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(SettingsFile, round_trips_in_compact_form) {
    const MorvaneSettings settings{u"/data/out \"quoted\""_s, false};
    ASSERT_TRUE(settings.write(path()));
    EXPECT_EQ(MorvaneSettings::read(path()), settings);
    const QByteArray bytes = readFile(path());
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_TRUE(bytes.contains("\"openAfterConvert\":false"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"settings.json"_s});
}

TEST_F(SettingsFile, member_order_does_not_matter_and_the_folder_is_cleaned) {
    write(R"({"openAfterConvert":false,"folderPath":"//x//y/./"})");
    EXPECT_EQ(MorvaneSettings::read(path()), (MorvaneSettings{u"/x/y"_s, false}));
}

TEST_F(SettingsFile, an_oversized_file_is_invalid_and_not_read_whole) {
    write(R"({"folderPath":"/x","openAfterConvert":false})" +
          QByteArray(MorvaneSettings::maxFileBytes, ' '));
    EXPECT_EQ(MorvaneSettings::read(path()), MorvaneSettings::defaultSettings());
}

struct BadSettings {
    const char* name;
    const char* json;
};

class SettingsFallBack : public SettingsFile, public testing::WithParamInterface<BadSettings> {};

TEST_P(SettingsFallBack, to_both_defaults) {
    write(GetParam().json);
    EXPECT_EQ(MorvaneSettings::read(path()), MorvaneSettings::defaultSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsFallBack,
    testing::Values(BadSettings{"array", R"(["/x",true])"},
                    BadSettings{"only_folder", R"({"folderPath":"/x"})"},
                    BadSettings{"only_flag", R"({"openAfterConvert":false})"},
                    BadSettings{"folder_number", R"({"folderPath":1,"openAfterConvert":false})"},
                    BadSettings{"flag_string", R"({"folderPath":"/x","openAfterConvert":"no"})"},
                    BadSettings{"folder_empty", R"({"folderPath":"","openAfterConvert":true})"},
                    BadSettings{"folder_relative",
                                R"({"folderPath":"out","openAfterConvert":true})"}),
    caseName);

TEST_F(SettingsFile, missing_or_unlocatable_file_gives_defaults_and_no_write) {
    EXPECT_EQ(MorvaneSettings::read(path()), MorvaneSettings::defaultSettings());
    EXPECT_EQ(MorvaneSettings::read(QString()), MorvaneSettings::defaultSettings());
    EXPECT_FALSE(MorvaneSettings{}.write(QString()));
    EXPECT_FALSE(MorvaneSettings{}.write(dir.filePath(u"missing/settings.json"_s)));
}

} // namespace
