#include "content_view.h"

#include "busy_indicator.h"
#include "drop_zone.h"
#include "elided_label.h"
#include "look.h"
#include "morvane_model.h"
#include "recent_row.h"

#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ContentView::ContentView(MorvaneModel& model, Desktop& desktop, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_chooseFiles(&ContentView::chooseFiles) {
    setObjectName(u"contentView"_s);

    m_dropZone = new DropZone(this);

    m_urlField = new QLineEdit(this);
    m_urlField->setObjectName(u"urlField"_s);
    m_urlField->setPlaceholderText(u"…or paste a web page URL"_s);
    m_urlField->setAccessibleName(u"Web page URL"_s);
    m_urlField->setClearButtonEnabled(true);
    m_convert = new QPushButton(u"Convert"_s, this);
    m_convert->setObjectName(u"convertButton"_s);
    m_convert->setAutoDefault(false);
    auto* addressRow = new QHBoxLayout;
    addressRow->setSpacing(8);
    addressRow->addWidget(m_urlField, 1);
    addressRow->addWidget(m_convert);

    m_busy = new BusyIndicator(this);
    m_busy->setObjectName(u"busyIndicator"_s);
    m_status = new ElidedLabel(this);
    m_status->setObjectName(u"status"_s);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    statusRow->addWidget(m_busy, 0, Qt::AlignVCenter);
    statusRow->addWidget(m_status, 1);

    m_recentSection = new QWidget(this);
    m_recentSection->setObjectName(u"recentSection"_s);
    m_recentHeading = new QLabel(u"Recent"_s, m_recentSection);
    m_recentHeading->setObjectName(u"recentHeading"_s);
    auto* section = new QVBoxLayout(m_recentSection);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(6);
    section->addWidget(m_recentHeading);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(6);
    section->addLayout(m_rows);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(m_dropZone);
    column->addLayout(addressRow);
    column->addLayout(statusRow);
    column->addWidget(m_recentSection);
    column->addStretch(1);

    connect(m_dropZone, &DropZone::filesDropped, this,
            [this](const QList<QUrl>& files) { m_model.convertFiles(files); });
    connect(m_dropZone, &DropZone::activated, this, &ContentView::chooseAndConvert);
    connect(m_urlField, &QLineEdit::textChanged, this, &ContentView::updateConvertEnabled);
    // Return is not held back by a running conversion; the model decides.
    connect(m_urlField, &QLineEdit::returnPressed, this, &ContentView::convertURL);
    connect(m_convert, &QPushButton::clicked, this, &ContentView::convertURL);
    connect(&m_model, &MorvaneModel::isConvertingChanged, this, [this] {
        updateConvertEnabled();
        updateStatus();
    });
    connect(&m_model, &MorvaneModel::statusChanged, this, &ContentView::updateStatus);
    connect(&m_model, &MorvaneModel::recentsChanged, this, &ContentView::updateRecents);

    setTabOrder(m_dropZone, m_urlField);
    setTabOrder(m_urlField, m_convert);
    setFocusProxy(m_urlField);

    updateConvertEnabled();
    updateStatus();
    updateRecents();
    changeEvent(nullptr);
}

bool ContentView::isTargeted() const {
    return m_dropZone->isTargeted();
}

QString ContentView::urlText() const {
    return m_urlField->text();
}

void ContentView::setFileChooser(FileChooser chooser) {
    m_chooseFiles = std::move(chooser);
}

QString ContentView::trimmed(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (start < end && blank(text[start]))
        ++start;
    while (end > start && blank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

void ContentView::convertURL() {
    const QString address = trimmed(m_urlField->text());
    if (address.isEmpty())
        return;
    m_model.convertURL(address);
    m_urlField->clear();
}

QList<QUrl> ContentView::chooseFiles(QWidget* parent) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getOpenFileUrls(
        parent, u"Choose Files to Convert"_s, QUrl::fromLocalFile(documents),
        u"Documents (*.pdf *.docx *.pptx *.html *.htm);;PDF (*.pdf);;Word (*.docx);;"
        "PowerPoint (*.pptx);;HTML (*.html *.htm)"_s,
        nullptr, QFileDialog::Options(), {u"file"_s});
}

void ContentView::chooseAndConvert() {
    if (!m_chooseFiles)
        return;
    const QList<QUrl> files = m_chooseFiles(this);
    if (!files.isEmpty())
        m_model.convertFiles(files);
}

void ContentView::updateConvertEnabled() {
    m_convert->setEnabled(!trimmed(m_urlField->text()).isEmpty() && !m_model.isConverting());
}

QSize ContentView::minimumSizeHint() const {
    return QWidget::minimumSizeHint().expandedTo(smallest);
}

void ContentView::updateStatus() {
    m_status->setText(m_model.status());
    m_status->setVisible(!m_model.status().isEmpty());
    m_busy->setVisible(m_model.isConverting());
    const QColor colour =
        m_model.isConverting() ? Look::secondary(palette()) : Look::primary(palette());
    QPalette colours = m_status->palette();
    colours.setColor(QPalette::WindowText, colour);
    m_status->setPalette(colours);
    m_busy->setColor(Look::secondary(palette()));
}

void ContentView::updateRecents() {
    const QList<Recent>& recents = m_model.recents();
    QHash<QString, RecentRow*> kept;
    for (const Recent& recent : recents) {
        // Paths identify rows; the model never lists one twice.
        if (kept.contains(recent.path))
            continue;
        RecentRow* row = m_rowsByPath.take(recent.path);
        if (row)
            row->setRecent(recent);
        else
            row = new RecentRow(m_model, m_desktop, recent, m_recentSection);
        m_rows->removeWidget(row);
        m_rows->insertWidget(int(kept.size()), row);
        kept.insert(recent.path, row);
    }
    qDeleteAll(m_rowsByPath);
    m_rowsByPath = kept;
    QWidget* previous = m_convert;
    for (const Recent& recent : recents) {
        for (QWidget* button : kept.value(recent.path)->buttons()) {
            setTabOrder(previous, button);
            previous = button;
        }
    }
    m_recentSection->setVisible(!recents.isEmpty());
}

void ContentView::changeEvent(QEvent* event) {
    if (event && event->type() != QEvent::PaletteChange && event->type() != QEvent::FontChange) {
        QWidget::changeEvent(event);
        return;
    }
    m_recentHeading->setFont(Look::caption(font()));
    QPalette headingColours = m_recentHeading->palette();
    headingColours.setColor(QPalette::WindowText, Look::secondary(palette()));
    m_recentHeading->setPalette(headingColours);
    m_status->setFont(Look::callout(font()));
    updateStatus();
    if (event)
        QWidget::changeEvent(event);
}
