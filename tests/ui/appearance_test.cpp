#include "content_view.h"
#include "elided_label.h"
#include "morvane_app.h"
#include "ui_fixture.h"

#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPalette>
#include <QStyle>

// Texts drawn in the secondary colour are set from the palette by hand, so a
// theme switched while the app runs must reach them too.

namespace {

// Qt derives the other colours, light text among them, from a dark window.
QPalette darkPalette() {
    return QPalette(QColor(0x2b, 0x2b, 0x2e), QColor(0x2b, 0x2b, 0x2e));
}

// Contrast as the difference of lightness, enough to tell dark on light from
// light on dark.
int lightness(const QColor& colour) {
    return colour.toHsl().lightness();
}

// The text colour as drawn: a translucent colour lands on the window.
int drawnLightness(const QWidget& widget) {
    const QColor text = widget.palette().color(QPalette::WindowText);
    const QColor under = widget.palette().color(QPalette::Window);
    const double alpha = text.alphaF();
    return int(lightness(text) * alpha + lightness(under) * (1 - alpha));
}

class AppearanceTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        light = QApplication::palette();
        const QString pdf = input(u"Quarterly report with a long name.pdf"_s);
        fakes->pdf.insert(pdf, PdfText{u"# Quarterly\n\nFigures.\n"_s, u"1p"_s});
        runBatch({QUrl::fromLocalFile(pdf)});
        app = std::make_unique<MorvaneApp>(*model, desktop);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->mainWindow()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !model->recents().isEmpty(); }, 2000));
    }

    void TearDown() override {
        QApplication::setPalette(light);
        app.reset();
        UiTest::TearDown();
    }

    // Saved when asked, to look at the windows as drawn.
    void keepPicture(QWidget* window, const QString& name) {
        const QString folder = qEnvironmentVariable("MORVANE_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QCoreApplication::processEvents();
        // Beside each other when the command runs at several scales.
        const qreal ratio = window->devicePixelRatioF();
        const QString suffix = ratio == 1 ? QString() : u"@%1x"_s.arg(ratio);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(window->grab().save(folder + u'/' + name + suffix + u".png"_s));
    }

    // Every hand-coloured text reads against the window behind it.
    void expectReadable() {
        QWidget& content = *app->contentView();
        const int window = lightness(content.palette().color(QPalette::Window));
        // The status and the recents heading among them.
        ASSERT_TRUE(child<ElidedLabel>(content, u"status"_s)->isVisible());
        ASSERT_TRUE(child<QLabel>(content, u"recentHeading"_s)->isVisible());
        for (const QLabel* label : content.findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue;
            EXPECT_GT(std::abs(drawnLightness(*label) - window), 60) << label->text().toStdString();
        }
        const ElidedLabel* status = child<ElidedLabel>(content, u"status"_s);
        EXPECT_GT(std::abs(drawnLightness(*status) - window), 60);
    }

    QPalette light;
    std::unique_ptr<MorvaneApp> app;
};

TEST_F(AppearanceTest, texts_follow_a_switch_to_a_dark_palette_and_back) {
    expectReadable();
    keepPicture(app->mainWindow(), u"main-light"_s);
    app->showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->settingsWindow()));
    keepPicture(app->settingsWindow(), u"settings-light"_s);

    QApplication::setPalette(darkPalette());
    QCoreApplication::processEvents();
    expectReadable();
    const int window = lightness(app->contentView()->palette().color(QPalette::Window));
    EXPECT_LT(window, 80);
    keepPicture(app->mainWindow(), u"main-dark"_s);
    keepPicture(app->settingsWindow(), u"settings-dark"_s);

    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    expectReadable();
}

} // namespace
