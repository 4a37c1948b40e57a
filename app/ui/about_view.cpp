#include "about_view.h"

#include "desktop.h"
#include "icon_label.h"
#include "link_button.h"
#include "look.h"
#include "morvane_model.h"
#include "settings_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

const QString AboutView::licence = u"AGPL-3.0-or-later"_s;

AboutView::AboutView(MorvaneModel& model, Desktop& desktop, QWidget* parent)
    : QWidget(parent) {
    setObjectName(u"aboutView"_s);

    auto* icon = new IconLabel(Icons::Name::application, 64, this);
    icon->setObjectName(u"aboutIcon"_s);
    auto* name = new QLabel(u"Morvane"_s, this);
    name->setObjectName(u"aboutName"_s);
    auto* version = new QLabel(u"Version "_s + model.version(), this);
    version->setObjectName(u"aboutVersion"_s);
    auto* terms = new QLabel(
        u"Free software under the GNU Affero General Public License, version 3 or later"_s, this);
    terms->setObjectName(u"aboutTerms"_s);
    terms->setWordWrap(true);
    // On a line of its own: wrapping would break it at a hyphen.
    auto* identifier = new QLabel(licence, this);
    identifier->setObjectName(u"aboutLicence"_s);
    for (QLabel* label : {name, version, terms, identifier}) {
        label->setAlignment(Qt::AlignCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto* website = new LinkButton(u"Website"_s, SettingsView::productPage(), this);
    website->setObjectName(u"websiteLink"_s);
    auto* feedback = new LinkButton(u"Send feedback"_s, SettingsView::feedbackPage(), this);
    feedback->setObjectName(u"feedbackLink"_s);
    auto* links = new QHBoxLayout;
    links->addStretch(1);
    links->addWidget(website);
    links->addWidget(feedback);
    links->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 20);
    column->setSpacing(8);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(name);
    column->addWidget(version);
    column->addSpacing(4);
    column->addWidget(terms);
    column->addWidget(identifier);
    column->addLayout(links);
    setFixedWidth(340);

    connect(website, &LinkButton::clicked, this,
            [&desktop] { desktop.open(SettingsView::productPage()); });
    connect(feedback, &LinkButton::clicked, this,
            [&desktop] { desktop.open(SettingsView::feedbackPage()); });
    applyLook();
}

void AboutView::applyLook() {
    if (auto* name = findChild<QLabel*>(u"aboutName"_s)) {
        QFont font = Look::headline(this->font());
        font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 1.3 : 14);
        name->setFont(font);
    }
    for (const char* secondary : {"aboutVersion", "aboutTerms", "aboutLicence"}) {
        auto* label = findChild<QLabel*>(QString::fromLatin1(secondary));
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, Look::secondary(palette()));
        label->setPalette(colours);
        label->setFont(Look::callout(font()));
    }
}

void AboutView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        applyLook();
    QWidget::changeEvent(event);
}
