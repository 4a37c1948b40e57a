#pragma once

#include "icons.h"

#include <QColor>
#include <QIcon>
#include <QWidget>

// A picture of a fixed size that never gives up its room, tinted with one
// colour and drawn afresh for the pixel ratio of wherever it is painted.
class IconLabel : public QWidget {
    Q_OBJECT

public:
    IconLabel(Icons::Name name, int size, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    const QIcon& icon() const { return m_icon; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Icons::Name m_name;
    QIcon m_icon;
};
