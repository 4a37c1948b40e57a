#pragma once

#include <QPushButton>
#include <QUrl>

// A web link drawn as text in the link colour: reachable with Tab, run with
// Space or Return, underlined under the pointer and framed while it has focus.
class LinkButton : public QPushButton {
    Q_OBJECT

public:
    LinkButton(const QString& text, const QUrl& target, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
