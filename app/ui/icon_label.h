#pragma once

#include "icons.h"

#include <QColor>
#include <QIcon>
#include <QWidget>

// A picture of a fixed size that never gives up its room, drawn afresh for the
// pixel ratio of wherever it is painted; in its own colours until tinted.
class IconLabel : public QWidget {
    Q_OBJECT

public:
    IconLabel(Icons::Name name, int size, QWidget* parent = nullptr);

    // One colour over the picture's shape.
    void setColor(const QColor& color);
    const QIcon& icon() const { return m_icon; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Icons::Name m_name;
    QIcon m_icon;
};
