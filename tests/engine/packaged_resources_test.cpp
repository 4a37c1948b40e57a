#include "case_table.h"
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

struct Present {
    const char* name;
    bool beside, build, expectBeside;
};

class PackagedResourcesLookup : public testing::TestWithParam<Present> {};

TEST_P(PackagedResourcesLookup, takes_the_first_location_that_holds_the_bundle) {
    Locations at;
    if (GetParam().beside)
        QDir().mkpath(at.beside);
    if (GetParam().build)
        QDir().mkpath(at.build);
    const auto lookup = PackagedResources::locate(at.beside, at.build);
    ASSERT_TRUE(lookup.bundle);
    EXPECT_EQ(*lookup.bundle, GetParam().expectBeside ? at.beside : at.build);
}

INSTANTIATE_TEST_SUITE_P(Locations, PackagedResourcesLookup,
                         testing::Values(Present{"both", true, true, true},
                                         Present{"beside_only", true, false, true},
                                         Present{"build_tree_only", false, true, false}),
                         caseName);

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
