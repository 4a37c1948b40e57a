#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

// A small turning arc that says work is going on; it turns only while shown.
class BusyIndicator : public QWidget {
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    bool isTurning() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QColor m_color;
    QVariantAnimation* m_turn = nullptr;
};
