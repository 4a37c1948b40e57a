#pragma once

#include "recent.h"

#include <QList>
#include <QWidget>

class ElidedLabel;
class IconLabel;
class Desktop;
class MorvaneModel;
class QToolButton;

// One written document in the window's list: its name and the buttons that
// copy its Markdown, open it and show it in the file manager.
class RecentRow : public QWidget {
    Q_OBJECT

public:
    RecentRow(MorvaneModel& model, Desktop& desktop, const Recent& recent,
              QWidget* parent = nullptr);

    const Recent& recent() const { return m_recent; }
    // Same path, perhaps a new name.
    void setRecent(const Recent& recent);
    // Copy, open and reveal, in keyboard order.
    QList<QWidget*> buttons() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QToolButton* addButton(const QString& objectName, const QString& tip);
    void applyLook();

    MorvaneModel& m_model;
    Desktop& m_desktop;
    Recent m_recent;
    IconLabel* m_icon = nullptr;
    ElidedLabel* m_name = nullptr;
    QToolButton* m_copy = nullptr;
    QToolButton* m_open = nullptr;
    QToolButton* m_reveal = nullptr;
};
