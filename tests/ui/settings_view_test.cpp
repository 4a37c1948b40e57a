#include "elided_label.h"
#include "morvane_settings.h"
#include "settings_view.h"
#include "ui_fixture.h"
#include "update_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

class SettingsViewTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        view = std::make_unique<SettingsView>(*model, desktop);
    }

    void useFolder(const QString& folder, bool reveal = true) {
        model->setSettings(MorvaneSettings{folder, reveal});
    }

    ElidedLabel* path() const { return child<ElidedLabel>(*view, u"folderPath"_s); }
    QCheckBox* revealSwitch() const { return child<QCheckBox>(*view, u"revealSwitch"_s); }
    void click(const char* name) const {
        QTest::mouseClick(child<QPushButton>(*view, QString::fromLatin1(name)), Qt::LeftButton);
    }

    std::unique_ptr<SettingsView> view;
};

TEST_F(SettingsViewTest, sections_texts_and_links_to_the_product_and_feedback_pages) {
    expectTexts(*view, u"settings_view"_s);
    click("websiteLink");
    click("feedbackLink");
    EXPECT_EQ(desktop.opened, (QList<QUrl>{QUrl(u"https://updates.example.com/morvane"_s),
                                           QUrl(u"https://"_s + UpdateSettings::feedbackHost() +
                                                u"/?app=morvane"_s)}));
}

TEST_F(SettingsViewTest, the_path_is_shown_without_a_trailing_slash_on_one_line) {
    useFolder(u"/home/someone/Converted/"_s);
    EXPECT_EQ(path()->text(), u"/home/someone/Converted"_s);
    EXPECT_EQ(SettingsView::shownPath(u"/"_s), u"/"_s);
    EXPECT_EQ(SettingsView::shownPath(u"/a//"_s), u"/a"_s);
    // A long one shortened in the middle.
    const QString folder =
        u"/home/someone/"_s + QString(u"deeply/nested/"_s).repeated(12) + u"Converted"_s;
    useFolder(folder);
    showAndWait(*view);
    EXPECT_EQ(view->width(), 460);
    const QString shown = path()->shownText();
    EXPECT_NE(shown, folder);
    EXPECT_TRUE(shown.startsWith(u"/home"_s));
    EXPECT_TRUE(shown.endsWith(u"Converted"_s));
    EXPECT_LT(path()->height(), 2 * path()->fontMetrics().height());
}

TEST_F(SettingsViewTest, choose_shows_the_picked_folder_and_cancel_keeps_the_old_one) {
    const QString before = model->settings().folderPath;
    desktop.nextFolder = std::nullopt;
    click("chooseButton");
    EXPECT_EQ(path()->text(), SettingsView::shownPath(before));

    desktop.nextFolder = root.filePath(u"picked"_s);
    click("chooseButton");
    EXPECT_EQ(path()->text(), root.filePath(u"picked"_s));
}

TEST_F(SettingsViewTest, open_creates_a_missing_folder_with_its_parents_or_asks_anyway) {
    const QString folder = root.filePath(u"not/yet/there"_s);
    useFolder(folder);
    ASSERT_FALSE(QFileInfo::exists(folder));
    click("openButton");
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // A folder that cannot be made is still asked for.
    const QString blocker = root.filePath(u"a-file"_s);
    writeFile(blocker, "not a folder");
    useFolder(blocker + u"/inside"_s);
    click("openButton");
    EXPECT_EQ(readFile(blocker), "not a folder");
    EXPECT_EQ(desktop.opened, (QList<QUrl>{QUrl::fromLocalFile(folder),
                                           QUrl::fromLocalFile(blocker + u"/inside"_s)}));
}

TEST_F(SettingsViewTest,
       the_switch_follows_the_model_writes_the_setting_and_a_new_window_shows_it) {
    useFolder(outFolder(), false);
    EXPECT_FALSE(revealSwitch()->isChecked());
    useFolder(outFolder(), true);
    EXPECT_TRUE(revealSwitch()->isChecked());
    revealSwitch()->click();
    EXPECT_FALSE(model->settings().openAfterConvert);
    EXPECT_FALSE(MorvaneSettings::read(root.filePath(u"settings.json"_s)).openAfterConvert);
    view = std::make_unique<SettingsView>(*model, desktop);
    EXPECT_FALSE(revealSwitch()->isChecked());
}

TEST_F(SettingsViewTest, the_pdf_layout_is_stored_apart_from_the_settings_and_used_next) {
    auto* layout = child<QComboBox>(*view, u"pdfLayout"_s);
    ASSERT_EQ(layout->count(), 2);
    EXPECT_EQ(layout->itemText(0), u"As written"_s);
    EXPECT_EQ(layout->itemText(1), u"Structured"_s);
    EXPECT_EQ(layout->currentIndex(), 0);
    const QByteArray settingsFile = readFile(root.filePath(u"settings.json"_s));

    layout->setCurrentIndex(1);
    EXPECT_EQ(QSettings(u"Ombrix"_s, u"Morvane"_s).value(u"ombrix.morvane.pdfLayout"_s),
              u"structured"_s);
    EXPECT_EQ(readFile(root.filePath(u"settings.json"_s)), settingsFile);
    ModelServices services;
    services.desktop = &desktop;
    services.network = &network;
    services.settingsPath = root.filePath(u"settings.json"_s);
    MorvaneModel next(std::make_unique<FakeConverters>(), std::move(services));
    EXPECT_EQ(child<QComboBox>(SettingsView(next, desktop), u"pdfLayout"_s)->currentIndex(), 1);

    const QString pdf = input(u"manual.pdf"_s);
    fakes->pdf.insert(pdf, PdfText{u"Enough text to keep."_s, {}});
    runBatch({QUrl::fromLocalFile(pdf)});
    EXPECT_EQ(fakes->pdfLayouts, QList<PdfLayoutChoice>{PdfLayoutChoice::structured});
}

} // namespace
