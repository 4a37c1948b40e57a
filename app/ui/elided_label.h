#pragma once

#include <QString>
#include <QWidget>

// One line of text, shortened in its middle when it does not fit, so that the
// start and the end (a folder's root, a file's extension) stay readable; the
// whole text is then its tooltip.
class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    // What is drawn at the current width.
    QString shownText() const;
    void setTextColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString m_text;
    QColor m_color;
};
