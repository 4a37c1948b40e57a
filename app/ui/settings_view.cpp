#include "settings_view.h"

#include "desktop.h"
#include "elided_label.h"
#include "link_button.h"
#include "look.h"
#include "morvane_model.h"
#include "update_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SettingsView::SettingsView(MorvaneModel& model, Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop) {
    setObjectName(u"settingsView"_s);
    setFixedWidth(460);

    auto* files = new QGroupBox(u"Converted files"_s, this);
    files->setObjectName(u"convertedFiles"_s);
    m_path = new ElidedLabel(files);
    m_path->setObjectName(u"folderPath"_s);
    m_path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_choose = new QPushButton(u"Choose…"_s, files);
    m_choose->setObjectName(u"chooseButton"_s);
    m_open = new QPushButton(u"Open"_s, files);
    m_open->setObjectName(u"openButton"_s);
    m_reveal = new QCheckBox(u"Reveal in Finder after converting"_s, files);
    m_reveal->setObjectName(u"revealSwitch"_s);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_choose);
    buttons->addStretch(1);
    buttons->addWidget(m_open);
    auto* filesColumn = new QVBoxLayout(files);
    filesColumn->setSpacing(10);
    filesColumn->addWidget(m_path);
    filesColumn->addLayout(buttons);
    filesColumn->addWidget(m_reveal);

    auto* pdfFiles = new QGroupBox(u"PDF files"_s, this);
    pdfFiles->setObjectName(u"pdfFiles"_s);
    m_pdfLayout = new QComboBox(pdfFiles);
    m_pdfLayout->setObjectName(u"pdfLayout"_s);
    // In the order of PdfLayoutChoice.
    m_pdfLayout->addItems({u"As written"_s, u"Structured"_s});
    auto* pdfForm = new QFormLayout(pdfFiles);
    pdfForm->addRow(u"Layout:"_s, m_pdfLayout);

    auto* about = new QGroupBox(u"About"_s, this);
    about->setObjectName(u"about"_s);
    m_about = new QLabel(u"Ombrix Markdown Morvane "_s + m_model.version(), about);
    m_about->setObjectName(u"aboutLine"_s);
    m_feedback = new LinkButton(u"Send feedback"_s, feedbackPage(), about);
    m_feedback->setObjectName(u"feedbackLink"_s);
    m_website = new LinkButton(u"Website"_s, productPage(), about);
    m_website->setObjectName(u"websiteLink"_s);
    auto* aboutRow = new QHBoxLayout(about);
    aboutRow->addWidget(m_about);
    aboutRow->addStretch(1);
    aboutRow->addWidget(m_feedback);
    aboutRow->addWidget(m_website);

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(20, 20, 20, 20);
    form->setSpacing(16);
    form->addWidget(files);
    form->addWidget(pdfFiles);
    form->addWidget(about);
    form->addStretch(1);

    connect(m_choose, &QPushButton::clicked, this, [this] { m_model.chooseFolder(); });
    connect(m_open, &QPushButton::clicked, this, &SettingsView::openFolder);
    connect(m_reveal, &QCheckBox::toggled, this, [this](bool on) {
        if (on == m_model.settings().openAfterConvert)
            return;
        MorvaneSettings settings = m_model.settings();
        settings.openAfterConvert = on;
        m_model.setSettings(settings);
    });
    connect(m_pdfLayout, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_model.setPdfLayout(static_cast<PdfLayoutChoice>(index));
    });
    connect(&m_model, &MorvaneModel::pdfLayoutChanged, this, &SettingsView::updateSettings);
    connect(m_feedback, &LinkButton::clicked, this, [this] { m_desktop.open(feedbackPage()); });
    connect(m_website, &LinkButton::clicked, this, [this] { m_desktop.open(productPage()); });
    connect(&m_model, &MorvaneModel::settingsChanged, this, &SettingsView::updateSettings);

    updateSettings();
    changeEvent(nullptr);
}

QString SettingsView::shownPath(const QString& folderPath) {
    QString path = folderPath;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QUrl SettingsView::productPage() {
    return QUrl(u"https://"_s + UpdateSettings::productPage());
}

QUrl SettingsView::feedbackPage() {
    QUrl page;
    page.setScheme(u"https"_s);
    page.setHost(UpdateSettings::feedbackHost());
    page.setPath(u"/"_s);
    page.setQuery(u"app=morvane"_s);
    return page;
}

void SettingsView::openFolder() {
    const QString folder = m_model.settings().folderPath;
    // A folder that cannot be made is still asked for; the desktop says why.
    QDir().mkpath(folder);
    m_desktop.open(QUrl::fromLocalFile(folder));
}

void SettingsView::updateSettings() {
    m_path->setText(shownPath(m_model.settings().folderPath));
    m_reveal->setChecked(m_model.settings().openAfterConvert);
    m_pdfLayout->setCurrentIndex(static_cast<int>(m_model.pdfLayout()));
}

void SettingsView::changeEvent(QEvent* event) {
    if (!event || event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        m_path->setFont(Look::caption(font()));
        m_path->setTextColor(Look::secondary(palette()));
    }
    if (event)
        QWidget::changeEvent(event);
}
