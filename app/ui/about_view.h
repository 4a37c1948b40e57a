#pragma once

#include <QWidget>

class Desktop;
class MorvaneModel;

// The About window's content: the application's icon, name and version, its
// licence, and the links to the product and feedback pages.
class AboutView : public QWidget {
    Q_OBJECT

public:
    AboutView(MorvaneModel& model, Desktop& desktop, QWidget* parent = nullptr);

    static const QString licence;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyLook();
};
