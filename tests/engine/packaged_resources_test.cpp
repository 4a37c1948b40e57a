#include "packaged_resources.h"

#include "qt_printers.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Locations {
    QTemporaryDir root;
    QString beside = root.filePath(u"bin/Morvane_Morvane.bundle"_s);
    QString build = root.filePath(u"build/Morvane_Morvane.bundle"_s);
};

} // namespace

TEST(PackagedResources, prefers_the_bundle_beside_the_executable) {
    Locations at;
    QDir().mkpath(at.beside);
    QDir().mkpath(at.build);
    const auto lookup = PackagedResources::locate(at.beside, at.build);
    ASSERT_TRUE(lookup.bundle);
    EXPECT_EQ(*lookup.bundle, at.beside);
}

TEST(PackagedResources, falls_back_to_the_build_tree) {
    Locations at;
    QDir().mkpath(at.build);
    const auto lookup = PackagedResources::locate(at.beside, at.build);
    ASSERT_TRUE(lookup.bundle);
    EXPECT_EQ(*lookup.bundle, at.build);
}

TEST(PackagedResources, names_both_locations_when_neither_holds_the_bundle) {
    Locations at;
    const auto lookup = PackagedResources::locate(at.beside, at.build);
    EXPECT_FALSE(lookup.bundle);
    EXPECT_EQ(lookup.failure,
              u"could not load resource bundle: from "_s + at.beside + u" or "_s + at.build);
}

TEST(PackagedResources, finds_the_engine_page_of_the_build) {
    // The test executables sit beside the bundle the build made.
    const QUrl page = PackagedResources::enginePage();
    EXPECT_TRUE(page.isLocalFile());
    EXPECT_TRUE(page.path().endsWith(u"/Morvane_Morvane.bundle/converter/host.html"_s))
        << page.toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(page.toLocalFile())) << page.toString().toStdString();
}
